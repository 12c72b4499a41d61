#pragma once

#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPlatform.h"
#include "UpdateCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

/// An updater of version 1 on the test server.
inline const std::string updater = std::string("\177ELF\0\r\n", 7) + std::string(20000, 'u');

/// The program's folder as the working folder, as the program runs; version 1016 here, an updater of version 1
/// on the server.
class UpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::current_path(folder.path());
        platform.appInfo.folder = folder.path();
        platform.connectivity.answer.state = 1;
        TestFiles::write(folder / "version.txt", "1016\r\n");
        server.serve("/kopirko/versionu.txt", "1\r\n");
        server.serve("/kopirko/updater.exe", updater);
        store.setIniFilePath(folder / "KOPIRKO.ini");
    }
    void TearDown() override { std::filesystem::current_path(m_oldFolder); }

    std::string address() const { return server.hostAndPort() + "/kopirko"; }
    bool check() { return CheckForUpdate(platform.services, store, address()); }

    const std::filesystem::path m_oldFolder = std::filesystem::current_path();
    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;
    SettingsStore store{platform.fileSystem};
};

#pragma once

#include "BackupSettings.h"
#include "DatabaseBackupRun.h"
#include "HookedFileSystem.h"
#include "RecordingHost.h"
#include "RunReport.h"
#include "TempDir.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

/// A program folder named "Kasa" as the working folder, an empty destination "kopije", the clock at
/// 5 December 2026 08:00, and the real disk behind a copy hook.
class DatabaseBackupFixture : public ::testing::Test
{
public:
    DatabaseBackupFixture();

    /// Copies fixture `name` of the shared database fixtures into the working folder as "tezga.mdb".
    void installServerDatabase(const std::string& name);
    /// The bytes of a shared database fixture.
    static std::string fixtureBytes(const std::string& name);
    /// Makes register folder `relative` under the working folder, with one file per (name, content) pair.
    void makeRegister(const std::string& relative,
                      const std::vector<std::pair<std::string, std::string>>& files = {{"baza.mdb", "baza"}});

    RunReport run() { return RunDatabaseBackup(settings, host, platform); }
    RunReport run(const RegisterReader& reader) { return RunDatabaseBackup(settings, host, platform, reader); }

    /// Today's root: kopije/05_12_2026_Kasa_backup.
    std::string root() const { return backup + "/05_12_2026_Kasa_backup"; }
    /// Names in a folder (files and subfolders), sorted; empty when it is not there.
    static std::vector<std::string> entries(const std::string& folder);
    static std::vector<std::string> failedSources(const RunReport& report);

    TempDir dir;
    const std::string work = dir / "Kasa";
    const std::string backup = dir / "kopije";
    TestPlatform test;
    HookedFileSystem disk;
    /// The test platform with the hooked disk in place of the plain one.
    PlatformServices platform{test.appInfo,        test.clock,        disk,       test.launcher, test.terminator,
                              test.instanceLock,   test.messages,     test.power, test.web,      test.networkHosts,
                              test.remoteShutdown, test.connectivity, test.http,  test.pause};
    BackupSettings settings;
    RecordingHost host;
};

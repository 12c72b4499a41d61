#pragma once

// The two runs over the folder list on a temporary folder: copies (RunFolderBackup) and ZIP archives
// (RunZipBackup), on 12 December 2026 at the start of the program (NacinBackupa 1). BothRunsTest runs a case with
// each; its instantiation is in BackupRunTest.cpp.
#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "FolderBackupRun.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "ZipBackupRun.h"
#include "ZipReadBack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Names = std::vector<std::string>;

class BackupRunTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPlatform platform;
    FakeBackupHost host;
    BackupSettings settings;
    std::string backups = dir / "backups";
    bool zip = false; ///< the run of the compressed mode
    std::string ext;  ///< ".zip" after the name of a backup of that run

    void SetUp() override
    {
        TestFiles::makeFolder(backups);
        settings.BackupDir = backups;
        settings.NacinBackupa = 1;
        platform.clock.set(2026, 12, 12);
    }

    RunReport run() { return (zip ? RunZipBackup : RunFolderBackup)(settings, host, platform.services); }
    std::vector<std::string> backupFolders() const { return TestFiles::names(backups); }
    /// The files of today's backup of `name` (an archive unpacked first), relative to its top folder.
    Names backedUpFiles(const std::string& name) const
    {
        const std::string backup = backups + "/12_12_2026_" + name + "_backup";
        return zip ? TestFiles::files(unpacked(backup + ".zip") + "/" + name) : TestFiles::files(backup);
    }
    /// Where `archive` is unpacked to.
    std::string unpacked(const std::string& archive) const
    {
        ZipReadBack::extract(archive, dir / "raspakovano");
        return dir / "raspakovano";
    }
};

class BothRunsTest : public BackupRunTest, public ::testing::WithParamInterface<bool>
{
    void SetUp() override
    {
        BackupRunTest::SetUp();
        zip = GetParam();
        ext = zip ? ".zip" : "";
    }
};

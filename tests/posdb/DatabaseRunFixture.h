#pragma once

// The database backup on a temporary folder: the program folder "Kasa" is the working folder, the destination
// "kopije" is there and empty; it is 5 December 2026. `Disk` is the disk the run sees.
#include "BackupSettings.h"
#include "DatabaseBackupRun.h"
#include "FakeBackupHost.h"
#include "RegisterReader.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Names = std::vector<std::string>;

/// Table `kase` as the test sets it.
struct FakeReader : RegisterReader
{
    std::vector<CashRegister> rows;
    RegisterListing readRegisters(const std::string&) const override { return {rows, ""}; }
};

template <typename Disk>
class DatabaseRunFixture : public ::testing::Test
{
protected:
    DatabaseRunFixture()
    {
        TestFiles::makeFolder(backup);
        test.appInfo.working = work;
        settings.BackupDir = backup;
        settings.AppFolderSuffix = "_Kasa";
    }

    TempDir dir;
    const std::string work = dir / "Kasa", backup = dir / "kopije", root = backup + "/05_12_2026_Kasa_backup";
    TestPlatform test;
    Disk disk;
    PlatformServices platform = test.servicesWith(disk);
    BackupSettings settings;
    FakeBackupHost host;
};

#include "SettingsStore.h"

#include "SystemPlatform.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    SettingsStore store{fileSystem, dir / "KOPIRKO.ini"};
    BackupSettings settings;
};

TEST_F(SettingsStoreTest, MissingFileLeavesEverythingZeroAndCreatesNothing)
{
    ASSERT_TRUE(store.LoadSettings(settings, "/opt/Kasa"));
    EXPECT_EQ(settings.BackupDir, "");
    EXPECT_EQ(settings.VrijemeBackupa, "");
    EXPECT_EQ(settings.NacinBackupa, 0);
    EXPECT_EQ(settings.Starost, 0);
    EXPECT_EQ(settings.AppFolderSuffix, "_Kasa");
    EXPECT_FALSE(TestFiles::exists(dir / "KOPIRKO.ini"));
}

TEST_F(SettingsStoreTest, LoadsEveryKey)
{
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=/mnt/b\r\nNacinBackupa=2\r\n"
                                          "OpsegBackupa=1\r\nBrisati=1\r\nStarost= 7.5 \r\nGasitiRacunar=1\r\n"
                                          "GasenjeRacunaraMreze=1\r\nZIPOVANJE=1\r\n");
    ASSERT_TRUE(store.LoadSettings(settings, "/"));
    EXPECT_EQ(settings.VrijemeBackupa, "08:00");
    EXPECT_EQ(settings.BackupDir, "/mnt/b");
    EXPECT_EQ(settings.NacinBackupa, 2);
    EXPECT_EQ(settings.OpsegBackupa, 1);
    EXPECT_EQ(settings.Brisati, 1);
    EXPECT_EQ(settings.Starost, 8);
    EXPECT_EQ(settings.GasitiRacunar, 1);
    EXPECT_EQ(settings.GasenjeRacunaraMreze, 1);
    EXPECT_EQ(settings.ZIPOVANJE, 1);
    EXPECT_EQ(settings.AppFolderSuffix, "_");
}

TEST_F(SettingsStoreTest, EmptyValueKeepsWhatAnEarlierLoadGave)
{
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nNacinBackupa=2\r\nBackupDir=/a\r\n");
    ASSERT_TRUE(store.LoadSettings(settings, "/opt/Kasa"));
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nNacinBackupa=\r\n");
    ASSERT_TRUE(store.LoadSettings(settings, "/opt/Kasa"));
    EXPECT_EQ(settings.NacinBackupa, 2);
    EXPECT_EQ(settings.BackupDir, "/a");
}

TEST_F(SettingsStoreTest, NumberOutOfRangeEndsTheLoadAtThatKey)
{
    settings.GasitiRacunar = 5;
    settings.GasenjeRacunaraMreze = 6;
    settings.ZIPOVANJE = 7;
    settings.Starost = 3;
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=09:00\r\nBrisati=1\r\nStarost=40000\r\n"
                                          "GasitiRacunar=1\r\nGasenjeRacunaraMreze=1\r\nZIPOVANJE=1\r\n");
    const Result loaded = store.LoadSettings(settings, "/opt/Kasa");
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.error().find("Starost"), std::string::npos);
    EXPECT_EQ(settings.VrijemeBackupa, "09:00");
    EXPECT_EQ(settings.Brisati, 1);
    EXPECT_EQ(settings.Starost, 3);
    EXPECT_EQ(settings.GasitiRacunar, 5);
    EXPECT_EQ(settings.GasenjeRacunaraMreze, 6);
    EXPECT_EQ(settings.ZIPOVANJE, 7);
}

} // namespace

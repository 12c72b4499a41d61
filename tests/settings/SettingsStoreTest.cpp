#include "SettingsStore.h"

#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

using Numbers = std::vector<std::int16_t>;

/// NacinBackupa, OpsegBackupa, Brisati, Starost, GasitiRacunar, GasenjeRacunaraMreze, ZIPOVANJE.
Numbers numbers(const BackupSettings& s)
{
    return {s.NacinBackupa, s.OpsegBackupa, s.Brisati, s.Starost, s.GasitiRacunar, s.GasenjeRacunaraMreze, s.ZIPOVANJE};
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    SettingsStore store{fileSystem, dir / "KOPIRKO.ini"};
    BackupSettings settings;
};

TEST_F(SettingsStoreTest, EveryKeyIsLoadedAnEmptyValueKeepsWhatAnEarlierLoadGaveANumberOutOfRangeEndsTheLoad)
{
    ASSERT_TRUE(store.LoadSettings(settings, "/opt/Kasa")); // no file: all zero, and none is made
    EXPECT_EQ(numbers(settings), Numbers(7, 0));
    EXPECT_EQ(settings.BackupDir + settings.VrijemeBackupa + settings.AppFolderSuffix, "_Kasa");
    EXPECT_FALSE(TestFiles::exists(dir / "KOPIRKO.ini"));

    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=/mnt/b\r\nNacinBackupa=2\r\n"
                                          "OpsegBackupa=1\r\nBrisati=1\r\nStarost= 7.5 \r\nGasitiRacunar=1\r\n"
                                          "GasenjeRacunaraMreze=1\r\nZIPOVANJE=1\r\n");
    ASSERT_TRUE(store.LoadSettings(settings, "/"));
    EXPECT_EQ(numbers(settings), (Numbers{2, 1, 1, 8, 1, 1, 1}));
    EXPECT_EQ(settings.VrijemeBackupa + " " + settings.BackupDir + " " + settings.AppFolderSuffix, "08:00 /mnt/b _");

    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nNacinBackupa=\r\nBackupDir=\r\n");
    ASSERT_TRUE(store.LoadSettings(settings, "/opt/Kasa"));
    EXPECT_EQ(settings.NacinBackupa, 2);
    EXPECT_EQ(settings.BackupDir, "/mnt/b");

    // A number out of range ends the load at its key: the keys before it are taken, those after it are not.
    settings.GasitiRacunar = 5;
    settings.GasenjeRacunaraMreze = 6;
    settings.ZIPOVANJE = 7;
    settings.Starost = 3;
    TestFiles::write(dir / "KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=09:00\r\nBrisati=0\r\nStarost=40000\r\n"
                                          "GasitiRacunar=1\r\nGasenjeRacunaraMreze=1\r\nZIPOVANJE=1\r\n");
    const Result loaded = store.LoadSettings(settings, "/opt/Kasa");
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.error().find("Starost"), std::string::npos);
    EXPECT_EQ(settings.VrijemeBackupa, "09:00");
    EXPECT_EQ(numbers(settings), (Numbers{2, 1, 0, 3, 5, 6, 7}));
}

} // namespace

#include "BackupRecords.h"

#include "SettingsStore.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

LocalDateTime at(int y, unsigned m, unsigned d, int hour, int minute, int second = 0)
{
    return {year_month_day{year{y}, month{m}, day{d}}, hour, minute, second};
}

class BackupRecordsTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem fileSystem;
    SettingsStore store{fileSystem, dir / "KOPIRKO.ini"};
    BackupRecords records{store};
};

TEST_F(BackupRecordsTest, MomentsAreWrittenBesideTheSettingsAndReadBack)
{
    TestFiles::write(dir / "KOPIRKO.ini", "; kept\r\n[BACKUP]\r\nVrijemeBackupa=20:00\r\n");
    ASSERT_TRUE(records.recordTimedRun(at(2026, 12, 7, 20, 0, 3)));
    ASSERT_TRUE(records.recordWholeBackup(at(2026, 12, 7, 20, 4, 59)));

    EXPECT_EQ(TestFiles::read(dir / "KOPIRKO.ini"),
              "; kept\r\n[BACKUP]\r\nVrijemeBackupa=20:00\r\n[EVIDENCIJA]\r\nZakazanaKopija=2026-12-07 20:00:03\r\n"
              "PotpunaKopija=2026-12-07 20:04:59\r\n");
    EXPECT_EQ(secondsOf(*records.lastTimedRun()), secondsOf(at(2026, 12, 7, 20, 0, 3)));
    EXPECT_EQ(secondsOf(*records.lastWholeBackup()), secondsOf(at(2026, 12, 7, 20, 4, 59)));
}

TEST_F(BackupRecordsTest, ADamagedRecordReadsAsNoneAndTheWatchSettingsFallBackToTheirDefaults)
{
    // What a power cut, an editor or another program may leave: none of it stops the program.
    for (const char* damaged : {"", "2026-12-07", "2026-13-07 20:00:00", "2026-02-30 20:00:00", "2026-12-07 24:00:00",
                                "2026-12-07 20:60:00", "07.12.2026 20:00:00", "2026-12-07T20:00:00",
                                "x026-12-07 20:00:00", "2026-12-07 20:00:00 x", "\xEF\xBB\xBF"}) {
        SCOPED_TRACE(damaged);
        TestFiles::write(dir / "KOPIRKO.ini",
                         std::string("[BACKUP]\r\nNadoknaditi=") + damaged + "\r\nUpozorenjeDana=" + damaged +
                             "\r\n[EVIDENCIJA]\r\nZakazanaKopija=" + damaged + "\r\nPotpunaKopija=" + damaged + "\r\n");
        EXPECT_FALSE(records.lastTimedRun());
        EXPECT_FALSE(records.lastWholeBackup());
        const WatchSettings watch = records.loadWatchSettings();
        EXPECT_TRUE(watch.catchUp);
        EXPECT_EQ(watch.warningDays, 3);
    }
    for (const char* wrong : {"2", "-1", "sedam"}) {
        SCOPED_TRACE(wrong);
        TestFiles::write(dir / "KOPIRKO.ini", std::string("[BACKUP]\r\nNadoknaditi=") + wrong + "\r\n");
        EXPECT_TRUE(records.loadWatchSettings().catchUp);
    }
    for (const char* wrong : {"-1", "sedam", "99999"}) {
        SCOPED_TRACE(wrong);
        TestFiles::write(dir / "KOPIRKO.ini", std::string("[BACKUP]\r\nUpozorenjeDana=") + wrong + "\r\n");
        EXPECT_EQ(records.loadWatchSettings().warningDays, 3);
    }
}

TEST_F(BackupRecordsTest, WaitingForTheFirstWholeBackupStartsOnceAndIsKept)
{
    EXPECT_EQ(secondsOf(records.watchedSince(at(2026, 12, 1, 9, 0))), secondsOf(at(2026, 12, 1, 9, 0)));
    EXPECT_EQ(secondsOf(records.watchedSince(at(2026, 12, 5, 9, 0))), secondsOf(at(2026, 12, 1, 9, 0)));
    // A damaged start is begun anew rather than taken for a moment.
    TestFiles::write(dir / "KOPIRKO.ini", "[EVIDENCIJA]\r\nPracenjeOd=nekad\r\n");
    EXPECT_EQ(secondsOf(records.watchedSince(at(2026, 12, 6, 9, 0))), secondsOf(at(2026, 12, 6, 9, 0)));
}

} // namespace

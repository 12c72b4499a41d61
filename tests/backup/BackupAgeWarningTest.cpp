#include "BackupAgeWarning.h"

#include "RunReport.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

LocalDateTime at(unsigned d, int hour, int minute = 0)
{
    return {year_month_day{year{2026}, month{12}, day{d}}, hour, minute, 0};
}

/// The first status line and whether the warning shows, as "line|overdue".
std::string seen(const BackupAgeWarning::Status& status)
{
    return status.line + (status.overdue ? "|overdue" : "|");
}

TEST(BackupAgeWarning, TheWarningStartsWhenTheLastWholeBackupIsMoreThanNDaysOldAndEndsWithTheNextOne)
{
    const LocalDateTime whole = at(3, 20, 5);
    const LocalDateTime since = at(1, 9, 0); // ignored while a whole backup is known
    // Hour by hour over the following days, as the window checks it.
    EXPECT_EQ(seen(BackupAgeWarning::check(at(4, 9), 3, whole, since)), "|");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(6, 20, 5), 3, whole, since)), "|");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(6, 21), 3, whole, since)),
              "Posljednja potpuna rezervna kopija je od 03.12.2026|overdue");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(9, 8), 3, whole, since)),
              "Posljednja potpuna rezervna kopija je od 03.12.2026|overdue");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(9, 9), 3, at(9, 8, 30), since)), "|");
    // One day; 0 turns the warning off; a record ahead of the clock (set back) is no reason to warn.
    EXPECT_EQ(seen(BackupAgeWarning::check(at(4, 21), 1, whole, since)),
              "Posljednja potpuna rezervna kopija je od 03.12.2026|overdue");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(30, 9), 0, whole, since)), "|");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(1, 9), 3, whole, since)), "|");
}

TEST(BackupAgeWarning, AProgramThatNeverMadeAWholeBackupSaysSoAndWarnsNDaysAfterItBeganToWait)
{
    const LocalDateTime since = at(1, 9, 0);
    EXPECT_EQ(seen(BackupAgeWarning::check(at(1, 9), 3, std::nullopt, since)),
              "Potpuna rezervna kopija jos nije izradjena|");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(4, 9), 3, std::nullopt, since)),
              "Potpuna rezervna kopija jos nije izradjena|");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(4, 10), 3, std::nullopt, since)),
              "Potpuna rezervna kopija jos nije izradjena|overdue");
    EXPECT_EQ(seen(BackupAgeWarning::check(at(20, 10), 0, std::nullopt, since)),
              "Potpuna rezervna kopija jos nije izradjena|");
}

TEST(BackupAgeWarning, OnlyARunThatBackedEverySourceUpWholeCounts)
{
    RunReport whole;
    whole.backedUp = {"/srv/a"};
    whole.warnings = {"stara rezervna kopija nije obrisana"};
    EXPECT_TRUE(BackupAgeWarning::isWhole(whole));

    RunReport partly = whole;
    partly.failed.push_back({"/srv/b", "nedostupno", {}});
    EXPECT_FALSE(BackupAgeWarning::isWhole(partly));

    RunReport nothing;
    nothing.runFailure = "odrediste ne postoji";
    EXPECT_FALSE(BackupAgeWarning::isWhole(nothing));

    RunReport refused;
    refused.refused = true;
    EXPECT_FALSE(BackupAgeWarning::isWhole(refused));
}

} // namespace

#include "BackupAgeWarning.h"

#include "RunReport.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

LocalDateTime at(unsigned d, int hour, int minute = 0)
{
    return {year_month_day{year{2026}, month{12}, day{d}}, hour, minute, 0};
}

/// The first status line at `now` with a warning after `days` and whether the warning shows, as "line|overdue".
std::string seen(LocalDateTime now, int days, std::optional<LocalDateTime> whole)
{
    const BackupAgeWarning::Status status = BackupAgeWarning::check(now, days, whole, at(1, 9, 0));
    return status.line + (status.overdue ? "|overdue" : "|");
}

// With no whole backup known, the wait counts from when the program began to wait (1 December, 09:00).
TEST(BackupAgeWarning, TheWarningStartsWhenTheLastWholeBackupIsMoreThanNDaysOldOrNoneWasMadeAndEndsWithTheNextOne)
{
    const LocalDateTime whole = at(3, 20, 5);
    const std::string old = "Posljednja potpuna rezervna kopija je od 03.12.2026|overdue";
    // Hour by hour over the following days, as the window checks it.
    EXPECT_EQ(seen(at(4, 9), 3, whole), "|");
    EXPECT_EQ(seen(at(6, 20, 5), 3, whole), "|");
    EXPECT_EQ(seen(at(6, 21), 3, whole), old);
    EXPECT_EQ(seen(at(9, 8), 3, whole), old);
    EXPECT_EQ(seen(at(9, 9), 3, at(9, 8, 30)), "|");
    // One day; 0 turns the warning off; a record ahead of the clock (set back) is no reason to warn.
    EXPECT_EQ(seen(at(4, 21), 1, whole), old);
    EXPECT_EQ(seen(at(30, 9), 0, whole), "|");
    EXPECT_EQ(seen(at(1, 9), 3, whole), "|");

    const std::string never = "Potpuna rezervna kopija jos nije izradjena|";
    EXPECT_EQ(seen(at(1, 9), 3, std::nullopt), never);
    EXPECT_EQ(seen(at(4, 9), 3, std::nullopt), never);
    EXPECT_EQ(seen(at(4, 10), 3, std::nullopt), never + "overdue");
    EXPECT_EQ(seen(at(20, 10), 0, std::nullopt), never);
}

TEST(BackupAgeWarning, OnlyARunThatBackedEverySourceUpWholeCounts)
{
    RunReport whole;
    whole.backedUp = {"/srv/a"};
    whole.warnings = {"stara rezervna kopija nije obrisana"};
    EXPECT_TRUE(BackupAgeWarning::isWhole(whole));

    RunReport partly = whole, nothing, refused;
    partly.failed.push_back({"/srv/b", "nedostupno", {}});
    nothing.runFailure = "odrediste ne postoji";
    refused.refused = true;
    for (const RunReport& report : {partly, nothing, refused})
        EXPECT_FALSE(BackupAgeWarning::isWhole(report));
}

} // namespace

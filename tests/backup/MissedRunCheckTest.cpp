#include "MissedRunCheck.h"

#include "BackupRecords.h"
#include "BackupSettings.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace std::chrono;

LocalDateTime at(unsigned d, int hour, int minute, int second = 0)
{
    return {year_month_day{year{2026}, month{12}, day{d}}, hour, minute, second};
}

std::string shown(const std::optional<LocalDateTime>& moment)
{
    return moment ? formatRecordedMoment(*moment) : "none";
}

struct Case
{
    const char* what;
    LocalDateTime now;
    std::optional<LocalDateTime> lastTimedRun;
    const char* missed; ///< the due time caught up, or "none"
};

class MissedRunCheckTest : public ::testing::TestWithParam<Case>
{};

TEST_P(MissedRunCheckTest, TheLatestDueTimeWithoutATimedRunAfterItIsCaughtUp)
{
    const Case& c = GetParam();
    EXPECT_EQ(shown(MissedRunCheck::missedDueTime(c.now, "20:00", c.lastTimedRun)), c.missed);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, MissedRunCheckTest,
    ::testing::Values(
        // The shop closed at 19:30 and the computer was off at 20:00.
        Case{"next morning", at(8, 7, 45), at(6, 20, 0, 1), "2026-12-07 20:00:00"},
        Case{"same evening, later", at(7, 21, 10), at(6, 20, 0, 1), "2026-12-07 20:00:00"},
        Case{"a run on the day before yesterday does not cover yesterday", at(8, 7, 45), at(6, 20, 30),
             "2026-12-07 20:00:00"},
        // The catch-up run started at 07:46 and was recorded: a second start the same day does nothing.
        Case{"second start after the catch-up", at(8, 11, 0), at(8, 7, 46), "none"},
        Case{"the timed run was made", at(8, 7, 45), at(7, 20, 0, 0), "none"},
        Case{"a run recorded by hand later counts too", at(8, 7, 45), at(7, 23, 10), "none"},
        // While the minute of the time lasts, the daily timer makes the run itself.
        Case{"during the due minute", at(7, 20, 0, 59), at(6, 20, 0), "none"},
        Case{"just after the due minute", at(7, 20, 1, 0), at(6, 20, 0), "2026-12-07 20:00:00"},
        Case{"before today's time, yesterday's was made", at(7, 19, 59), at(6, 20, 0, 5), "none"},
        // No record: the program never recorded a timed run (a first start of this version, a lost record).
        Case{"no record", at(8, 7, 45), std::nullopt, "2026-12-07 20:00:00"},
        // The clock was set back after a run: the record lies ahead, which counts as made.
        Case{"record ahead of the clock", at(7, 21, 0), at(9, 20, 0), "none"},
        Case{"across the year",
             {year_month_day{year{2027}, month{1}, day{1}}, 7, 0, 0},
             at(30, 20, 0),
             "2026-12-31 20:00:00"}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(MissedRunCheck, ATimeTheClockNeverShowsMissesNothingAndTheRuleAppliesOnlyInDailyModeWithCatchingUpOn)
{
    for (const char* time : {"", "24:00", "8:00", "20:60", "20.00"})
        EXPECT_FALSE(MissedRunCheck::missedDueTime(at(8, 7, 45), time, std::nullopt)) << time;

    BackupSettings settings;
    settings.VrijemeBackupa = "20:00";
    WatchSettings watch;
    EXPECT_TRUE(MissedRunCheck::applies(settings, watch));
    watch.catchUp = false;
    EXPECT_FALSE(MissedRunCheck::applies(settings, watch));
    watch.catchUp = true;
    for (std::int16_t mode : {1, 2}) {
        settings.NacinBackupa = mode;
        EXPECT_FALSE(MissedRunCheck::applies(settings, watch)) << mode;
    }
    settings.NacinBackupa = 0;
    settings.VrijemeBackupa = "25:00";
    EXPECT_FALSE(MissedRunCheck::applies(settings, watch));
}

TEST(MissedRunCheck, AClockJumpIsAForwardStepOfMoreThanFiveMinutes)
{
    EXPECT_FALSE(MissedRunCheck::clockJumped(at(7, 19, 0, 0), at(7, 19, 0, 1)));
    EXPECT_FALSE(MissedRunCheck::clockJumped(at(7, 19, 0, 0), at(7, 19, 5, 0)));
    EXPECT_TRUE(MissedRunCheck::clockJumped(at(7, 19, 0, 0), at(7, 19, 5, 1)));
    EXPECT_TRUE(MissedRunCheck::clockJumped(at(7, 19, 0, 0), at(8, 7, 30))); // the computer slept overnight
    EXPECT_FALSE(MissedRunCheck::clockJumped(at(8, 7, 30), at(7, 19, 0)));   // set back
}

TEST(MissedRunCheck, AJumpOverTheDueTimeWhileTheProgramRanIsCaughtUpOnceAndTheLineNamesTheDueTime)
{
    // The computer slept from 19:40 to 22:15 with the program running: the tick after waking sees a jump.
    const LocalDateTime beforeSleep = at(7, 19, 40);
    const LocalDateTime woke = at(7, 22, 15);
    ASSERT_TRUE(MissedRunCheck::clockJumped(beforeSleep, woke));
    const auto due = MissedRunCheck::missedDueTime(woke, "20:00", at(6, 20, 0));
    ASSERT_TRUE(due);
    EXPECT_EQ(MissedRunCheck::catchUpLine(*due),
              "Propustena izrada rezervne kopije (07.12.2026 u 20:00) se nadoknadjuje");
    // The catch-up run is recorded when it ends; the next jump that day finds nothing to catch up.
    EXPECT_FALSE(MissedRunCheck::missedDueTime(at(7, 23, 30), "20:00", at(7, 22, 15, 30)));
}

} // namespace

#include "DailySchedule.h"

#include "BackupSettings.h"
#include "RunProgressText.h"

#include <gtest/gtest.h>

namespace {

LocalDateTime at(unsigned day, int hour, int minute, int second = 0)
{
    LocalDateTime moment;
    moment.date = std::chrono::year{2026} / std::chrono::December / std::chrono::day{day};
    moment.hour = hour;
    moment.minute = minute;
    moment.second = second;
    return moment;
}

using Action = DailySchedule::TickAction;

TEST(DailySchedule, RunsOnceAtTheConfiguredMinuteAndAgainTheNextDay)
{
    DailySchedule schedule;
    EXPECT_EQ(schedule.tick(at(5, 7, 59, 59), "08:00", false), Action::Wait);
    EXPECT_EQ(schedule.tick(at(5, 8, 0, 0), "08:00", false), Action::StartRun);
    EXPECT_TRUE(schedule.hasRunOn(at(5, 0, 0).date));
    // The run ended within the minute: the following ticks of that minute do not start it again.
    EXPECT_EQ(schedule.tick(at(5, 8, 0, 1), "08:00", false), Action::Wait);
    EXPECT_EQ(schedule.tick(at(5, 8, 0, 59), "08:00", false), Action::Wait);
    EXPECT_EQ(schedule.tick(at(6, 8, 0, 0), "08:00", false), Action::StartRun);
}

TEST(DailySchedule, AClockSetBackGivesNoDayASecondRun)
{
    DailySchedule schedule;
    ASSERT_EQ(schedule.tick(at(5, 8, 0), "08:00", false), Action::StartRun);
    ASSERT_EQ(schedule.tick(at(6, 8, 0), "08:00", false), Action::StartRun);
    EXPECT_EQ(schedule.tick(at(6, 8, 0), "08:00", false), Action::Wait); // set back to 07:59 the same day
    EXPECT_EQ(schedule.tick(at(5, 8, 0), "08:00", false), Action::Wait); // set back a whole day
    EXPECT_FALSE(schedule.hasRunOn(at(4, 8, 0).date));
}

TEST(DailySchedule, ABusyProgramLeavesTheDayOpenForALaterTickOfTheMinute)
{
    DailySchedule schedule;
    EXPECT_EQ(schedule.tick(at(5, 8, 0, 0), "08:00", true), Action::Wait);
    EXPECT_FALSE(schedule.hasRunOn(at(5, 8, 0).date));
    EXPECT_EQ(schedule.tick(at(5, 8, 0, 30), "08:00", false), Action::StartRun);
}

TEST(DailySchedule, TheTimeIsComparedCharacterForCharacter)
{
    DailySchedule schedule;
    for (const char* time : {"8:00", "08:00 ", " 08:00", "08.00", "", "08:0"})
        EXPECT_EQ(schedule.tick(at(5, 8, 0), time, false), Action::Wait) << '"' << time << '"';
    EXPECT_EQ(schedule.tick(at(5, 23, 0), "23:00", false), Action::StartRun);
}

TEST(DailySchedule, OnlyTimesTheClockCanShowAreValid)
{
    for (const char* time : {"00:00", "08:00", "07:30", "23:59"})
        EXPECT_TRUE(DailySchedule::isValidTime(time)) << time;
    for (const char* time : {"", "8:00", "24:00", "12:60", "08-00", "08:00:00", "ab:cd", " 8:00", "08:0 "})
        EXPECT_FALSE(DailySchedule::isValidTime(time)) << '"' << time << '"';
}

TEST(DailySchedule, OnlyTheTimedModeRearmsAfterARun)
{
    BackupSettings settings;
    for (std::int16_t mode : {0, 1, 2, 7}) {
        settings.NacinBackupa = mode;
        EXPECT_EQ(DailySchedule::rearmAfterRun(settings), mode == 0) << mode;
    }
}

TEST(RunProgressText, SizesAreWrittenForPeople)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1,0 KB"},
        {1536, "1,5 KB"},
        {1024 * 1024 - 1, "1,0 MB"},
        {5ull * 1024 * 1024 * 1024, "5,0 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(RunProgressText::formatBytes(bytes), text) << bytes;
}

} // namespace

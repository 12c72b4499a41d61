#include "LocalDateTime.h"
#include "SystemPlatform.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

TEST(InstanceLockTest, SecondHolderOfTheSameTitleIsRefusedWhateverTheLetterCase)
{
    TempDir dir;
    PosixInstanceLock first(dir.path());
    PosixInstanceLock second(dir.path());
    ASSERT_TRUE(first.tryAcquire("Izrada rezervnih kopija podataka"));
    EXPECT_FALSE(second.tryAcquire("IZRADA REZERVNIH KOPIJA PODATAKA"));
    EXPECT_TRUE(second.tryAcquire("Another program"));
}

TEST(InstanceLockTest, LockThatCannotBeCheckedLetsTheStartGoOn)
{
    PosixInstanceLock lock("/nonexistent-kopirko-folder");
    EXPECT_TRUE(lock.tryAcquire("Kopirko"));
}

TEST(ProcessLauncherTest, StartsWithoutWaitingAndReportsAMissingProgram)
{
    PosixProcessLauncher launcher;
    EXPECT_TRUE(launcher.startDetached("true", {}));
    const Result missing = launcher.startDetached("kopirko-no-such-program", {"x"});
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.error().find("kopirko-no-such-program"), std::string::npos);
}

TEST(LocalDateTimeTest, FormatsAndCountsCalendarDays)
{
    const year_month_day date{year{2026}, month{3}, day{1}};
    EXPECT_EQ(formatDateStamp(date), "01_03_2026");
    EXPECT_EQ(formatDateDots(date), "01.03.2026");
    EXPECT_EQ(formatDateStamp(addDays(date, -1)), "28_02_2026");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2024}, month{3}, day{1}}, -1)), "29_02_2024");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2026}, month{12}, day{31}}, 1)), "01_01_2027");
    LocalDateTime moment{date, 7, 5, 0};
    EXPECT_EQ(formatHourMinute(moment), "07:05");
}

} // namespace

#include "LocalDateTime.h"
#include "Paths.h"
#include "PosixInstanceLock.h"
#include "PosixProcessLauncher.h"
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

TEST(InstanceLockTest, LockIsFreeAgainWhenTheHolderEnds)
{
    TempDir dir;
    {
        PosixInstanceLock first(dir.path());
        ASSERT_TRUE(first.tryAcquire("Kopirko"));
    }
    PosixInstanceLock second(dir.path());
    EXPECT_TRUE(second.tryAcquire("Kopirko"));
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

TEST(PathsTest, JoinsAndSplits)
{
    EXPECT_EQ(Paths::join("/opt/Kasa", "KOPIRKO.ini"), "/opt/Kasa/KOPIRKO.ini");
    EXPECT_EQ(Paths::join("/", "KOPIRKO.ini"), "/KOPIRKO.ini");
    EXPECT_EQ(Paths::lastComponent("/opt/Kasa"), "Kasa");
    EXPECT_EQ(Paths::lastComponent("/"), "");
    EXPECT_EQ(Paths::lastComponent("Kasa"), "Kasa");
}

} // namespace

#include "LocalDateTime.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#ifdef _WIN32
#include "OwnedHandle.h"
#include "ProgramHold.h"
#include "WideText.h"
#include "WinInstanceLock.h"

#include <filesystem>
#include <memory>
#include <random>
#include <windows.h>
#else
#include "PosixInstanceLock.h"
#endif

namespace {

using namespace std::chrono;

// Real locks of this platform that meet only each other: on Linux in a folder of their own, on Windows under a name
// prefix of their own. The unusable one cannot learn anything: on Linux its folder is missing, on Windows the name
// of its mutex (the session's namespace, prefix and title in lower case) is taken by an event.
TEST(InstanceLockTest, SecondHolderOfTheSameTitleIsRefusedWhateverTheLetterCaseButALockThatCannotBeCheckedIsNot)
{
#ifdef _WIN32
    const std::string place = "kopirko-test-" + std::to_string(std::random_device()()) + "-";
    WinInstanceLock first(place), second(place), unusable(place);
    const OwnedHandle squatter(
        ::CreateEventW(nullptr, TRUE, FALSE, WideText::fromUtf8("Local\\" + place + "kopirko").c_str()));
    ASSERT_TRUE(squatter && ::GetLastError() != ERROR_ALREADY_EXISTS);
#else
    TempDir place;
    PosixInstanceLock first(place.path()), second(place.path()), unusable(place / "nonexistent");
#endif
    ASSERT_TRUE(first.tryAcquire("Izrada rezervnih kopija podataka"));
    EXPECT_FALSE(second.tryAcquire("IZRADA REZERVNIH KOPIJA PODATAKA"));
    EXPECT_TRUE(second.tryAcquire("Another program"));
    EXPECT_TRUE(unusable.tryAcquire("Kopirko")); // the start goes on
}

/// What kopirko_test_child wrote into `file` ("args" mode: every argument followed by a NUL), once it is there and
/// can be read: under Wine the child's rename holds the file open for a moment after its name appears, and a reader
/// that does not share deletion is refused meanwhile.
std::string writtenWhenThere(const std::string& file)
{
    for (int attempt = 0; attempt < 3000; ++attempt) {
        if (TestFiles::exists(file)) {
            try {
                return TestFiles::read(file);
            } catch (const std::runtime_error&) {
            }
        }
        std::this_thread::sleep_for(10ms);
    }
    return "(nothing written)";
}

// Each argument must arrive as one, byte for byte, whatever a shell or the command line's quoting would make of it.
TEST(ProcessLauncherTest, EveryArgumentArrivesExactlyAsGiven)
{
    TempDir dir;
    std::vector<std::string> arguments = {"args", dir / "arguments"}; // then blanks, quotes and backslashes, ...
    arguments.insert(arguments.end(), {"plain", "", "two words", " leading", "trailing ", "tab\there", "line\nend"});
    arguments.insert(arguments.end(), {"quote\"inside", "\"", "\"\"", "trailing\\", "trailing\\\\", "back\\\"slash"});
    arguments.insert(arguments.end(), {"\\\\server\\share\\", "C:\\Program Files\\", "a\\\\b c"});
    // ... what a shell or cmd.exe would expand, and what is not ASCII.
    arguments.insert(arguments.end(),
                     {"%PATH%", "^&|<>()", "*", "?.txt", "$(id) `id` $HOME", "'single'", "-", "--help"});
    arguments.push_back("\xC4\x8D\xC4\x87\xC5\xBE\xC5\xA1\xC4\x91 \xCE\xA9 \xF0\x9F\x98\x80");
    std::string expected;
    for (auto given = arguments.begin() + 2; given != arguments.end(); ++given)
        expected += *given + '\0';

    const Result started =
        SystemProcessLauncher().startDetached(TestFiles::programBeside("kopirko_test_child"), arguments);

    ASSERT_TRUE(started) << started.error();
    EXPECT_EQ(writtenWhenThere(dir / "arguments"), expected);
}

TEST(ProcessLauncherTest, FindsAProgramGivenWithoutAFolderAndNamesAMissingOne)
{
    SystemProcessLauncher launcher;
#ifdef _WIN32
    // As CreateProcessW looks: first the folder of the program that starts it, with ".exe" added.
    TempDir dir;
    const Result found = launcher.startDetached("kopirko_test_child", {"args", dir / "arguments", "found"});
    ASSERT_TRUE(found) << found.error();
    EXPECT_EQ(writtenWhenThere(dir / "arguments"), std::string("found\0", 6));
#else
    EXPECT_TRUE(launcher.startDetached("true", {})); // on PATH
#endif
    const Result missing = launcher.startDetached("kopirko-no-such-program", {"x"});
    EXPECT_FALSE(missing);
    EXPECT_NE(missing.error().find("kopirko-no-such-program"), std::string::npos) << missing.error();
}

#ifdef _WIN32
// Only Windows' launcher starts a program again: it starts the updater, which this program downloaded at its start
// and which a virus scanner may still hold then. The Linux one starts only the system's own programs (systemctl).
TEST(ProcessLauncherTest, AnUpdaterHeldForAMomentStartsOnceLetGoAndOneHeldThroughEveryTryIsReported)
{
    for (const bool letGo : {true, false}) {
        TempDir dir;
        const std::string program = dir / "updater.exe";
        std::filesystem::copy_file(TestFiles::programBeside("kopirko_test_child"), program);
        auto hold = std::make_unique<ProgramHold>(program);
        ASSERT_TRUE(hold->held());
        int pauses = 0;
        WinProcessLauncher launcher(StartRetry([&](milliseconds) {
            ++pauses;
            if (letGo)
                hold.reset();
        }));

        const Result started = launcher.startDetached(program, {"args", dir / "arguments", "started"});

        if (letGo) {
            ASSERT_TRUE(started) << started.error();
            EXPECT_EQ(writtenWhenThere(dir / "arguments"), std::string("started\0", 8));
            EXPECT_EQ(pauses, 1);
            // The folder goes once the program has ended and let its file go.
            std::error_code gone;
            for (int attempt = 0; attempt < 1000 && !std::filesystem::remove(program, gone); ++attempt)
                std::this_thread::sleep_for(10ms);
        } else {
            EXPECT_FALSE(started);
            EXPECT_NE(started.error().find(program), std::string::npos) << started.error();
            EXPECT_EQ(pauses, StartRetry::maxTries - 1) << started.error();
        }
    }
}
#endif

TEST(LocalDateTimeTest, FormatsAndCountsCalendarDays)
{
    const year_month_day date{year{2026}, month{3}, day{1}};
    EXPECT_EQ(formatDateDots(date) + " " + formatHourMinute(LocalDateTime{date, 7, 5, 0}), "01.03.2026 07:05");
    EXPECT_EQ(formatDateStamp(addDays(date, -1)), "28_02_2026");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2024}, month{3}, day{1}}, -1)), "29_02_2024");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2026}, month{12}, day{31}}, 1)), "01_01_2027");
}

} // namespace

#include "LocalDateTime.h"
#include "ProgramHold.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#ifdef _WIN32
#include "OwnedHandle.h"
#include "WideText.h"
#include "WinInstanceLock.h"

#include <random>
#include <windows.h>
#else
#include "PosixInstanceLock.h"
#endif

namespace {

using namespace std::chrono;
const std::string testChild = TestFiles::programBeside("kopirko_test_child");

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

    const Result started = SystemProcessLauncher().startDetached(testChild, arguments);

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

// A program that another one holds for a moment (just written, or a virus scanner checking it) is started once it is
// let go, and one held through every try is reported with the system's reason, as at its first failure: by the
// command runner, and on Windows by the launcher, which starts the updater this program downloaded at its start. The
// Linux launcher starts only the system's own programs (systemctl) and does not try again.
struct HeldStart
{
    const char* name;
    /// Starts `program` (a copy of kopirko_test_child) with `retry`; false and the error when it did not start,
    /// otherwise checks that it did what it was told.
    std::function<Result(const std::string& program, const TempDir& dir, StartRetry retry)> start;
};

class HeldProgramTest : public testing::TestWithParam<HeldStart>
{};

TEST_P(HeldProgramTest, StartsOnceLetGoAndOneHeldThroughEveryTryIsReported)
{
    for (const bool letGo : {true, false}) {
        TempDir dir;
        // A copy of its own: the other cases start the test child meanwhile.
        const std::string program = dir / ("held-" + std::filesystem::path(testChild).filename().string());
        std::filesystem::copy_file(testChild, program);
        auto hold = std::make_unique<ProgramHold>(program);
        ASSERT_TRUE(hold->held());
        int pauses = 0;
        const StartRetry retry([&](milliseconds) {
            ++pauses;
            if (letGo)
                hold.reset();
        });

        const Result started = GetParam().start(program, dir, retry);

        if (letGo) {
            EXPECT_TRUE(started) << started.error();
            EXPECT_EQ(pauses, 1);
        } else {
            EXPECT_FALSE(started);
            EXPECT_NE(started.error().find(program), std::string::npos) << started.error();
            EXPECT_EQ(pauses, StartRetry::maxTries - 1) << started.error();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starters, HeldProgramTest,
    testing::Values(HeldStart{"CommandRunner",
                              [](const std::string& program, const TempDir&, StartRetry retry) {
                                  const CommandOutcome outcome =
                                      SystemCommandRunner(std::move(retry)).run(program, {"echo", "3", "x"}, 60s);
                                  if (outcome.status == CommandOutcome::Status::NotStarted)
                                      return Result::failure(outcome.error);
                                  EXPECT_EQ(outcome.status, CommandOutcome::Status::Finished) << outcome.error;
                                  EXPECT_EQ(outcome.exitCode, 3);
                                  EXPECT_EQ(outcome.output, "[x](read 0 bytes)(errors)");
                                  return Result::success();
                              }}
#ifdef _WIN32
                    ,
                    HeldStart{"ProcessLauncher",
                              [](const std::string& program, const TempDir& dir, StartRetry retry) {
                                  const Result started =
                                      WinProcessLauncher(std::move(retry))
                                          .startDetached(program, {"args", dir / "arguments", "started"});
                                  if (!started)
                                      return started;
                                  EXPECT_EQ(writtenWhenThere(dir / "arguments"), std::string("started\0", 8));
                                  // The folder goes once the program has ended and let its file go.
                                  std::error_code gone;
                                  for (int attempt = 0; attempt < 1000 && !std::filesystem::remove(program, gone);
                                       ++attempt)
                                      std::this_thread::sleep_for(10ms);
                                  return started;
                              }}
#endif
                    ),
    [](const testing::TestParamInfo<HeldStart>& info) { return std::string(info.param.name); });

TEST(LocalDateTimeTest, FormatsAndCountsCalendarDays)
{
    const year_month_day date{year{2026}, month{3}, day{1}};
    EXPECT_EQ(formatDateDots(date) + " " + formatHourMinute(LocalDateTime{date, 7, 5, 0}), "01.03.2026 07:05");
    EXPECT_EQ(formatDateStamp(addDays(date, -1)), "28_02_2026");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2024}, month{3}, day{1}}, -1)), "29_02_2024");
    EXPECT_EQ(formatDateStamp(addDays(year_month_day{year{2026}, month{12}, day{31}}, 1)), "01_01_2027");
}

} // namespace

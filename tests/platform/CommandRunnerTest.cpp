#include "SystemPlatform.h"
#include "TestFiles.h"
#include "child/TestChild.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#endif

namespace {

using namespace std::chrono_literals;
using Status = CommandOutcome::Status;
const std::string testChild = TestFiles::programBeside("kopirko_test_child");

/// True while the process `pid` runs (on Linux a zombie, ended but not yet reaped, does not count).
bool runs(long pid)
{
#ifdef _WIN32
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    const bool running = process && ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (process)
        ::CloseHandle(process);
    return running;
#else
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    return std::getline(stat, text) && text.substr(text.rfind(')') + 2, 1) != "Z";
#endif
}

/// How many files, pipes and other kernel objects this process holds open now.
int openHandles()
{
    int count = 0;
#ifdef _WIN32
    DWORD handles = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &handles) && handles > 0)
        return static_cast<int>(handles);
    // Wine answers 0: count the handle values that are in use instead (multiples of 4, small in a test).
    for (uintptr_t value = 4; value < 0x10000; value += 4)
        count += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &handles) ? 1 : 0;
#else
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
#endif
    return count;
}

/// Waits a while for the process whose id kopirko_test_child wrote into `pidFile` to be gone; true when it is.
bool endsSoon(const std::string& pidFile)
{
    const long pid = std::stol(TestFiles::read(pidFile));
    for (int attempt = 0; attempt < 1000 && runs(pid); ++attempt)
        std::this_thread::sleep_for(10ms);
    return !runs(pid);
}

// The input is empty, so nothing waits for an answer.
TEST(CommandRunnerTest, ArgumentsArriveOneEachAndOutputAndErrorsComeBackWithTheExitStatus)
{
    SystemCommandRunner runner;
    const CommandOutcome outcome =
        runner.run(testChild, {"echo", "7", "two words", "\"quoted\"", "", "back\\", "$(id)"}, 60s);
    EXPECT_EQ(outcome.status, Status::Finished) << outcome.error;
    EXPECT_EQ(outcome.exitCode, 7);
    EXPECT_EQ(outcome.output, "[two words][\"quoted\"][][back\\][$(id)](read 0 bytes)(errors)");
}

// A command that writes more than the pipe holds must be read while it runs, or both wait for each other.
TEST(CommandRunnerTest, ACommandThatWritesALotEndsAndTheLast4KiBAreKept)
{
    constexpr size_t written = 1 << 20;
    const std::string expected = floodPattern(written) + "end\n";

    const CommandOutcome outcome = SystemCommandRunner().run(testChild, {"flood", std::to_string(written)}, 60s);

    EXPECT_EQ(outcome.status, Status::Finished) << outcome.error;
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.output, expected.substr(expected.size() - 4096));
}

TEST(CommandRunnerTest, AMissingProgramIsNotStartedAndNamed)
{
    const CommandOutcome outcome = SystemCommandRunner().run("kopirko-no-such-program", {"x"}, 10s);
    EXPECT_EQ(outcome.status, Status::NotStarted);
    EXPECT_NE(outcome.error.find("kopirko-no-such-program"), std::string::npos) << outcome.error;
}

// The command ends while a program it started still holds its output open, and would hold it for longer than the
// test may take ("exit"), or it still runs at the time limit ("stay"): either way the run ends and reports how, and
// nothing the command started stays.
TEST(CommandRunnerTest, NothingTheCommandStartedStaysWhetherItEndsOrIsEndedAtTheTimeLimit)
{
    for (const bool stay : {false, true}) {
        TempDir dir;
        const CommandOutcome outcome =
            SystemCommandRunner().run(testChild, {"starter", dir / "pid", stay ? "stay" : "exit"}, stay ? 5s : 30s);

        EXPECT_EQ(outcome.status, stay ? Status::TimedOut : Status::Finished) << outcome.error;
        ASSERT_TRUE(TestFiles::exists(dir / "pid")) << "the started program never ran: " << outcome.output;
        EXPECT_TRUE(stay || outcome.exitCode == 0) << "exit code " << outcome.exitCode;
        EXPECT_NE(outcome.output.find("started\n"), std::string::npos) << outcome.output;
        EXPECT_TRUE(endsSoon(dir / "pid.starter"));
        EXPECT_TRUE(endsSoon(dir / "pid"));
    }
}

// The runner is used again and again in one run of the program: it must give back every pipe and handle.
TEST(CommandRunnerTest, RunsLeaveNoHandleOpen)
{
    SystemCommandRunner runner;
    TempDir dir;
    int runs = 0;
    const auto runAll = [&] {
        runner.run(testChild, {"echo", "0", "x"}, 60s);
        runner.run(testChild, {"flood", "100000"}, 60s);
        runner.run(testChild, {"starter", dir / ("pid" + std::to_string(++runs)), "exit"}, 60s);
        runner.run("kopirko-no-such-program", {}, 60s);
    };
    runAll(); // whatever is opened once for good (libraries, the C runtime's buffers) is opened now
    const int before = openHandles();
    ASSERT_GT(before, 0);
    for (int round = 0; round < 3; ++round)
        runAll();
    EXPECT_EQ(openHandles(), before);
}

} // namespace

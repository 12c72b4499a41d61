#include "SambaRemoteShutdown.h"
#include "PosixCommandRunner.h"
#include "StubCommands.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

/// True while `pid` exists and has not died (a killed process whose parent is gone may stay a zombie).
bool running(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return false;
    const size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

class SambaRemoteShutdownTest : public testing::Test
{
protected:
    /// A "net" that records its arguments as "[argument]" each, a line per call, writes `message` and ends
    /// with `exitCode`.
    void recordingNet(int exitCode, const std::string& message = {})
    {
        const std::string calls = "'" + stubs.file("calls") + "'";
        stubs.add("net", "for a in \"$@\"; do printf '[%s]' \"$a\" >> " + calls + "; done\necho >> " + calls +
                             "\necho '" + message + "' >&2\nexit " + std::to_string(exitCode));
    }
    std::string calls() const
    {
        return TestFiles::exists(stubs.file("calls")) ? TestFiles::read(stubs.file("calls")) : "(no call)";
    }

    StubCommands stubs;
    PosixCommandRunner runner;
    SambaRemoteShutdown shutdown{runner};
};

TEST_F(SambaRemoteShutdownTest, AsksTheComputerWithOneArgumentPerItem)
{
    recordingNet(0);
    const Result result = shutdown.shutDown("PC1");
    EXPECT_TRUE(result) << result.error();
    EXPECT_EQ(calls(), "[rpc][shutdown][-I][PC1][-t][0]\n");
}

TEST_F(SambaRemoteShutdownTest, ARefusalIsAFailureThatSaysWhy)
{
    recordingNet(255, "Connection failed: NT_STATUS_ACCESS_DENIED");
    const Result result = shutdown.shutDown("192.168.1.12");
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("NT_STATUS_ACCESS_DENIED"), std::string::npos) << result.error();
}

TEST_F(SambaRemoteShutdownTest, NamesThatAreNoPlainComputerNameStartNothing)
{
    recordingNet(0);
    for (const char* host : {"-rf", "--help", "pc 1", "pc';reboot;'", "", "pc\n1"})
        EXPECT_FALSE(shutdown.shutDown(host)) << host;
    EXPECT_EQ(calls(), "(no call)");
}

TEST_F(SambaRemoteShutdownTest, NetCannotStopToAskForAPassword)
{
    // Input gives end of file at once, and there is no terminal to open.
    stubs.add("net", "if read answer; then exit 1; fi\nif (: < /dev/tty) 2>/dev/null; then exit 2; fi\nexit 0");
    const Result result = shutdown.shutDown("PC1");
    EXPECT_TRUE(result) << result.error();
}

TEST_F(SambaRemoteShutdownTest, AComputerThatDoesNotAnswerIsGivenUpAtTheTimeLimit)
{
    // The stub and what it started stand for a connection that hangs; both must be gone afterwards.
    stubs.add("net", "echo $$ > '" + stubs.file("self") + "'\n/bin/sleep 600 &\necho $! > '" + stubs.file("child") +
                         "'\nwait");
    SambaRemoteShutdown impatient(runner, 2s);

    const Result result = impatient.shutDown("PC9");

    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("did not answer"), std::string::npos) << result.error();
    for (const char* name : {"self", "child"}) {
        ASSERT_TRUE(TestFiles::exists(stubs.file(name))) << name;
        const pid_t pid = std::stoi(TestFiles::read(stubs.file(name)));
        // SIGKILL is delivered at once, but the process may take a moment to die.
        for (int attempt = 0; attempt < 500 && running(pid); ++attempt)
            std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(running(pid)) << name << " " << pid << " still runs";
    }
}

TEST_F(SambaRemoteShutdownTest, WithoutSambaEveryRequestFails)
{
    const Result result = shutdown.shutDown("PC1");
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("net"), std::string::npos) << result.error();
}

} // namespace

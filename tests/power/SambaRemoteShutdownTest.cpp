#include "SambaRemoteShutdown.h"
#include "PosixCommandRunner.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

/// Runs "net" from a folder of stand-ins that is the whole PATH while the test runs: a real one is never found.
class SambaRemoteShutdownTest : public testing::Test
{
protected:
    void SetUp() override { ::setenv("PATH", stubs.path().c_str(), 1); }
    void TearDown() override { ::setenv("PATH", m_oldPath.c_str(), 1); }
    void net(const std::string& body)
    {
        TestFiles::write(stubs / "net", "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(stubs / "net", std::filesystem::perms::owner_all);
    }

    TempDir stubs;
    PosixCommandRunner runner;
    std::string m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
};

TEST_F(SambaRemoteShutdownTest, OnlyPlainNamesReachNetOneArgumentEachWithNoWayToPrompt)
{
    SambaRemoteShutdown shutdown(runner);
    EXPECT_FALSE(shutdown.shutDown("PC1")); // no net at all
    // Records "[argument]" each, a line per call; input must be at its end and there must be no terminal.
    const std::string calls = "'" + (stubs / "calls") + "'";
    net("for a in \"$@\"; do printf '[%s]' \"$a\" >> " + calls + "; done\necho >> " + calls +
        "\nif read answer; then exit 1; fi\nif (: < /dev/tty) 2>/dev/null; then exit 2; fi\n"
        "if [ \"$4\" = denied ]; then echo 'Connection failed: NT_STATUS_ACCESS_DENIED' >&2; exit 255; fi");
    std::string expectedCalls;
    for (const std::string host : {"PC1", "192.168.1.12", "fe80::1", "pc-2.local"}) {
        const Result result = shutdown.shutDown(host);
        EXPECT_TRUE(result) << host << ": " << result.error();
        expectedCalls += "[rpc][shutdown][-I][" + host + "][-t][0]\n";
    }
    const Result refused = shutdown.shutDown("denied");
    EXPECT_NE(refused.error().find("NT_STATUS_ACCESS_DENIED"), std::string::npos) << refused.error();
    expectedCalls += "[rpc][shutdown][-I][denied][-t][0]\n";
    for (const std::string host : {"-rf", "--help", ".hidden", "pc 1", "pc\"1", "pc';reboot;'", "pc\t1", "pc\n1",
                                   "pc$(id)", "a/b", "p\xC4\x8D", ""})
        EXPECT_FALSE(shutdown.shutDown(host)) << testing::PrintToString(host);
    EXPECT_FALSE(shutdown.shutDown(std::string("pc\0x", 4)));
    EXPECT_EQ(TestFiles::read(stubs / "calls"), expectedCalls);
}

// That the command and what it started are ended then is
// CommandRunnerTest.NothingTheCommandStartedStaysWhetherItEndsOrIsEndedAtTheTimeLimit.
TEST_F(SambaRemoteShutdownTest, AComputerThatDoesNotAnswerIsGivenUpAtTheTimeLimit)
{
    net("/bin/sleep 600 &\nwait"); // a connection that hangs

    const Result result = SambaRemoteShutdown(runner, 1s).shutDown("PC9");

    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("did not answer"), std::string::npos) << result.error();
}

} // namespace

#include "PosixCommandRunner.h"
#include "StubCommands.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Status = CommandOutcome::Status;

TEST(PosixCommandRunner, GivesExitStatusAndTheEndOfWhatWasWritten)
{
    StubCommands stubs;
    // 10000 bytes on stdout, then a last line on stderr: only the last 4 KiB are kept, in order.
    stubs.add("talk", "i=0; while [ $i -lt 1000 ]; do printf '123456789\\n'; i=$((i+1)); done\n"
                      "echo 'last words' >&2\nexit 3");
    PosixCommandRunner runner;

    const CommandOutcome outcome = runner.run("talk", {}, 10s);

    EXPECT_EQ(outcome.status, Status::Finished);
    EXPECT_EQ(outcome.exitCode, 3);
    EXPECT_EQ(outcome.output.size(), 4096u);
    EXPECT_TRUE(outcome.output.ends_with("123456789\nlast words\n")) << outcome.output.substr(4000);
}

TEST(PosixCommandRunner, TheCommandCannotReadAnythingOrPrompt)
{
    StubCommands stubs;
    // Reading from the terminal would block; reading input gives end of file at once.
    stubs.add("ask", "if read answer; then exit 1; fi\nif [ -t 0 ] || (: < /dev/tty) 2>/dev/null; then exit 2; fi\n"
                     "exit 0");
    PosixCommandRunner runner;

    const CommandOutcome outcome = runner.run("ask", {}, 10s);

    EXPECT_EQ(outcome.status, Status::Finished);
    EXPECT_EQ(outcome.exitCode, 0) << outcome.output;
}

TEST(PosixCommandRunner, ArgumentsArriveUnsplitAndUninterpreted)
{
    StubCommands stubs;
    stubs.add("show", "for a in \"$@\"; do printf '<%s>' \"$a\"; done");
    PosixCommandRunner runner;

    const CommandOutcome outcome = runner.run("show", {"a b", "$(id)", "*", ";", ""}, 10s);

    EXPECT_EQ(outcome.output, "<a b><$(id)><*><;><>");
}

TEST(PosixCommandRunner, AMissingProgramIsNotStarted)
{
    StubCommands stubs;
    PosixCommandRunner runner;
    const CommandOutcome outcome = runner.run("no-such-program", {}, 10s);
    EXPECT_EQ(outcome.status, Status::NotStarted);
    EXPECT_FALSE(outcome.error.empty());
}

} // namespace

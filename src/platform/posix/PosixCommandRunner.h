#pragma once

#include "CommandRunner.h"
#include "StartRetry.h"

/// Runs commands with posix_spawn in a session of their own (no controlling terminal), input from /dev/null,
/// output into a pipe. At the time limit the command's whole process group is killed. A start that fails with an
/// error that can pass (the program still open for writing) is tried again (StartRetry).
class PosixCommandRunner : public CommandRunner
{
public:
    PosixCommandRunner() = default;
    /// Pauses between tries as `retry` does (tests pause without sleeping).
    explicit PosixCommandRunner(StartRetry retry);

    CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds timeLimit) override;

private:
    StartRetry m_retry;
};

#pragma once

#include "CommandRunner.h"
#include "StartRetry.h"

/// Runs commands with CreateProcessW (arguments quoted by the rules of Windows' command line, no shell, no batch
/// files), without a console window, input the NUL device, output and errors into one pipe; the command inherits
/// no other handle. The command and what it starts run in a job object: at the time limit the whole job is ended,
/// and when the command ends by itself, what it started and left running is ended with it (it would otherwise
/// hold the output open). A start that fails with an error that can pass is tried again (StartRetry). Output is kept as
/// the command wrote it, in whatever code page it wrote.
class WinCommandRunner : public CommandRunner
{
public:
    WinCommandRunner() = default;
    /// Pauses between tries as `retry` does (tests pause without sleeping).
    explicit WinCommandRunner(StartRetry retry);

    /// NotStarted also when the command cannot be put in a job of its own (Windows 7, when this program already
    /// runs in a job that allows no other).
    CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds timeLimit) override;

private:
    StartRetry m_retry;
};

#pragma once

#include <chrono>
#include <string>
#include <vector>

/// How a command ended.
struct CommandOutcome
{
    enum class Status {
        Finished,  ///< ended by itself; `exitCode` holds its exit status
        TimedOut,  ///< still running at the time limit, and ended then
        NotStarted ///< could not be started; `error` says why
    };
    Status status = Status::NotStarted;
    int exitCode = -1;  ///< exit status when Finished; -1 when it was ended by a signal
    std::string output; ///< what it wrote (standard output and errors together), the last 4 KiB of it
    std::string error;
};

/// Runs a command and waits for it, for a limited time.
class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    /// Runs `program` (looked up on PATH) with `arguments`, each one argument, never through a shell. Its input
    /// is empty and it has no terminal, so it cannot stop to ask anything. A command still running after
    /// `timeLimit` is ended, together with what it started, and the outcome is TimedOut.
    virtual CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                               std::chrono::milliseconds timeLimit) = 0;
};

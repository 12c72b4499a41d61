#pragma once

#include "CommandRunner.h"

/// Runs commands with posix_spawn in a session of their own (no controlling terminal), input from /dev/null,
/// output into a pipe. At the time limit the command's whole process group is killed.
class PosixCommandRunner : public CommandRunner
{
public:
    CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds timeLimit) override;
};

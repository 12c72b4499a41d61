#pragma once

#include "CommandRunner.h"

/// Runs commands with CreateProcessW (arguments quoted by the rules of Windows' command line, no shell), without
/// a console window, input empty, output into a pipe. The command and what it starts run in a job object; at the
/// time limit the whole job is ended.
class WinCommandRunner : public CommandRunner
{
public:
    CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds timeLimit) override;
};

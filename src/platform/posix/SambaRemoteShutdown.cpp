#include "SambaRemoteShutdown.h"

#include "CommandRunner.h"
#include "HostName.h"

namespace {

/// The last non-empty line the command wrote: Samba puts the reason of a failure there.
std::string lastLine(const std::string& output)
{
    const size_t end = output.find_last_not_of("\r\n \t");
    if (end == std::string::npos)
        return {};
    const size_t newline = output.find_last_of('\n', end);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    return output.substr(start, end + 1 - start);
}

std::string durationText(std::chrono::milliseconds duration)
{
    if (duration.count() % 1000 == 0)
        return std::to_string(duration.count() / 1000) + " s";
    return std::to_string(duration.count()) + " ms";
}

} // namespace

SambaRemoteShutdown::SambaRemoteShutdown(CommandRunner& runner, std::chrono::milliseconds timeLimit)
    : m_runner(runner), m_timeLimit(timeLimit)
{}

std::vector<std::string> SambaRemoteShutdown::arguments(const std::string& host)
{
    return {"rpc", "shutdown", "-I", host, "-t", "0"};
}

Result SambaRemoteShutdown::shutDown(const std::string& host)
{
    if (!isPlainHostName(host))
        return Result::failure("\"" + host + "\" is not a plain computer name");
    const CommandOutcome outcome = m_runner.run("net", arguments(host), m_timeLimit);
    switch (outcome.status) {
    case CommandOutcome::Status::NotStarted:
        return Result::failure(outcome.error);
    case CommandOutcome::Status::TimedOut:
        return Result::failure(host + " did not answer within " + durationText(m_timeLimit));
    case CommandOutcome::Status::Finished:
        break;
    }
    if (outcome.exitCode == 0)
        return Result::success();
    std::string reason = host + " was not shut down (exit status " + std::to_string(outcome.exitCode) + ")";
    if (const std::string line = lastLine(outcome.output); !line.empty())
        reason += ": " + line;
    return Result::failure(reason);
}

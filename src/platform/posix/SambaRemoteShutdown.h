#pragma once

#include "RemoteShutdown.h"

#include <chrono>
#include <string>
#include <vector>

class CommandRunner;

/// Asks a computer to shut down through Samba's remote procedure call: "net rpc shutdown -I HOST -t 0". A
/// non-zero exit, or no answer within the time limit, is a failure.
class SambaRemoteShutdown : public RemoteShutdown
{
public:
    /// Longer than a reachable computer takes to answer, short enough that one that is off cannot hold the
    /// shutdown of the others for minutes.
    static constexpr std::chrono::milliseconds defaultTimeLimit{20000};

    explicit SambaRemoteShutdown(CommandRunner& runner, std::chrono::milliseconds timeLimit = defaultTimeLimit);

    /// Refuses a host that is not a plain computer name or address before anything is started.
    Result shutDown(const std::string& host) override;

    /// The arguments given to "net" for `host`.
    static std::vector<std::string> arguments(const std::string& host);

private:
    CommandRunner& m_runner;
    std::chrono::milliseconds m_timeLimit;
};

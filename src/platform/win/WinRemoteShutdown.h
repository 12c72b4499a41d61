#pragma once

#include "RemoteShutdown.h"

#include <chrono>

/// Asks a computer to shut down with InitiateSystemShutdownExW on "\\HOST", with the identity of the user running
/// the program (the service "shutdown /s /m \\HOST" uses). The call runs on a thread of its own, so that a
/// computer that does not answer costs at most the time limit.
class WinRemoteShutdown : public RemoteShutdown
{
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{20000};

    explicit WinRemoteShutdown(std::chrono::milliseconds timeLimit = defaultTimeLimit);

    /// Refuses a host that is not a plain computer name or address before anything is sent.
    Result shutDown(const std::string& host) override;

private:
    std::chrono::milliseconds m_timeLimit;
};

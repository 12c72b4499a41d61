#pragma once

#include "RemoteShutdown.h"

#include <chrono>
#include <functional>
#include <string>

/// Asks a computer to shut down with InitiateSystemShutdownExW on "\\HOST", with the identity of the user running
/// the program (the service "shutdown /s /m \\HOST" uses): at once, not forced, no restart, recorded as planned.
/// The call runs on a thread of its own, so that a computer that does not answer costs at most the time limit.
class WinRemoteShutdown : public RemoteShutdown
{
public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{20000};

    /// Sends the request to `machine` ("\\HOST") and returns the Win32 error code of the answer, 0 when the
    /// computer accepted. May block for minutes on a computer that is off. Runs on a thread of its own that may
    /// outlive the call to shutDown(): it must hold nothing of the caller's.
    using Request = std::function<unsigned long(const std::wstring& machine)>;

    /// The real request: InitiateSystemShutdownExW.
    explicit WinRemoteShutdown(std::chrono::milliseconds timeLimit = defaultTimeLimit);
    /// Another request in its place (tests: the real one would shut a computer down).
    WinRemoteShutdown(std::chrono::milliseconds timeLimit, Request request);

    /// Refuses a host that is not a plain computer name or address before anything is sent. Fails with the
    /// system's reason when the computer refuses or cannot be reached, and when it has not answered within the
    /// time limit (the request is then left to end on its own).
    Result shutDown(const std::string& host) override;

private:
    std::chrono::milliseconds m_timeLimit;
    Request m_request;
};

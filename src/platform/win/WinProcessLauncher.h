#pragma once

#include "ProcessLauncher.h"
#include "StartRetry.h"

/// Starts programs with CreateProcessW, each argument quoted by the rules of Windows' command line, never
/// through a shell (batch files, which Windows runs through cmd.exe, are refused); the program is found as
/// CreateProcessW finds it (this program's folder, the current one, the system folders, PATH; ".exe" added).
/// Nothing is inherited and nothing is waited for; a console program gets a console window of its own. A start that
/// fails with an error that can pass is tried again (StartRetry): the caller waits up to 2.5 seconds longer then.
class WinProcessLauncher : public ProcessLauncher
{
public:
    WinProcessLauncher() = default;
    /// Pauses between tries as `retry` does (tests pause without sleeping).
    explicit WinProcessLauncher(StartRetry retry);

    Result startDetached(const std::string& program, const std::vector<std::string>& arguments) override;

private:
    StartRetry m_retry;
};

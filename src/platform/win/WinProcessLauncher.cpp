#include "WinProcessLauncher.h"

#include "WideText.h"
#include "WindowsCommandLine.h"

#include <windows.h>

WinProcessLauncher::WinProcessLauncher(StartRetry retry) : m_retry(std::move(retry)) {}

Result WinProcessLauncher::startDetached(const std::string& program, const std::vector<std::string>& arguments)
{
    const std::string refused = WindowsCommandLine::problem(program, arguments);
    if (!refused.empty())
        return Result::failure("cannot start \"" + program + "\": " + refused);
    // CreateProcessW may write into the command line: it must be a buffer of our own.
    std::wstring commandLine = WideText::fromUtf8(WindowsCommandLine::build(program, arguments));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // No application name: CreateProcessW takes the program from the command line's first word and looks for it
    // as it always does (this program's folder, the current one, the system folders, PATH; ".exe" added).
    // Nothing of ours is inherited. A console program gets a console window of its own, as when it is started
    // from the desktop: what is started this way (the updater) is meant to be seen, and a hidden one could not
    // be closed by the user. Our error mode (no system error boxes) is not handed on either.
    const DWORD flags = CREATE_NEW_CONSOLE | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE;
    // The updater was written moments before it is started, which is when a virus scanner holds it: a start that
    // fails for a moment is tried again.
    const unsigned long startError = m_retry.start(
        [&]() -> unsigned long {
            if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                                 &startup, &process))
                return 0;
            const DWORD error = ::GetLastError();
            return error != 0 ? error : ERROR_GEN_FAILURE; // failed all the same: never taken for a start
        },
        StartRetry::passingOnWindows);
    if (startError != 0)
        return Result::failure("cannot start \"" + program + "\": " + WideText::errorText(startError));
    // Not waited for: the handles are only closed.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Result::success();
}

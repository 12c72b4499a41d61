#pragma once

#include "ProcessLauncher.h"

/// Starts programs with CreateProcessW, each argument quoted by the rules of Windows' command line, never
/// through a shell; the program is found as CreateProcessW finds it (its own folder, the system folders, PATH).
class WinProcessLauncher : public ProcessLauncher
{
public:
    Result startDetached(const std::string& program, const std::vector<std::string>& arguments) override;
};

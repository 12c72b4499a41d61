#include "WinProcessLauncher.h"

Result WinProcessLauncher::startDetached(const std::string& program, const std::vector<std::string>&)
{
    return Result::failure("cannot start \"" + program + "\": not written yet");
}

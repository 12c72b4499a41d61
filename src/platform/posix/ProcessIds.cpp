#include "ProcessIds.h"

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

namespace ProcessIds {

std::uint64_t current()
{
    return static_cast<std::uint64_t>(::getpid());
}

bool running(std::uint64_t pid)
{
    if (pid == 0 || pid > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max()))
        return false;
    // Signal 0 only asks whether the process is there; EPERM: it is, and belongs to another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace ProcessIds

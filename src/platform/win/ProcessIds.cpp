#include "ProcessIds.h"

#include <windows.h>

namespace ProcessIds {

std::uint64_t current()
{
    return ::GetCurrentProcessId();
}

bool running(std::uint64_t pid)
{
    if (pid == 0 || pid > MAXDWORD)
        return false;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return ::GetLastError() == ERROR_ACCESS_DENIED; // there, but not ours to look at
    DWORD code = 0;
    const bool active = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return active;
}

} // namespace ProcessIds

#include "NoAccess.h"

#include "WideText.h"

#include <windows.h>

int runWithoutAccess(const std::string&, const std::vector<std::string>& paths, const std::function<int()>& work)
{
    std::vector<HANDLE> held;
    int result = 125;
    for (const std::string& path : paths) {
        // No sharing at all: every other open of the file, or listing of the folder, meets a sharing violation.
        const HANDLE handle = ::CreateFileW(WideText::longPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            break;
        held.push_back(handle);
    }
    if (held.size() == paths.size())
        result = work();
    for (const HANDLE handle : held)
        ::CloseHandle(handle);
    return result;
}

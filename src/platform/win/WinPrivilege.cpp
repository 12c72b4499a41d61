#include "WinPrivilege.h"

#include "OwnedHandle.h"
#include "WideText.h"

#include <windows.h>

Result enablePrivilege(const std::string& name)
{
    const auto failed = [&name](const std::string& reason) {
        return Result::failure("cannot take the privilege " + name + ": " + reason);
    };
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return failed(WideText::errorText(::GetLastError()));
    const OwnedHandle ownedToken(token);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, WideText::fromUtf8(name).c_str(), &privileges.Privileges[0].Luid))
        return failed(WideText::errorText(::GetLastError()));
    if (!::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
        return failed(WideText::errorText(::GetLastError()));
    // AdjustTokenPrivileges succeeds even when it could not give the privilege; only the last error says so.
    if (const DWORD error = ::GetLastError(); error == ERROR_NOT_ALL_ASSIGNED)
        return failed("the user does not hold it: " + WideText::errorText(error));
    return Result::success();
}

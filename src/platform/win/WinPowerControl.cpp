#include "WinPowerControl.h"

#include "WideText.h"
#include "WinPrivilege.h"

#include <windows.h>

Result WinPowerControl::shutDownThisComputer()
{
    // Only a process that has switched the shutdown privilege on may end the session that way.
    if (const Result privilege = enablePrivilege("SeShutdownPrivilege"); !privilege)
        return Result::failure("cannot shut this computer down: " + privilege.error());
    // Not forced: programs that hold unsaved work may ask the user first. Recorded as a planned shutdown.
    const DWORD reason = SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
    if (!::ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, reason))
        return Result::failure("cannot shut this computer down: " + WideText::errorText(::GetLastError()));
    return Result::success();
}

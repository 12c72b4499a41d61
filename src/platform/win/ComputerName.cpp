#include "ComputerName.h"

#include "WideText.h"

#include <windows.h>

std::string thisComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return {};
    return WideText::toUtf8(std::wstring(name, length));
}

#pragma once

// Wine's own functions, for the Windows tests that reach the Linux side of Wine; none of them exists on Windows.
#include "WideText.h"

#include <windows.h>

#include <string>

namespace WineHost {

/// The function `name` of `module`, as a plain pointer to be cast to its type; nothing when it is not there.
inline void* function(const wchar_t* module, const char* name)
{
    const HMODULE handle = ::GetModuleHandleW(module);
    return handle ? reinterpret_cast<void*>(::GetProcAddress(handle, name)) : nullptr;
}

/// The Linux path of a Windows path; "" outside Wine.
inline std::string unixPath(const std::string& windowsPath)
{
    using UnixName = char* (*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<UnixName>(function(L"kernel32.dll", "wine_get_unix_file_name"));
    char* name = toUnix ? toUnix(WideText::fromUtf8(windowsPath).c_str()) : nullptr;
    const std::string path = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

/// The Windows path of a Linux path; "" outside Wine.
inline std::string windowsPath(const std::string& unixPath)
{
    using DosName = wchar_t* (*)(const char*);
    const auto toDos = reinterpret_cast<DosName>(function(L"kernel32.dll", "wine_get_dos_file_name"));
    wchar_t* name = toDos ? toDos(unixPath.c_str()) : nullptr;
    const std::string path = name ? WideText::toUtf8(name) : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return path;
}

} // namespace WineHost

#include "WineSide.h"

#ifdef _WIN32
#include <windows.h>

namespace {

/// Wine's own export that gives the Linux path of a Windows one; nothing outside Wine.
using UnixFileName = char*(CDECL*)(const WCHAR*);
UnixFileName unixFileNameFunction()
{
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

std::wstring wide(const std::string& text)
{
    std::wstring result(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                                           static_cast<int>(result.size()));
    result.resize(static_cast<size_t>(length > 0 ? length : 0));
    return result;
}

} // namespace

namespace WineSide {

bool present()
{
    return unixFileNameFunction() != nullptr;
}

std::optional<std::string> linuxPath(const std::string& path)
{
    const UnixFileName unixFileName = unixFileNameFunction();
    char* mapped = unixFileName ? unixFileName(wide(path).c_str()) : nullptr;
    if (!mapped)
        return std::nullopt;
    std::string result = mapped;
    HeapFree(GetProcessHeap(), 0, mapped);
    return result;
}

bool startLinuxProgram(const std::string& program, const std::string& commandLine)
{
    if (!present())
        return false;
    // Wine's drive Z: is the Linux root.
    std::wstring application = L"Z:" + wide(program);
    for (wchar_t& c : application)
        if (c == L'/')
            c = L'\\';
    std::wstring command = wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    return true;
}

} // namespace WineSide

#else

namespace WineSide {

bool present()
{
    return false;
}

std::optional<std::string> linuxPath(const std::string& path)
{
    return path;
}

bool startLinuxProgram(const std::string&, const std::string&)
{
    return false;
}

} // namespace WineSide

#endif

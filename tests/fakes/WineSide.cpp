#include "WineSide.h"

#ifdef _WIN32
#include "WideText.h"

#include <windows.h>

namespace {

/// Wine's own export `name` of kernel32 (none exists outside Wine), as a plain pointer to be cast to its type.
void* wineFunction(const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
}

} // namespace

namespace WineSide {

bool present()
{
    return wineFunction("wine_get_unix_file_name") != nullptr;
}

std::optional<std::string> linuxPath(const std::string& path)
{
    using UnixFileName = char*(CDECL*)(const WCHAR*);
    const auto toUnix = reinterpret_cast<UnixFileName>(wineFunction("wine_get_unix_file_name"));
    char* mapped = toUnix ? toUnix(WideText::fromUtf8(path).c_str()) : nullptr;
    if (!mapped)
        return std::nullopt;
    std::string result = mapped;
    ::HeapFree(::GetProcessHeap(), 0, mapped);
    return result;
}

std::optional<std::string> windowsPath(const std::string& path)
{
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto toDos = reinterpret_cast<DosFileName>(wineFunction("wine_get_dos_file_name"));
    WCHAR* mapped = toDos ? toDos(path.c_str()) : nullptr;
    if (!mapped)
        return std::nullopt;
    std::string result = WideText::toUtf8(mapped);
    ::HeapFree(::GetProcessHeap(), 0, mapped);
    return result;
}

bool startLinuxProgram(const std::string& program, const std::string& commandLine)
{
    const std::optional<std::string> application = windowsPath(program);
    if (!application)
        return false;
    std::wstring command = WideText::fromUtf8(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(WideText::fromUtf8(*application).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
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

std::optional<std::string> windowsPath(const std::string& path)
{
    return path;
}

bool startLinuxProgram(const std::string&, const std::string&)
{
    return false;
}

} // namespace WineSide

#endif

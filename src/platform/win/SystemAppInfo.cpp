#include "SystemAppInfo.h"

#include "WideText.h"

#include <windows.h>

namespace {

/// Without the trailing "\", except for a drive's root ("C:\").
std::string folderOf(std::wstring path)
{
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return ".";
    path.resize(slash);
    if (path.size() == 2 && path[1] == L':')
        path += L'\\';
    if (path.starts_with(L"\\\\?\\") && !path.starts_with(L"\\\\?\\UNC\\"))
        path.erase(0, 4);
    return WideText::toUtf8(path);
}

} // namespace

std::string SystemAppInfo::programFolder() const
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return workingFolder();
        if (length < path.size()) {
            path.resize(length);
            return folderOf(path);
        }
        path.resize(path.size() * 2); // cut short: a path longer than the buffer
    }
}

ProgramVersion SystemAppInfo::version() const
{
    return ProgramVersion{KOPIRKO_VERSION_MAJOR, KOPIRKO_VERSION_MINOR, KOPIRKO_VERSION_PATCH};
}

std::string SystemAppInfo::workingFolder() const
{
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return ".";
    std::wstring folder(needed, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(needed, folder.data());
    if (length == 0 || length >= needed)
        return ".";
    folder.resize(length);
    // "C:\" keeps its separator; any other folder is written without one.
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return WideText::toUtf8(folder);
}

void SystemAppInfo::settleStartFolder() const
{
    auto folderOfSystem = [](UINT (*get)(LPWSTR, UINT)) {
        wchar_t buffer[MAX_PATH + 1] = {};
        const UINT length = get(buffer, MAX_PATH);
        return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
    };
    const std::wstring current = WideText::fromUtf8(workingFolder());
    for (const std::wstring& system : {folderOfSystem(::GetSystemDirectoryW), folderOfSystem(::GetWindowsDirectoryW)}) {
        if (!system.empty() && ::CompareStringOrdinal(current.c_str(), -1, system.c_str(), -1, TRUE) == CSTR_EQUAL) {
            ::SetCurrentDirectoryW(WideText::fromUtf8(programFolder()).c_str());
            return;
        }
    }
}

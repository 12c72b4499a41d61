#include "WideText.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace WideText {

std::wstring fromUtf8(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(const wchar_t* text)
{
    return toUtf8(std::wstring(text ? text : L""));
}

std::string toUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                          nullptr);
    return narrow;
}

namespace {

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

/// The length of the root of a full path, "C:\" (3) or "\\server\share" (without what follows); 0 for any other
/// path.
std::size_t fullRootLength(const std::wstring& wide)
{
    if (wide.size() >= 3 && isDriveLetter(wide[0]) && wide[1] == L':' && wide[2] == L'\\')
        return 3;
    if (wide.size() < 3 || wide[0] != L'\\' || wide[1] != L'\\' || wide[2] == L'\\' || wide[2] == L'?' ||
        wide[2] == L'.')
        return 0;
    const std::size_t server = wide.find(L'\\', 2);
    if (server == std::wstring::npos || server + 1 == wide.size() || wide[server + 1] == L'\\')
        return 0;
    const std::size_t share = wide.find(L'\\', server + 1);
    return share == std::wstring::npos ? wide.size() : share;
}

/// The full path `wide` with the root of `rootLength` and its components as they are written: empty and "." ones
/// dropped, ".." going back one (never above the root).
std::wstring withComponentsAsWritten(const std::wstring& wide, std::size_t rootLength)
{
    std::vector<std::wstring> parts;
    for (std::size_t start = rootLength; start <= wide.size();) {
        const std::size_t end = std::min(wide.find(L'\\', start), wide.size());
        const std::wstring part = wide.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring full = wide.substr(0, rootLength);
    for (const std::wstring& part : parts) {
        if (full.back() != L'\\')
            full += L'\\';
        full += part;
    }
    if (full.back() != L'\\' && parts.empty())
        full += L'\\'; // the root of a share
    return full;
}

} // namespace

std::wstring longPath(const std::string& path)
{
    std::wstring wide = fromUtf8(path);
    for (wchar_t& c : wide)
        if (c == L'/')
            c = L'\\';
    if (wide.starts_with(L"\\\\?\\"))
        return wide;
    // A full path keeps its names as they are: the system's own rules would read "x." as "x" and "con.txt" as the
    // device, and names like those exist on disks written by other systems.
    if (const std::size_t root = fullRootLength(wide); root > 0) {
        wide = withComponentsAsWritten(wide, root);
        return wide[0] == L'\\' ? L"\\\\?\\UNC\\" + wide.substr(2) : L"\\\\?\\" + wide;
    }
    // "D:" alone is the drive itself, not the folder last used on it.
    if (wide.size() == 2 && wide[1] == L':')
        wide += L'\\';
    // GetFullPathNameW resolves "." and "..", makes a relative path full and is not held to MAX_PATH.
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed > 0) {
        std::wstring full(needed, L'\0');
        const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
        if (written > 0 && written < needed) {
            full.resize(written);
            wide = std::move(full);
        }
    }
    if (wide.starts_with(L"\\\\.\\"))
        return wide; // a device: no long form
    if (wide.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return L"\\\\?\\" + wide;
}

std::string errorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    if (message.empty())
        message = L"Windows error";
    return toUtf8(message) + " (" + std::to_string(code) + ")";
}

} // namespace WideText

#include "WinNetworkHostLookup.h"

#include "WideText.h"

#include <windows.h>
#include <winnetwk.h>

namespace {

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

/// "\\?\UNC\computer\share" and "\\.\UNC\computer\share" are "\\computer\share"; "\\?\C:\x" is "C:\x".
std::string withoutLongPrefix(const std::string& entry)
{
    for (const char* prefix : {"\\\\?\\", "\\\\.\\"}) {
        if (!entry.starts_with(prefix))
            continue;
        const std::string rest = entry.substr(4);
        if (rest.starts_with("UNC\\") || rest.starts_with("unc\\"))
            return "\\\\" + rest.substr(4);
        return rest;
    }
    return entry;
}

} // namespace

WinNetworkHostLookup::WinNetworkHostLookup() : WinNetworkHostLookup(connectedShare) {}

WinNetworkHostLookup::WinNetworkHostLookup(DriveMapping mapping) : m_mapping(std::move(mapping)) {}

NetworkHost WinNetworkHostLookup::hostOf(const std::string& entry) const
{
    const std::string path = withoutLongPrefix(entry);
    if (NetworkHost host = hostOfNetworkPath(path); host.kind != NetworkHost::Kind::Local)
        return host;
    // "X:\...", "X:/..." and "X:..." (relative to the drive's current folder) all lie on drive X.
    if (path.size() < 2 || !isDriveLetter(path[0]) || path[1] != ':')
        return NetworkHost::local();
    const std::string drive{static_cast<char>(path[0] & ~0x20), ':'};
    const std::optional<std::string> share = m_mapping(drive);
    if (!share)
        return NetworkHost::local();
    NetworkHost host = hostOfNetworkPath(*share);
    if (host.kind == NetworkHost::Kind::Local)
        return NetworkHost::malformed("the drive " + drive + " stands for \"" + *share + "\", which names no computer");
    return host;
}

std::optional<std::string> WinNetworkHostLookup::connectedShare(const std::string& drive)
{
    const std::wstring local = WideText::fromUtf8(drive);
    std::wstring remote(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD length = static_cast<DWORD>(remote.size());
        const DWORD result = ::WNetGetConnectionW(local.c_str(), remote.data(), &length);
        if (result == ERROR_MORE_DATA) {
            remote.assign(length + 1, L'\0');
            continue;
        }
        // Not connected now but remembered: the name is given all the same.
        if (result != NO_ERROR && result != ERROR_CONNECTION_UNAVAIL)
            return std::nullopt; // a drive of this computer, or none at all
        remote.resize(remote.find(L'\0') == std::wstring::npos ? remote.size() : remote.find(L'\0'));
        if (remote.empty())
            return std::nullopt;
        return WideText::toUtf8(remote);
    }
    return std::nullopt;
}

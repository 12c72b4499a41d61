#pragma once

#ifdef _WIN32
#include "WinNetworkHostLookup.h"

#include <map>
#else
#include "PosixNetworkHostLookup.h"
#endif

#include <string>

/// The real rules of this platform over a view of the shares the test sets: on Linux the mount table (empty:
/// nothing is mounted), on Windows the mapped drives (empty: no drive is mapped).
class FakeNetworkHostLookup : public NetworkHostLookup
{
public:
#ifdef _WIN32
    /// "X:" (upper case) -> "\\computer\share"
    std::map<std::string, std::string> mappedDrives;
#else
    std::string mountInfo;
#endif

    NetworkHost hostOf(const std::string& entry) const override
    {
        return m_lookup.hostOf(entry);
    }

private:
#ifdef _WIN32
    WinNetworkHostLookup m_lookup{[this](const std::string& drive) -> std::optional<std::string> {
        const auto found = mappedDrives.find(drive);
        return found == mappedDrives.end() ? std::nullopt : std::optional<std::string>(found->second);
    }};
#else
    PosixNetworkHostLookup m_lookup{[this] { return mountInfo; }};
#endif
};

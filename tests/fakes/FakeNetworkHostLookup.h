#pragma once

#include "SystemPlatform.h"

#include <string>

/// The real rules of this platform over a mount table the test sets (empty: nothing is mounted).
class FakeNetworkHostLookup : public NetworkHostLookup
{
public:
    std::string mountInfo;

    NetworkHost hostOf(const std::string& entry) const override { return m_lookup.hostOf(entry); }

private:
#ifdef _WIN32
    WinNetworkHostLookup m_lookup{[](const std::string&) { return std::optional<std::string>(); }};
#else
    PosixNetworkHostLookup m_lookup{[this] { return mountInfo; }};
#endif
};

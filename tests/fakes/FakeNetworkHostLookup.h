#pragma once

#include "PosixNetworkHostLookup.h"

#include <string>

/// The real rules of this platform over a mount table the test sets (empty: nothing is mounted).
class FakeNetworkHostLookup : public NetworkHostLookup
{
public:
    std::string mountInfo;

    NetworkHost hostOf(const std::string& entry) const override { return m_lookup.hostOf(entry); }

private:
    PosixNetworkHostLookup m_lookup{[this] { return mountInfo; }};
};

#pragma once

#include <array>
#include <cstdint>
#include <vector>

/// One address of a network interface, reduced to what decides whether this computer is connected. Each platform
/// turns its own interface list into these, so that the rule below is the same everywhere.
struct InterfaceAddress
{
    enum class Family { None, IPv4, IPv6 };

    bool up = false;       ///< the interface can carry traffic now (switched on and with a link)
    bool loopback = false; ///< the interface that reaches only this computer
    Family family = Family::None;
    std::array<std::uint8_t, 16> bytes{}; ///< the address in network order; an IPv4 address in the first four

    /// True for a unicast address that reaches past the interface's own link: not IPv4 169.254/16 and not IPv6
    /// fe80::/10 (addresses a computer gives itself when no network hands one out), not IPv6 ::1, and not an
    /// entry without an IP address.
    bool reachesBeyondItsLink() const;
};

/// The platform's "connected" state for the addresses of all interfaces: 1 when an interface other than loopback
/// is up and has an address that reaches beyond its link, else 0.
long connectedStateOf(const std::vector<InterfaceAddress>& addresses);

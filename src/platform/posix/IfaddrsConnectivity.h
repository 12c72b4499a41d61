#pragma once

#include "Connectivity.h"

struct ifaddrs;

/// Connected (1) when a network interface other than loopback is up, running, and has an address that is
/// not only good for its own link (IPv4 169.254/16 and IPv6 fe80::/10 are given without any network behind).
class IfaddrsConnectivity : public Connectivity
{
public:
    ConnectedState connectedState() const override;

    /// The state for the interface list `interfaces` (as getifaddrs gives it): 1 or 0.
    static long stateOf(const ifaddrs* interfaces);
};

#pragma once

#include "Connectivity.h"

/// Connected (1) when a network adapter other than loopback is up and has an address that is not only good for
/// its own link, as GetAdaptersAddresses gives them.
class AdaptersConnectivity : public Connectivity
{
public:
    ConnectedState connectedState() const override;
};

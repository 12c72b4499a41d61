#pragma once

#include "Connectivity.h"

/// Connected (1) by connectedStateOf (InterfaceAddress.h) over the unicast addresses GetAdaptersAddresses lists:
/// an adapter is up when its operational status is up, loopback when it is the software loopback.
class AdaptersConnectivity : public Connectivity
{
public:
    ConnectedState connectedState() const override;
};

#pragma once

#include "Connectivity.h"

/// Connected (1) by connectedStateOf (InterfaceAddress.h) over the interfaces getifaddrs lists: an interface is up
/// when it is both switched on (IFF_UP) and has a link (IFF_RUNNING).
class IfaddrsConnectivity : public Connectivity
{
public:
    ConnectedState connectedState() const override;
};

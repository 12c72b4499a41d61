#include "AdaptersConnectivity.h"

ConnectedState AdaptersConnectivity::connectedState() const
{
    return ConnectedState{true, "not written yet", 0};
}

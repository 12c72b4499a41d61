#pragma once

#include <string>

/// The platform's answer to "is this computer connected?".
struct ConnectedState
{
    bool queryFailed = false; ///< the platform could not be asked; `error` says why
    std::string error;
    long state = 0; ///< 1 connected; anything else, 0 included, not connected
};

/// Whether this computer has a connection beyond itself.
class Connectivity
{
public:
    virtual ~Connectivity() = default;
    virtual ConnectedState connectedState() const = 0;
};

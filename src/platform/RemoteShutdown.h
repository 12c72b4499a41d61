#pragma once

#include "Result.h"

#include <string>

/// Asks another computer of the network to shut its operating system down (an orderly shutdown, not forced),
/// with the identity of the user running the program.
class RemoteShutdown
{
public:
    virtual ~RemoteShutdown() = default;
    /// Sends the request to `host` and waits, for a limited time, for the answer. Fails when the computer cannot
    /// be reached, refuses, or does not answer in time; the reason says which.
    virtual Result shutDown(const std::string& host) = 0;
};

#pragma once

#include "Result.h"

/// Shutting this computer down.
class PowerControl
{
public:
    virtual ~PowerControl() = default;
    /// Starts the system's shutdown without waiting for it. Fails when it cannot be started.
    virtual Result shutDownThisComputer() = 0;
};

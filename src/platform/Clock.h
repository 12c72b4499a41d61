#pragma once

#include "LocalDateTime.h"

/// The wall clock of this computer, local time.
class Clock
{
public:
    virtual ~Clock() = default;
    /// Read anew at every call: a run that passes midnight sees the new date.
    virtual LocalDateTime now() const = 0;
};

#pragma once

#include <string>

/// A per-user lock that tells whether a program with this window title already runs.
class InstanceLock
{
public:
    virtual ~InstanceLock() = default;
    /// Takes the lock named after `title` (letter case does not count) and holds it for the life of the
    /// process. False when another process holds it; a lock that cannot be checked at all gives true, so
    /// the start goes on.
    virtual bool tryAcquire(const std::string& title) = 0;
};

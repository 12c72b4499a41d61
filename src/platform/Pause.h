#pragma once

#include <chrono>

/// Waiting on the user-interface thread.
class Pause
{
public:
    virtual ~Pause() = default;
    /// Handles the program's pending events once; nothing when there is no event loop yet.
    virtual void processEventsOnce() = 0;
    /// Blocks the calling thread for `duration`.
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

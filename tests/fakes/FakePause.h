#pragma once

#include "Pause.h"

#include <chrono>
#include <string>
#include <vector>

/// Records waits instead of waiting.
class FakePause : public Pause
{
public:
    /// "events" or "sleep <ms>", in the order they were asked for.
    std::vector<std::string> calls;

    void processEventsOnce() override { calls.push_back("events"); }
    void sleepFor(std::chrono::milliseconds duration) override
    {
        calls.push_back("sleep " + std::to_string(duration.count()));
    }
};

#pragma once

#include "InstanceLock.h"

#include <string>

class FakeInstanceLock : public InstanceLock
{
public:
    bool otherInstanceRuns = false;
    std::string askedTitle;
    bool tryAcquire(const std::string& title) override
    {
        askedTitle = title;
        return !otherInstanceRuns;
    }
};

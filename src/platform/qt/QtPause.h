#pragma once

#include "Pause.h"

/// Events through the Qt application object, when there is one; sleeping through the standard library.
class QtPause : public Pause
{
public:
    void processEventsOnce() override;
    void sleepFor(std::chrono::milliseconds duration) override;
};

#pragma once

#include "Clock.h"

class SystemClock : public Clock
{
public:
    LocalDateTime now() const override;
};

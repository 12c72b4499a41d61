#pragma once

#include "PowerControl.h"

/// Counts the shutdowns of this computer instead of shutting it down.
class FakePowerControl : public PowerControl
{
public:
    int shutdowns = 0;
    Result shutDownThisComputer() override { return ++shutdowns, Result::success(); }
};

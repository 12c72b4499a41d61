#pragma once

#include "PowerControl.h"

class FakePowerControl : public PowerControl
{
public:
    int shutdowns = 0;
    bool fail = false;
    Result shutDownThisComputer() override
    {
        ++shutdowns;
        return fail ? Result::failure("systemctl is missing") : Result::success();
    }
};

#pragma once

#include "PowerControl.h"

/// Shuts this computer down with ExitWindowsEx, after taking the shutdown privilege.
class WinPowerControl : public PowerControl
{
public:
    Result shutDownThisComputer() override;
};

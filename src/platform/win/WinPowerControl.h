#pragma once

#include "PowerControl.h"

/// Shuts this computer down and switches it off with ExitWindowsEx (not forced: programs may still ask to save
/// their work; recorded as a planned shutdown), after switching the shutdown privilege on. A failure carries the
/// system's reason.
class WinPowerControl : public PowerControl
{
public:
    Result shutDownThisComputer() override;
};

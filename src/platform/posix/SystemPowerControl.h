#pragma once

#include "PowerControl.h"

class ProcessLauncher;

/// Shuts this computer down with a detached "systemctl poweroff".
class SystemPowerControl : public PowerControl
{
public:
    explicit SystemPowerControl(ProcessLauncher& launcher) : m_launcher(launcher) {}
    Result shutDownThisComputer() override;

private:
    ProcessLauncher& m_launcher;
};

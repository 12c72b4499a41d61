#include "SystemPowerControl.h"

#include "ProcessLauncher.h"

Result SystemPowerControl::shutDownThisComputer()
{
    return m_launcher.startDetached("systemctl", {"poweroff"});
}

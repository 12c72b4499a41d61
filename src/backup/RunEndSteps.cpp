#include "RunEndSteps.h"

#include "BackupHost.h"
#include "BackupSettings.h"
#include "MessageBoxService.h"
#include "PlatformServices.h"
#include "PowerControl.h"

void finishFolderRun(RunReport& report, const BackupSettings& settings, BackupHost& host,
                     const PlatformServices& platform)
{
    host.setBusyPointer(false);

    const bool networkShutdown = settings.GasenjeRacunaraMreze == 1;
    const bool localShutdown = settings.NacinBackupa == 0 && settings.GasitiRacunar == 1;
    // This computer waits for Timer2 when both are due: going down first would cut the network shutdown off.
    if (localShutdown && !networkShutdown) {
        if (Result started = platform.power.shutDownThisComputer(); !started)
            report.warnings.push_back("Racunar nije ugasen: " + started.error());
    }
    host.runFinished(report);
    if (settings.NacinBackupa == 2)
        platform.messages.showMessage(completionMessage(report));
    if (networkShutdown)
        host.switchOnTimer2(localShutdown);
}

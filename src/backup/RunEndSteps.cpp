#include "RunEndSteps.h"

#include "BackupHost.h"
#include "BackupSettings.h"
#include "MessageBoxService.h"
#include "PlatformServices.h"
#include "PowerControl.h"
#include "RunCancellation.h"

void finishFolderRun(RunReport& report, const BackupSettings& settings, BackupHost& host,
                     const PlatformServices& platform)
{
    host.setBusyPointer(false);

    // A run stopped because the program is ending shuts nothing down: the user is at the computer.
    const bool stopped = RunCancellation::requested();
    const bool networkShutdown = settings.GasenjeRacunaraMreze == 1 && !stopped;
    const bool localShutdown = settings.NacinBackupa == 0 && settings.GasitiRacunar == 1 && !stopped;
    // This computer waits for the network-shutdown timer when both are due: going down first would cut the network
    // shutdown off.
    if (localShutdown && !networkShutdown) {
        if (Result started = platform.power.shutDownThisComputer(); !started)
            report.warnings.push_back("Racunar nije ugasen: " + started.error());
    }
    host.runFinished(report);
    if (settings.NacinBackupa == 2 && !stopped)
        platform.messages.showMessage(completionMessage(report));
    if (networkShutdown)
        host.armNetworkShutdown(localShutdown);
}

#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// The end of a folder or archive run, in order: pointer back to normal; in timed mode with GasitiRacunar = 1
/// the shutdown of this computer (after the network computers when the network-shutdown timer is to run as well); the
/// report to the window; in mode by hand the completion message (naming what failed); the network-shutdown timer when
/// GasenjeRacunaraMreze = 1. A shutdown that cannot be started is added to the report's warnings. A run stopped
/// for the program's end (RunCancellation) shuts nothing down and shows no message.
void finishFolderRun(RunReport& report, const BackupSettings& settings, BackupHost& host,
                     const PlatformServices& platform);

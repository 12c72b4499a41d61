#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// One copy-mode backup of every folder of the folder list as it is when the run starts (and with the settings as they
/// are then; later edits are for the next run): for each entry, in order, the backup
/// folder of exactly Starost days ago is deleted (Brisati = 1, Starost > 0), today's backup folder
/// BackupDir/dd_MM_yyyy_<last name>_backup is created when missing and the folder's contents are copied
/// into it, merging with an earlier run of the same day. An empty entry ends the list. A folder that is the
/// destination or lies inside it is not backed up (RunTexts::insideDestination); the destination lying inside a
/// folder is left out of its backup. One source that
/// fails does not stop the others; every failure is in the returned report. The end steps follow
/// (finishFolderRun). Refused, with nothing done, while another run is in progress.
RunReport RunFolderBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);

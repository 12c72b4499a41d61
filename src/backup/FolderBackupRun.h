#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// One copy-mode backup of every folder of the live folder list: for each entry, in order, the backup
/// folder of exactly Starost days ago is deleted (Brisati = 1, Starost > 0), today's backup folder
/// BackupDir/dd_MM_yyyy_<last name>_backup is created when missing and the folder's contents are copied
/// into it, merging with an earlier run of the same day. An empty entry ends the list. One source that
/// fails does not stop the others; every failure is in the returned report. The end steps follow
/// (finishFolderRun). Refused, with nothing done, while another run is in progress.
RunReport RunFolderBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);

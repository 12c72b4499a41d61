#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;
class RegisterReader;

/// The database backup: the files of the working folder and, where "tezga.mdb" lies there, the database
/// folder of every cash register it lists, into today's root BackupDir/dd_MM_yyyy<AppFolderSuffix>_backup
/// ("server" and "kasa_<label>" below it when "tezga.mdb" is present). Only files are copied, never
/// subfolders. Drives the status page (the status lines, the lamp, the button by hand, the daily timer), shows the
/// window at the end and, in mode by hand, the completion message. Never throws; everything that was not backed up is
/// in the report's `failed` (unreachable registers with their label as source), everything else that went wrong in its
/// `warnings`. Refused, untouched, while another run is in progress.
RunReport RunDatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);

/// The same, with the registers read by `reader` instead of by the program kopirko-kase in the program folder
/// (HelperRegisterReader).
RunReport RunDatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform,
                            const RegisterReader& reader);

#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// The database backup: the files of the working folder and, where "tezga.mdb" lies there, the database
/// folder of every cash register it lists.
RunReport RunDatabaseBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);

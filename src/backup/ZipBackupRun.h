#pragma once

#include "RunReport.h"

struct BackupSettings;
class BackupHost;
struct PlatformServices;

/// The compressed twin of RunFolderBackup: one ZIP archive per folder of the live folder list.
RunReport RunZipBackup(const BackupSettings& settings, BackupHost& host, const PlatformServices& platform);

#include "ZipBackupRun.h"

// Placeholder until compressed backups are built: does nothing and reports nothing.
RunReport RunZipBackup(const BackupSettings&, BackupHost&, const PlatformServices&)
{
    return RunReport{};
}

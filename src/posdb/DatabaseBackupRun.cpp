#include "DatabaseBackupRun.h"

// Placeholder until the database backup is built: does nothing and reports nothing.
RunReport RunDatabaseBackup(const BackupSettings&, BackupHost&, const PlatformServices&)
{
    return RunReport{};
}

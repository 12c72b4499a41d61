#pragma once

#include "DatabaseBackupRun.h"
#include "FolderBackupRun.h"
#include "ZipBackupRun.h"

#include <functional>

class FolderPicker;
class NotificationIcon;

/// What the main window needs besides the program-wide values: the folder dialog, the notification icon and
/// the three runs it starts (the real ones unless a test watches them).
struct WindowServices
{
    using RunFunction = RunReport(const BackupSettings&, BackupHost&, const PlatformServices&);
    using Run = std::function<RunFunction>;

    FolderPicker& folderPicker;
    NotificationIcon& trayIcon;
    Run folderRun = static_cast<RunFunction*>(RunFolderBackup);
    Run zipRun = static_cast<RunFunction*>(RunZipBackup);
    Run databaseRun = static_cast<RunFunction*>(RunDatabaseBackup);
};

#pragma once

#include <chrono>
#include <string>

/// The names of backup folders and archives.
namespace BackupNames {

/// "_" + the part of `source` after its last separator: "/data/Docs" gives "_Docs", "/data/" gives "_".
/// Nothing is cut when `source` has no separator; callers treat such an entry as unnamable. On Windows a
/// drive's root goes by its letter ("D:" gives "_D") and a share's root by the share ("\server\Docs" gives
/// "_Docs").
std::string SourceFolderSuffix(const std::string& source);

/// `backupDir` + separator + "dd_MM_yyyy" + SourceFolderSuffix(source) + "_backup".
std::string backupFolder(const std::string& backupDir, std::chrono::year_month_day date, const std::string& source);

/// `backupDir` + separator + "dd_MM_yyyy" + `appFolderSuffix` + "_backup": the database backup's root.
std::string databaseBackupRoot(const std::string& backupDir, std::chrono::year_month_day date,
                               const std::string& appFolderSuffix);

} // namespace BackupNames

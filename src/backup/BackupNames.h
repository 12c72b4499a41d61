#pragma once

#include <chrono>
#include <optional>
#include <string>

/// The names of backup folders and archives.
namespace BackupNames {

/// "_" + the part of `source` after its last separator: "/data/Docs" gives "_Docs", "/data/" gives "_".
/// Nothing is cut when `source` has no separator; callers treat such an entry as unnamable. On Windows a
/// drive's root goes by its letter ("D:" gives "_D") and a share's root by the share ("\server\Docs" gives
/// "_Docs").
std::string SourceFolderSuffix(const std::string& source);

/// Why the last name of `source` cannot become part of a backup's name, in the window's language; nothing when it
/// can. The name SourceFolderSuffix() takes, and the one the archive's top folder gets (the last name before any
/// trailing separators), must each pass this platform's rules for a name (FileNames::problem): a list entry is read
/// from a file anyone may have written, and on Windows "C:\Data\Docs." names the folder Docs while its backup would be
/// called after "Docs.", "CON" cannot be unpacked from an archive, and an archive's ".." would lead out of the
/// folder it is unpacked into. An empty last name ("D:\Data\") can: its suffix is "_" alone.
std::optional<std::string> sourceNameProblem(const std::string& source);

/// `backupDir` + separator + "dd_MM_yyyy" + SourceFolderSuffix(source) + "_backup".
std::string backupFolder(const std::string& backupDir, std::chrono::year_month_day date, const std::string& source);

/// `backupDir` + separator + "dd_MM_yyyy" + `appFolderSuffix` + "_backup": the database backup's root.
std::string databaseBackupRoot(const std::string& backupDir, std::chrono::year_month_day date,
                               const std::string& appFolderSuffix);

} // namespace BackupNames

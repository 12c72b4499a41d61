#include "BackupNames.h"

#include "LocalDateTime.h"
#include "Paths.h"

namespace BackupNames {

std::string SourceFolderSuffix(const std::string& source)
{
    // A whole drive or share has no last name of its own: it goes by its drive letter or share name.
    const std::string root = Paths::rootName(source);
    return "_" + (root.empty() ? Paths::lastComponent(source) : root);
}

std::string backupFolder(const std::string& backupDir, std::chrono::year_month_day date, const std::string& source)
{
    return backupDir + Paths::separator + formatDateStamp(date) + SourceFolderSuffix(source) + "_backup";
}

std::string databaseBackupRoot(const std::string& backupDir, std::chrono::year_month_day date,
                               const std::string& appFolderSuffix)
{
    return backupDir + Paths::separator + formatDateStamp(date) + appFolderSuffix + "_backup";
}

} // namespace BackupNames

#include "BackupNames.h"

#include "FileNames.h"
#include "LocalDateTime.h"
#include "Paths.h"
#include "ZipFolder.h"

namespace BackupNames {

std::string SourceFolderSuffix(const std::string& source)
{
    // A whole drive or share has no last name of its own: it goes by its drive letter or share name.
    const std::string root = Paths::rootName(source);
    return "_" + (root.empty() ? Paths::lastComponent(source) : root);
}

std::optional<std::string> sourceNameProblem(const std::string& source)
{
    for (const std::string& name : {SourceFolderSuffix(source).substr(1), archiveTopName(source)}) {
        if (name.empty())
            continue;
        if (const auto problem = FileNames::problem(name))
            return "ime \"" + name + "\" " + *problem + " pa ne moze biti dio imena rezervne kopije";
    }
    return std::nullopt;
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

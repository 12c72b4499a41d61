#include "RestoreTargets.h"

#include "WindowsNames.h"
#include "ZipFolder.h"

#include <map>

std::vector<std::string> foldersOfBackup(const std::string& backupName, bool archive,
                                         const std::vector<std::string>& listedFolders)
{
    std::vector<std::string> found;
    std::map<std::string, int> seen; // folders of each last name so far, counted as the archive run counts them
    for (const std::string& folder : listedFolders) {
        const std::string name = archiveTopName(folder);
        const int number = ++seen[WindowsNames::comparisonKey(name)];
        const std::string stored = archive && number > 1 ? name + " (" + std::to_string(number) + ")" : name;
        if (WindowsNames::sameName(stored, backupName))
            found.push_back(folder);
    }
    return found;
}

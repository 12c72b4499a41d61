#pragma once

#include <string>
#include <vector>

/// The folders of the folder list that a backup of the name `backupName` ("Dokumenti", "Dokumenti (2)") belongs to,
/// with names compared as Windows compares them, as the runs do. In an archive (`archive`) the first folder of a
/// last name is stored under that name and the k-th under "<name> (k)"; a backup folder is named after the last name
/// alone, so every listed folder of that name may be its own. More than one, or none, and the user chooses.
std::vector<std::string> foldersOfBackup(const std::string& backupName, bool archive,
                                         const std::vector<std::string>& listedFolders);

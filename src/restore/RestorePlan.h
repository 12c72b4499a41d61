#pragma once

#include "BackupTree.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

/// What restoring a file would do at its target.
enum class RestoreCase {
    New,      ///< nothing of that name is there: the file is written
    Same,     ///< a file of the same size and modification time is there: it is left alone
    Different ///< another file is there: it is kept and the restored one written beside it, or, when the user said
              ///< so, it is replaced
};

/// One file of a restore.
struct PlannedFile
{
    BackupItem item;
    std::string target;       ///< where the file belongs
    std::string besideTarget; ///< Different: where it goes when both are kept, "name (06.12.2026).ext"
    RestoreCase what = RestoreCase::New;
};

/// A folder of a backup folder that is not at its target at all: it is copied whole, with what it holds.
struct WholeFolder
{
    std::string source; ///< the folder in the backup
    std::string target;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

/// Where the selected items are restored.
enum class RestorePlacement {
    OriginalPlace, ///< into the folder whose backup it is, at the path it has in the backup
    IntoFolder     ///< each selected item straight into the chosen folder, under its own name
};

/// What a restore will do, worked out before anything is written, so that the user can be asked.
struct RestorePlan
{
    std::vector<std::string> folders; ///< folders to make, parents first
    std::vector<PlannedFile> files;
    /// Folders of a backup folder missing at their targets: copied whole, their files New, none of them in `files`.
    std::vector<WholeFolder> wholeFolders;
    std::vector<FileFailure> problems; ///< what cannot be restored, and why
    std::uint64_t newFiles = 0;
    std::uint64_t sameFiles = 0;
    std::uint64_t differentFiles = 0;
    std::uint64_t bytes = 0; ///< of the files to be written (New and Different)
};

/// The name a restored file gets beside a different file of its name: the backup's day before the extension,
/// "stanje (06.12.2026).txt", and for the `attempt`-th such name "stanje (06.12.2026) (2).txt" (the stem shortened
/// where the whole name would be too long for this platform).
std::string besideName(const std::string& name, std::chrono::year_month_day day, int attempt = 1);

/// Plans restoring the items `selected` (paths within the backup of `tree`, files or whole folders; "" is the whole
/// backup) into `targetFolder`. Each file found at its target is compared by size and modification time, as precise
/// as the backup keeps it. Reads the backup and the target; writes nothing.
RestorePlan planRestore(const FileSystem& fileSystem, const BackupTree& tree, const std::vector<std::string>& selected,
                        const std::string& targetFolder, RestorePlacement placement);

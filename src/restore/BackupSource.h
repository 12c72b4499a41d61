#pragma once

#include "ArchiveIndex.h"
#include "BackupDays.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FetchedArchive;
class StoredFolderBackup;

/// One backup of a day, by the name it carries: a dated folder, or one top folder of a dated archive (an archive
/// shared by folders of one name holds "Dokumenti" and "Dokumenti (2)").
struct BackupSource
{
    std::string name;  ///< "Racuni", "Dokumenti (2)"
    std::string place; ///< the backup folder, or the archive
    std::string top;   ///< archives: the top folder in the archive whose contents are the backup ("" when they
                       ///< sit at the top of the archive)
    std::shared_ptr<const ArchiveIndex> archive; ///< archives: its list; nullptr for a folder
    std::chrono::year_month_day date;
    /// A copy-mode backup in the store away from the shop; nullptr for one on the disk.
    std::shared_ptr<const StoredFolderBackup> stored = nullptr;
    /// An archive fetched from the store into the temporary file `place`, removed with the last holder.
    std::shared_ptr<const FetchedArchive> fetched = nullptr;

    /// Whether the backup is on the disk as a folder, which a restore copies from.
    bool isLocalFolder() const { return !archive && !stored; }
};

/// The backups of a day, and the places of the day that could not be read.
struct DayBackups
{
    std::vector<BackupSource> sources; ///< in the order of the day's places, an archive's in its own order
    std::vector<FileFailure> unreadable;
    bool stopped = false; ///< the reading was stopped: the places after the last one named are not read
};

/// The file a day's archive is read from: the archive itself, or a copy of it fetched from the store.
struct ArchiveAtHand
{
    std::string path;
    std::string name; ///< the archive as the user knows it, for the reason of a failure
    std::shared_ptr<const FetchedArchive> fetched = nullptr; ///< the fetched copy, removed with its last holder
};

/// The backups of `day`, place by place until `found.stopped`: a dated folder is handed to `addFolder` (with the
/// name it carries), which adds its backup to `found` or names why not; a dated archive is read from the file
/// `archiveAtHand` gives (nothing: it named why not) and gives one backup per top folder.
DayBackups backupsOfPlaces(
    const FileSystem& fileSystem, const BackupDay& day,
    const std::function<void(DayBackups& found, const std::string& place, const std::string& name)>& addFolder,
    const std::function<std::optional<ArchiveAtHand>(DayBackups& found, const std::string& place)>& archiveAtHand);

/// Adds the backups of the archive `place` (read into `index`) to `found`: one per top folder, or one named `name`
/// when files lie at the top of the archive.
void addArchiveBackups(DayBackups& found, const std::string& name, const std::string& place,
                       const std::shared_ptr<const ArchiveIndex>& index, std::chrono::year_month_day date);

/// The backups of `day`: each dated folder is one, named as its folder name says; each archive is read from its
/// central directory and gives one per top folder.
DayBackups backupsOfDay(const FileSystem& fileSystem, const BackupDay& day);

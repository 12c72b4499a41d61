#pragma once

#include "FileSystem.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

/// What the name of a backup in the destination says: "dd_MM_yyyy_<name>_backup", a folder, or the same with
/// ".zip", an archive.
struct DatedBackupName
{
    std::chrono::year_month_day date;
    std::string name; ///< the part between the date and "_backup": the last name of the folder backed up
    bool archive = false;
};

/// The date and name in `entryName` (a last component); nothing for any other name, a day the calendar does not have
/// included.
std::optional<DatedBackupName> parseDatedBackupName(const std::string& entryName);

/// One day that has backups in the destination.
struct BackupDay
{
    std::chrono::year_month_day date;
    std::vector<std::string> places; ///< full paths of the day's backup folders and archives, sorted by name
    /// The program knows that no run of that day backed everything up whole (see listBackupDays).
    bool notWhole = false;
    /// The day is in the store away from the shop: `places` are the keys of its backups.
    bool inStore = false;
};

/// The days with backups in the destination, and why they could not all be listed.
struct BackupDayList
{
    std::vector<BackupDay> days; ///< newest first
    std::string error;           ///< the destination could not be read, or not whole; `days` holds what was read
};

/// The days of the dated backup folders and archives directly in `destination` (both modes, the database backup's
/// folder with them), newest first. `lastWholeDay` is the day of the latest run that backed everything up whole, as
/// the program recorded it: a later day is marked not whole. Nothing is marked when it is not known. Temporary files
/// of a run that is writing, and anything else in the destination, are not listed.
BackupDayList listBackupDays(const FileSystem& fileSystem, const std::string& destination,
                             std::optional<std::chrono::year_month_day> lastWholeDay);

#pragma once

#include "LocalDateTime.h"

#include <optional>
#include <string>

struct RunReport;

/// The warning that no whole backup has been made for too long, in every mode (by hand included). Checked at the
/// start and once an hour.
namespace BackupAgeWarning {

/// What the window shows about the age of the backups.
struct Status
{
    /// The tray icon shows the failure picture, its tip and a message say `line`, and a mail goes out (when the
    /// mail settings ask for it) as the warning starts.
    bool overdue = false;
    /// Replaces the first status line of the page "Backup" when not empty: the warning, or, when no whole backup
    /// is known, neverMade.
    std::string line;
};

/// The first line of a program that has never made a whole backup.
inline constexpr const char* neverMade = "Potpuna rezervna kopija jos nije izradjena";

/// The status at `now`. `lastWhole`: the end of the latest whole backup, when known; `watchedSince`: since when
/// the program has been waiting for its first one (BackupRecords::watchedSince), which stands for it when none is
/// known. Overdue when more than `warningDays` days (of 24 hours) have passed since; never with `warningDays` 0,
/// nor when the moment lies ahead of `now` (the clock was set back). The warning's line: "Posljednja potpuna
/// rezervna kopija je od 03.12.2026".
Status check(const LocalDateTime& now, int warningDays, const std::optional<LocalDateTime>& lastWhole,
             const LocalDateTime& watchedSince);

/// True when `report` counts as a whole backup: the run was not refused and every source was backed up whole
/// (warnings about old backups not deleted do not count against it).
bool isWhole(const RunReport& report);

} // namespace BackupAgeWarning

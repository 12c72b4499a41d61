#pragma once

#include "LocalDateTime.h"
#include "Result.h"

#include <optional>

class SettingsStore;

/// How the program watches over the backups themselves: whether a missed daily run is caught up, and after how
/// many days without a whole backup it warns.
struct WatchSettings
{
    bool catchUp = true; ///< "Nadoknaditi propustenu izradu rezervne kopije"
    int warningDays = 3; ///< warn when the last whole backup is older than this many days; 0: never warn
};

/// The watch settings (section "BACKUP", keys "Nadoknaditi" and "UpozorenjeDana") and what the program remembers
/// about its backups (section "EVIDENCIJA" of the same KOPIRKO.ini: "ZakazanaKopija", the start of the latest
/// timed run; "PotpunaKopija", the end of the latest run that backed everything up whole; "PracenjeOd", when the
/// program began to wait for its first whole backup). Moments are written "yyyy-MM-dd HH:mm:ss", each write
/// replacing the file whole as every setting does. A missing or damaged value is read as missing (or, for a
/// setting, as its default): it never stops the program.
class BackupRecords
{
public:
    explicit BackupRecords(SettingsStore& store) : m_store(store) {}

    /// The watch settings; a missing, negative or unreadable value gives its default.
    WatchSettings loadWatchSettings() const;
    /// Saves both keys; a failure says which could not be written and why.
    Result saveWatchSettings(const WatchSettings& settings);

    std::optional<LocalDateTime> lastTimedRun() const;
    /// To be called when a timed run (at the set time, or one that catches a missed one up) has ended, with the
    /// moment it started: a later start of the program then knows that the due time before it had its run.
    Result recordTimedRun(const LocalDateTime& started);

    std::optional<LocalDateTime> lastWholeBackup() const;
    /// To be called when a run, in any mode, has ended with every source backed up whole.
    Result recordWholeBackup(const LocalDateTime& ended);

    /// Since when the program has been waiting for a whole backup when none is recorded: the recorded moment, or
    /// else `now`, which is recorded (a write that fails is not repeated here; `now` is given back all the same).
    LocalDateTime watchedSince(const LocalDateTime& now);

private:
    std::optional<LocalDateTime> moment(const char* key) const;
    Result recordMoment(const char* key, const LocalDateTime& moment);

    SettingsStore& m_store;
};

#pragma once

#include "LocalDateTime.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct BackupSettings;

/// The daily timed backup, decided tick by tick (the window's daily timer ticks once a second): a tick starts the timed
/// run when the clock's "HH:mm" equals VrijemeBackupa character for character and that minute comes after the minute of
/// the latest timed run. So a run that ends within its minute does not start again, a clock set back over an
/// earlier run gives no second one, and each time of day runs once a day; a new time saved later the same day
/// runs when it comes (saving re-arms the schedule). Only the runs of this program's life are remembered.
class DailySchedule
{
public:
    enum class TickAction {
        Wait,    ///< not the configured minute, that minute already had its run, or another run in progress
        StartRun ///< start the timed run now; it is already counted
    };

    /// One tick at `now`. `runInProgress`: another run holds the program's run slot; the tick then waits, so a
    /// later tick of the same minute can still start the run.
    TickAction tick(const LocalDateTime& now, const std::string& VrijemeBackupa, bool runInProgress);

    /// The day the timed run at VrijemeBackupa is due, seen at `now`: today while that minute is ahead (or is
    /// now and has not had its run), else the first day after whose minute comes after the latest run. Nothing
    /// for a time the clock never shows.
    std::optional<std::chrono::year_month_day> nextRunDate(const LocalDateTime& now,
                                                           const std::string& VrijemeBackupa) const;

    /// True when the daily timer is to tick again after a timed run: the program is (still) in timed mode.
    static bool rearmAfterRun(const BackupSettings& settings);

    /// True for "HH:mm" with HH 00..23 and mm 00..59, two digits each: a time the clock can ever show.
    static bool isValidTime(const std::string& time);

private:
    /// Minutes since the epoch of the local calendar: `date` at `hour`:`minute`.
    static std::int64_t minuteOf(std::chrono::year_month_day date, int hour, int minute);

    std::optional<std::int64_t> m_lastRunMinute;
};

#pragma once

#include "LocalDateTime.h"

#include <chrono>
#include <set>
#include <string>

struct BackupSettings;

/// The daily timed backup, decided tick by tick (Timer1 ticks once a second): a tick starts the timed run when
/// the clock's "HH:mm" equals VrijemeBackupa character for character and the clock's calendar day has not had
/// its timed run yet. So a run that ends within the configured minute does not start again, a clock set back
/// over an earlier run does not give that day a second one, and the next day runs again at the same minute.
/// Only the days of this program's life are remembered.
class DailySchedule
{
public:
    enum class TickAction {
        Wait,    ///< not the configured minute, today's timed run already started, or another run in progress
        StartRun ///< start the timed run now; the day is already counted as run
    };

    /// One tick at `now`. `runInProgress`: another run holds the program's run slot; the tick then waits and
    /// the day stays open, so a later tick of the same minute can still start the run.
    TickAction tick(const LocalDateTime& now, const std::string& VrijemeBackupa, bool runInProgress);

    /// True when the timed run of `date` has started.
    bool hasRunOn(std::chrono::year_month_day date) const;

    /// True when Timer1 is to tick again after a timed run: the program is (still) in timed mode.
    static bool rearmAfterRun(const BackupSettings& settings);

    /// True for "HH:mm" with HH 00..23 and mm 00..59, two digits each: a time the clock can ever show.
    static bool isValidTime(const std::string& time);

private:
    std::set<std::chrono::sys_days> m_daysRun;
};

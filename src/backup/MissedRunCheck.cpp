#include "MissedRunCheck.h"

#include "BackupRecords.h"
#include "BackupSettings.h"

bool MissedRunCheck::applies(const BackupSettings& settings, const WatchSettings& watch)
{
    return settings.NacinBackupa == 0 && watch.catchUp && parseHourMinute(settings.VrijemeBackupa).has_value();
}

std::optional<LocalDateTime> MissedRunCheck::missedDueTime(const LocalDateTime& now, const std::string& VrijemeBackupa,
                                                           const std::optional<LocalDateTime>& lastTimedRun)
{
    const auto time = parseHourMinute(VrijemeBackupa);
    if (!time)
        return std::nullopt;
    LocalDateTime due{now.date, time->first, time->second, 0};
    if (secondsOf(due) > secondsOf(now))
        due.date = addDays(now.date, -1);
    if (secondsOf(now) < secondsOf(due) + 60)
        return std::nullopt;
    if (lastTimedRun && secondsOf(*lastTimedRun) >= secondsOf(due))
        return std::nullopt;
    return due;
}

bool MissedRunCheck::clockJumped(const LocalDateTime& previous, const LocalDateTime& now)
{
    return secondsOf(now) - secondsOf(previous) > jumpSeconds;
}

std::string MissedRunCheck::catchUpLine(const LocalDateTime& due)
{
    return "Propustena izrada rezervne kopije (" + formatDateDots(due.date) + " u " + formatHourMinute(due) +
           ") se nadoknadjuje";
}

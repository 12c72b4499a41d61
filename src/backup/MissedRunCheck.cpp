#include "MissedRunCheck.h"

#include "BackupRecords.h"
#include "BackupSettings.h"

namespace {

/// "HH:mm" as hour and minute; nothing for a time the clock never shows.
std::optional<std::pair<int, int>> hourAndMinute(const std::string& time)
{
    auto digit = [&](size_t i) { return time[i] >= '0' && time[i] <= '9'; };
    if (time.size() != 5 || time[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4))
        return std::nullopt;
    const int hour = (time[0] - '0') * 10 + (time[1] - '0');
    const int minute = (time[3] - '0') * 10 + (time[4] - '0');
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return std::pair{hour, minute};
}

} // namespace

bool MissedRunCheck::applies(const BackupSettings& settings, const WatchSettings& watch)
{
    return settings.NacinBackupa == 0 && watch.catchUp && hourAndMinute(settings.VrijemeBackupa).has_value();
}

std::optional<LocalDateTime> MissedRunCheck::missedDueTime(const LocalDateTime& now, const std::string& VrijemeBackupa,
                                                           const std::optional<LocalDateTime>& lastTimedRun)
{
    const auto time = hourAndMinute(VrijemeBackupa);
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

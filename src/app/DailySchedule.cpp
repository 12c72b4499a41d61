#include "DailySchedule.h"

#include "BackupSettings.h"

DailySchedule::TickAction DailySchedule::tick(const LocalDateTime& now, const std::string& VrijemeBackupa,
                                              bool runInProgress)
{
    if (formatHourMinute(now) != VrijemeBackupa)
        return TickAction::Wait;
    if (hasRunOn(now.date) || runInProgress)
        return TickAction::Wait;
    m_daysRun.insert(std::chrono::sys_days{now.date});
    return TickAction::StartRun;
}

bool DailySchedule::hasRunOn(std::chrono::year_month_day date) const
{
    return m_daysRun.count(std::chrono::sys_days{date}) != 0;
}

bool DailySchedule::rearmAfterRun(const BackupSettings& settings)
{
    return settings.NacinBackupa == 0;
}

bool DailySchedule::isValidTime(const std::string& time)
{
    auto digit = [&](size_t i) { return time[i] >= '0' && time[i] <= '9'; };
    if (time.size() != 5 || time[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4))
        return false;
    const int hour = (time[0] - '0') * 10 + (time[1] - '0');
    const int minute = (time[3] - '0') * 10 + (time[4] - '0');
    return hour <= 23 && minute <= 59;
}

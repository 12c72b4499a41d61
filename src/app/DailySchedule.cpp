#include "DailySchedule.h"

#include "BackupSettings.h"

DailySchedule::TickAction DailySchedule::tick(const LocalDateTime& now, const std::string& VrijemeBackupa,
                                              bool runInProgress)
{
    if (formatHourMinute(now) != VrijemeBackupa || runInProgress)
        return TickAction::Wait;
    const std::int64_t minute = minuteOf(now.date, now.hour, now.minute);
    if (m_lastRunMinute && minute <= *m_lastRunMinute)
        return TickAction::Wait;
    m_lastRunMinute = minute;
    return TickAction::StartRun;
}

std::optional<std::chrono::year_month_day> DailySchedule::nextRunDate(const LocalDateTime& now,
                                                                      const std::string& VrijemeBackupa) const
{
    const auto time = parseHourMinute(VrijemeBackupa);
    if (!time)
        return std::nullopt;
    const auto [hour, minute] = *time;
    std::chrono::year_month_day day = formatHourMinute(now) <= VrijemeBackupa ? now.date : addDays(now.date, 1);
    while (m_lastRunMinute && minuteOf(day, hour, minute) <= *m_lastRunMinute)
        day = addDays(day, 1);
    return day;
}

std::int64_t DailySchedule::minuteOf(std::chrono::year_month_day date, int hour, int minute)
{
    return std::chrono::sys_days{date}.time_since_epoch().count() * 24 * 60 + hour * 60 + minute;
}

bool DailySchedule::rearmAfterRun(const BackupSettings& settings)
{
    return settings.NacinBackupa == 0;
}

bool DailySchedule::isValidTime(const std::string& time)
{
    return parseHourMinute(time).has_value();
}

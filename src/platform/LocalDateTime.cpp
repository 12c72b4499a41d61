#include "LocalDateTime.h"

#include <cstdio>

std::chrono::year_month_day addDays(std::chrono::year_month_day date, int days)
{
    return std::chrono::year_month_day{std::chrono::sys_days{date} + std::chrono::days{days}};
}

static std::string formatDate(std::chrono::year_month_day date, char separator)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u%c%02u%c%04d", static_cast<unsigned>(date.day()), separator,
                  static_cast<unsigned>(date.month()), separator, static_cast<int>(date.year()));
    return buffer;
}

std::string formatDateStamp(std::chrono::year_month_day date)
{
    return formatDate(date, '_');
}

std::string formatDateDots(std::chrono::year_month_day date)
{
    return formatDate(date, '.');
}

std::string formatHourMinute(const LocalDateTime& moment)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", moment.hour, moment.minute);
    return buffer;
}

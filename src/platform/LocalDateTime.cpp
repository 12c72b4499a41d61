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

std::optional<std::pair<int, int>> parseHourMinute(const std::string& time)
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

std::string formatRecordedMoment(const LocalDateTime& moment)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(moment.date.year()),
                  static_cast<unsigned>(moment.date.month()), static_cast<unsigned>(moment.date.day()), moment.hour,
                  moment.minute, moment.second);
    return buffer;
}

std::optional<LocalDateTime> parseRecordedMoment(const std::string& text)
{
    static constexpr char pattern[] = "dddd-dd-dd dd:dd:dd";
    if (text.size() != sizeof pattern - 1)
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return std::nullopt;
    }
    auto number = [&](size_t at, size_t length) {
        int value = 0;
        for (size_t i = at; i < at + length; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const std::chrono::year_month_day date{std::chrono::year{number(0, 4)},
                                           std::chrono::month{static_cast<unsigned>(number(5, 2))},
                                           std::chrono::day{static_cast<unsigned>(number(8, 2))}};
    LocalDateTime moment{date, number(11, 2), number(14, 2), number(17, 2)};
    if (!date.ok() || moment.hour > 23 || moment.minute > 59 || moment.second > 59)
        return std::nullopt;
    return moment;
}

std::int64_t secondsOf(const LocalDateTime& moment)
{
    const std::int64_t days = std::chrono::sys_days{moment.date}.time_since_epoch().count();
    return days * 86400 + moment.hour * 3600 + moment.minute * 60 + moment.second;
}

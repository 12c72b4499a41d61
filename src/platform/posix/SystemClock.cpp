#include "SystemClock.h"

#include <ctime>

LocalDateTime SystemClock::now() const
{
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    LocalDateTime moment;
    moment.date = std::chrono::year_month_day{std::chrono::year{local.tm_year + 1900},
                                              std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                              std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    moment.hour = local.tm_hour;
    moment.minute = local.tm_min;
    moment.second = local.tm_sec;
    return moment;
}

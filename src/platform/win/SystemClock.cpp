#include "SystemClock.h"

#include <windows.h>

LocalDateTime SystemClock::now() const
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    LocalDateTime moment;
    moment.date = std::chrono::year_month_day{std::chrono::year{local.wYear}, std::chrono::month{local.wMonth},
                                              std::chrono::day{local.wDay}};
    moment.hour = local.wHour;
    moment.minute = local.wMinute;
    moment.second = local.wSecond;
    return moment;
}

#pragma once

#include <chrono>
#include <string>

/// A moment on the local calendar, as the clock of this computer shows it.
struct LocalDateTime
{
    std::chrono::year_month_day date;
    int hour = 0;   ///< 0..23
    int minute = 0; ///< 0..59
    int second = 0; ///< 0..59
};

/// The date `days` calendar days after `date` (negative: before).
std::chrono::year_month_day addDays(std::chrono::year_month_day date, int days);
/// "dd_MM_yyyy": the stamp in backup folder and archive names.
std::string formatDateStamp(std::chrono::year_month_day date);
/// "dd.MM.yyyy": the date in the status lines.
std::string formatDateDots(std::chrono::year_month_day date);
/// "HH:mm", 24-hour, two digits each.
std::string formatHourMinute(const LocalDateTime& moment);

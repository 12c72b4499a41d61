#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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
/// The hour and minute of "HH:mm" (two digits each, HH 00..23, mm 00..59): a time the clock can ever show; nothing
/// for any other text.
std::optional<std::pair<int, int>> parseHourMinute(const std::string& time);
/// "yyyy-MM-dd HH:mm:ss": a moment as the program records it in its files, one reading for every locale.
std::string formatRecordedMoment(const LocalDateTime& moment);
/// The moment written by formatRecordedMoment; nothing for any other text (another form, a day the calendar does
/// not have, an hour past 23, ...), so that a damaged record is never taken for a moment.
std::optional<LocalDateTime> parseRecordedMoment(const std::string& text);
/// Seconds since the epoch of the local calendar: a count to compare and subtract moments with (a day is 86,400
/// seconds; the local calendar has no time zones).
std::int64_t secondsOf(const LocalDateTime& moment);

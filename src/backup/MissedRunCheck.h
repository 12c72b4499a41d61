#pragma once

#include "LocalDateTime.h"

#include <optional>
#include <string>

struct BackupSettings;
struct WatchSettings;

/// Whether a daily run was missed while the program was not running (the computer was off) or not ticking (the
/// computer slept), and so is to be caught up once. Asked when the program starts and when the clock has jumped
/// forward (clockJumped).
namespace MissedRunCheck {

/// A forward step of the clock between two ticks longer than this counts as a jump.
inline constexpr int jumpSeconds = 5 * 60;

/// True in daily mode with a valid time and catching up on.
bool applies(const BackupSettings& settings, const WatchSettings& watch);

/// The due time that was missed, seen at `now`: the latest moment at VrijemeBackupa (today's, or yesterday's while
/// today's is still ahead) when its minute is over and no timed run started at or after it (`lastTimedRun`, as
/// recorded; with no record the due time counts as missed). Nothing when that run was made, while the due minute
/// itself lasts (the daily timer makes that run) and for a time the clock never shows. A record later than `now`
/// (the clock was set back) counts as made.
std::optional<LocalDateTime> missedDueTime(const LocalDateTime& now, const std::string& VrijemeBackupa,
                                           const std::optional<LocalDateTime>& lastTimedRun);

/// True when the clock went forward from `previous` to `now` by more than jumpSeconds (a computer that woke up
/// from sleep, a clock set forward); a clock set back is no jump.
bool clockJumped(const LocalDateTime& previous, const LocalDateTime& now);

/// The status line while a missed run is caught up: "Propustena izrada rezervne kopije (07.12.2026 u 20:00) se
/// nadoknadjuje".
std::string catchUpLine(const LocalDateTime& due);

} // namespace MissedRunCheck

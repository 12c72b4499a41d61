#pragma once

#include "LocalDateTime.h"

#include <chrono>
#include <string>

struct RunReport;

/// The status lines of the page "Backup" between runs: the latest run's result and the next timed run.
namespace StatusLineText {

/// First line after a folder or archive run that ended at `when`: "Rezervna kopija je izradjena 05.12.2026 u
/// 19:28" when it is whole, "... nije potpuna: pogledajte popis ispod" when a folder failed, and "Rezervna
/// kopija nije izradjena 05.12.2026 u 19:28: " + the cause when nothing was backed up.
std::string lastRun(const RunReport& report, const LocalDateTime& when);

/// Second line in timed mode: "Sledeća izrada rezervne kopije 06.12.2026 u 08:00".
std::string nextRun(std::chrono::year_month_day date, const std::string& VrijemeBackupa);

} // namespace StatusLineText

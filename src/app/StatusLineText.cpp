#include "StatusLineText.h"

#include "RunReport.h"

namespace StatusLineText {

std::string lastRun(const RunReport& report, const LocalDateTime& when)
{
    const std::string at = formatDateDots(when.date) + " u " + formatHourMinute(when);
    if (!report.runFailure.empty())
        return "Rezervna kopija nije izradjena " + at + ": " + report.runFailure;
    if (!report.failed.empty())
        return "Rezervna kopija izradjena " + at + " nije potpuna: pogledajte popis ispod";
    if (!report.warnings.empty())
        return "Rezervna kopija je izradjena " + at + " (napomene su na popisu ispod)";
    return "Rezervna kopija je izradjena " + at;
}

std::string nextRun(std::chrono::year_month_day date, const std::string& VrijemeBackupa)
{
    return "Sledeća izrada rezervne kopije " + formatDateDots(date) + " u " + VrijemeBackupa;
}

} // namespace StatusLineText

#include "BackupAgeWarning.h"

#include "RunReport.h"

BackupAgeWarning::Status BackupAgeWarning::check(const LocalDateTime& now, int warningDays,
                                                 const std::optional<LocalDateTime>& lastWhole,
                                                 const LocalDateTime& watchedSince)
{
    const LocalDateTime& since = lastWhole ? *lastWhole : watchedSince;
    Status status;
    status.overdue = warningDays > 0 && secondsOf(now) - secondsOf(since) > std::int64_t{warningDays} * 86400;
    if (!lastWhole)
        status.line = neverMade;
    else if (status.overdue)
        status.line = "Posljednja potpuna rezervna kopija je od " + formatDateDots(lastWhole->date);
    return status;
}

bool BackupAgeWarning::isWhole(const RunReport& report)
{
    return !report.refused && !report.hasFailures();
}

#include "RunReport.h"

std::vector<std::string> failureLines(const RunReport& report)
{
    std::vector<std::string> lines;
    for (const SourceFailure& failure : report.failed)
        lines.push_back(failure.reason.empty() ? failure.source : failure.source + ": " + failure.reason);
    for (const std::string& warning : report.warnings)
        lines.push_back(warning);
    return lines;
}

void reportRefusedEntries(RunReport& report, const std::vector<std::string>& refused)
{
    for (const std::string& entry : refused)
        report.failed.push_back({entry, "neispravan red u popisu fascikli (kontrolni znak), nije kopirano", {}});
}

std::string completionMessage(const RunReport& report)
{
    std::string message = report.runFailure.empty() ? RunTexts::completed : RunTexts::notMade;
    if (!report.runFailure.empty())
        message += "\r\n\r\n" + report.runFailure;
    if (!report.failed.empty()) {
        message += "\r\n\r\n";
        message += RunTexts::notBackedUpHeading;
        for (const SourceFailure& failure : report.failed)
            message += "\r\n" + (failure.reason.empty() ? failure.source : failure.source + ": " + failure.reason);
    }
    if (!report.warnings.empty()) {
        message += "\r\n";
        for (const std::string& warning : report.warnings)
            message += "\r\n" + warning;
    }
    return message;
}

std::string summariseFileFailures(const std::vector<FileFailure>& failures, const std::string& notDone)
{
    if (failures.size() == 1)
        return failures.front().reason;
    return std::to_string(failures.size()) + " datoteka ili fascikli " + notDone +
           " (prva: " + failures.front().reason + ")";
}

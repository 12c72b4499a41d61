#include "WinCommandRunner.h"

CommandOutcome WinCommandRunner::run(const std::string&, const std::vector<std::string>&, std::chrono::milliseconds)
{
    CommandOutcome outcome;
    outcome.error = "not written yet";
    return outcome;
}

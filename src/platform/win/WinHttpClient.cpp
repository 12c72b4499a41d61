#include "WinHttpClient.h"

WinHttpClient::WinHttpClient() : WinHttpClient(TimeLimits{}) {}

WinHttpClient::WinHttpClient(TimeLimits limits) : m_limits(limits) {}

DownloadOutcome WinHttpClient::download(const std::string&, const std::string&, const DownloadOptions&)
{
    DownloadOutcome outcome;
    outcome.result = Result::failure("not written yet");
    return outcome;
}

bool WinHttpClient::removeFromCache(const std::string&)
{
    return false;
}

#pragma once

#include "HttpClient.h"

/// HTTP through WinHTTP, with the system's proxy settings and certificate store. It keeps no cache, so every
/// download asks the server.
class WinHttpClient : public HttpClient
{
public:
    using TimeLimits = HttpTimeLimits;

    WinHttpClient();
    explicit WinHttpClient(TimeLimits limits);

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override;
    /// Nothing is ever cached: always false.
    bool removeFromCache(const std::string& url) override;

private:
    TimeLimits m_limits;
};

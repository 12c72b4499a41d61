#pragma once

#include "HttpClient.h"

#include <chrono>

/// HTTP through libcurl. It keeps no cache, so every download asks the server. A failure names the limit that ended
/// it: "no connection within N ms", "the transfer stood still for N s", "not complete within N ms".
class CurlHttpClient : public HttpClient
{
public:
    using TimeLimits = HttpTimeLimits;

    CurlHttpClient();
    explicit CurlHttpClient(TimeLimits limits);

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override;
    /// Nothing is ever cached: always false.
    bool removeFromCache(const std::string& url) override;

private:
    TimeLimits m_limits;
};

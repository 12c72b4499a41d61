#pragma once

#include "HttpClient.h"

#include <chrono>

/// HTTP through libcurl. It keeps no cache, so every download asks the server. Besides the caller's total
/// limit, a connection that is not made within `connectTimeLimit`, or a transfer that stands still for
/// `stallTimeLimit` (a server that accepts and never answers), fails the download.
class CurlHttpClient : public HttpClient
{
public:
    struct TimeLimits
    {
        std::chrono::milliseconds connect{10000};
        std::chrono::seconds stall{10};
    };

    CurlHttpClient();
    explicit CurlHttpClient(TimeLimits limits);

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override;
    /// Nothing is ever cached: always false.
    bool removeFromCache(const std::string& url) override;

private:
    TimeLimits m_limits;
};

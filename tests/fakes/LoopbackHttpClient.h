#pragma once

#include "SystemPlatform.h"

#include <string>
#include <vector>

/// The real HTTP client, held to this computer: an address not on http://127.0.0.1 is refused before anything
/// is sent. Short time limits, so that a test server that never answers costs a second. Its cache holds
/// `cachedCopies` copies in all (-1: it never runs dry).
class LoopbackHttpClient : public HttpClient
{
public:
    std::vector<std::string> calls; ///< "get URL" and "purge URL", in order
    int cachedCopies = 0;

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override
    {
        calls.push_back("get " + url);
        if (url.starts_with("http://127.0.0.1:") || url.starts_with("http://127.0.0.1/"))
            return m_client.download(url, destination, options);
        DownloadOutcome refused;
        refused.result = Result::failure("tests reach no other computer: " + url);
        return refused;
    }
    bool removeFromCache(const std::string& url) override
    {
        calls.push_back("purge " + url);
        if (cachedCopies == 0)
            return false;
        if (cachedCopies > 0)
            --cachedCopies;
        return true;
    }

private:
    SystemHttpClient m_client{HttpTimeLimits{std::chrono::milliseconds(2000), std::chrono::seconds(1)}};
};

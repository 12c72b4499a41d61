#pragma once

#include "CurlHttpClient.h"

#include <string>
#include <vector>

/// The real HTTP client, held to this computer: an address whose host is not 127.0.0.1, ::1 or localhost is
/// refused before anything is sent. Short time limits, so that a test server that never answers costs a
/// second. Records what was asked.
class LoopbackHttpClient : public HttpClient
{
public:
    std::vector<std::string> downloads;     ///< urls, in order
    std::vector<std::string> cacheRemovals; ///< urls, in order

    DownloadOutcome download(const std::string& url, const std::string& destination,
                             const DownloadOptions& options) override
    {
        downloads.push_back(url);
        if (!isLoopback(url)) {
            DownloadOutcome refused;
            refused.result = Result::failure("tests reach no other computer: " + url);
            return refused;
        }
        return m_client.download(url, destination, options);
    }
    bool removeFromCache(const std::string& url) override
    {
        cacheRemovals.push_back(url);
        return m_client.removeFromCache(url);
    }

    static bool isLoopback(const std::string& url)
    {
        const size_t scheme = url.find("://");
        if (scheme == std::string::npos)
            return false;
        const std::string rest = url.substr(scheme + 3);
        for (const char* host : {"127.0.0.1", "localhost", "[::1]"}) {
            const std::string name(host);
            if (rest.starts_with(name) &&
                (rest.size() == name.size() || rest[name.size()] == ':' || rest[name.size()] == '/'))
                return true;
        }
        return false;
    }

private:
    CurlHttpClient m_client{CurlHttpClient::TimeLimits{std::chrono::milliseconds(2000), std::chrono::seconds(1)}};
};

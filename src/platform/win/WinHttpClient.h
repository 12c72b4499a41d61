#pragma once

#include "HttpClient.h"

/// HTTP through WinHTTP, with the system's proxy settings (the automatic ones where Windows has them, else WinHTTP's
/// default proxy) and WinHTTP's own certificate checks against the system's store. It keeps no cache, so every
/// download asks the server. A failure names the limit that ended it: "no connection within N ms", "the transfer
/// stood still for N s", "not complete within N ms". DownloadedFileKind::Program is written as Data is: Windows runs
/// a file by its name, not by a permission of the file.
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

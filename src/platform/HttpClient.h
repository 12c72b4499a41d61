#pragma once

#include "Result.h"

#include <chrono>
#include <cstdint>
#include <string>

/// Limits of the transport that hold for every download, besides each download's own total limit: a connection
/// that is not made within `connect`, or a transfer that stands still for `stall` (a server that accepts and never
/// answers), fails the download.
struct HttpTimeLimits
{
    std::chrono::milliseconds connect{10000};
    std::chrono::seconds stall{10};
};

/// What a downloaded file is for.
enum class DownloadedFileKind {
    Data,   ///< read by the program
    Program ///< started by the program: written so that it can be run
};

/// Limits of one download.
struct DownloadOptions
{
    std::uint64_t maxBytes = 0;                 ///< a longer body fails the download
    std::chrono::milliseconds totalTimeLimit{}; ///< from the request to the last byte
    DownloadedFileKind kind = DownloadedFileKind::Data;
};

/// How a download went.
struct DownloadOutcome
{
    Result result = Result::failure("not downloaded"); ///< success only when the destination was replaced
    long status = 0;                                   ///< HTTP status of the last answer; 0 when none came
};

/// Fetches files over HTTP.
class HttpClient
{
public:
    virtual ~HttpClient() = default;

    /// GET `url` (http or https; redirects are followed) and, only when the answer is 200 and its whole body
    /// arrived within the limits, replace `destination` with the body byte for byte: the body goes to a
    /// temporary file in the destination's folder, which is renamed over the destination when complete. In
    /// every other case nothing is written and an existing destination stays as it was. A destination without
    /// a folder is taken from the working folder. Blocks until done.
    virtual DownloadOutcome download(const std::string& url, const std::string& destination,
                                     const DownloadOptions& options) = 0;

    /// Removes a stored copy of `url` from the client's cache; true when one was removed.
    virtual bool removeFromCache(const std::string& url) = 0;
};

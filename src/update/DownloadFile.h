#pragma once

#include "HttpClient.h"
#include "Result.h"

#include <string>

struct PlatformServices;

/// Fetches `url` (scheme included) and saves the body of a 200 answer to `destination` byte for byte,
/// replacing the file whole. Any other answer, a failed request, a time-out or a body over the limit writes
/// nothing and leaves an existing destination as it was. The user is told nothing; the result says what
/// happened for those who look.
Result DownloadFile(const PlatformServices& platform, const std::string& url, const std::string& destination,
                    const DownloadOptions& options);

/// Makes sure the next request for `url` reaches the server: lets pending events run and removes `url` from
/// the client's cache, for as long as there is a copy to remove, then waits a second.
void PurgeUrlCache(const PlatformServices& platform, const std::string& url);

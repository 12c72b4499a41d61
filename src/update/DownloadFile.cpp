#include "DownloadFile.h"

#include "Pause.h"
#include "PlatformServices.h"

#include <chrono>

namespace {

/// A cache that claims a removal every time would hold the start for ever; no real cache holds more copies.
constexpr int maxCacheRemovals = 100;

} // namespace

Result DownloadFile(const PlatformServices& platform, const std::string& url, const std::string& destination,
                    const DownloadOptions& options)
{
    return platform.http.download(url, destination, options).result;
}

void PurgeUrlCache(const PlatformServices& platform, const std::string& url)
{
    for (int removals = 0; removals < maxCacheRemovals; ++removals) {
        platform.pause.processEventsOnce();
        if (!platform.http.removeFromCache(url))
            break;
    }
    platform.pause.sleepFor(std::chrono::milliseconds(1000));
}

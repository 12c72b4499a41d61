#pragma once

#include "ObjectStore.h"

#include <chrono>
#include <functional>
#include <string>

/// What a store's answer means for the sending, in the window's language.
namespace StoreProblem {

/// Whether a failed request may go through when asked again: no answer, a time-out, 408, 429, 500, 502, 503,
/// 504 and the store's "SlowDown", "RequestTimeout" and "InternalError".
bool isPassing(const StoreAnswer& answer);

/// Whether the failure concerns every request, not just the one object, so that the sending stops: no answer,
/// a key or signature refused (403, "InvalidAccessKeyId", "SignatureDoesNotMatch", "AccessDenied"), a missing
/// bucket, a full store ("QuotaExceeded", 507), and a store that answers what no store answers.
bool stopsTheSending(const StoreAnswer& answer);

/// The failure by name: "skladiste ne odgovara", "skladiste odbija kljuc", "bucket ne postoji", "skladiste je
/// puno", "skladiste je dalo neispravan odgovor", or the status and the store's code, with the request's own reason
/// after it.
std::string describe(const StoreAnswer& answer);

/// How often and how long a request is asked again.
struct RetryPolicy
{
    int attempts = 5;                             ///< in all, the first one included
    std::chrono::milliseconds firstWait{1000};    ///< doubled after each attempt
    std::chrono::milliseconds longestWait{16000}; ///< a single wait is never longer
    std::chrono::milliseconds timeLimit{120000};  ///< no new attempt starts once this much has passed
    /// Waits; the standard sleep when unset. Tests count instead.
    std::function<void(std::chrono::milliseconds)> wait;
};

/// Asks `request` until it succeeds, fails for good (not isPassing), `policy.attempts` were made, or the time
/// limit is spent; the last answer. `stop` (may be null) ends the waiting early.
StoreAnswer withRetries(const RetryPolicy& policy, const std::function<StoreAnswer()>& request,
                        const std::function<bool()>& stop = {});

} // namespace StoreProblem

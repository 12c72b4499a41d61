#include "StoreProblem.h"

#include <algorithm>
#include <thread>

namespace {

bool codeIs(const StoreAnswer& answer, std::initializer_list<const char*> codes)
{
    return std::any_of(codes.begin(), codes.end(), [&](const char* code) { return answer.code == code; });
}

bool refusesKey(const StoreAnswer& answer)
{
    return answer.status == 403 || codeIs(answer, {"InvalidAccessKeyId", "SignatureDoesNotMatch", "AccessDenied",
                                                   "RequestTimeTooSkewed", "InvalidToken", "ExpiredToken"});
}

bool isFull(const StoreAnswer& answer)
{
    return answer.status == 507 || codeIs(answer, {"QuotaExceeded", "InsufficientStorage", "StorageFull"});
}

/// An answer with a success status that still failed: the body could not be read, or made no sense.
bool isGarbage(const StoreAnswer& answer)
{
    return !answer.result && answer.status >= 200 && answer.status < 300;
}

} // namespace

bool StoreProblem::isPassing(const StoreAnswer& answer)
{
    if (answer.result || answer.local)
        return false;
    if (codeIs(answer, {"SlowDown", "RequestTimeout", "InternalError", "ServiceUnavailable"}))
        return true;
    switch (answer.status) {
    case 0:
    case 408:
    case 429:
    case 500:
    case 502:
    case 503:
    case 504:
        return true;
    default:
        return false;
    }
}

bool StoreProblem::stopsTheSending(const StoreAnswer& answer)
{
    if (answer.result || answer.local)
        return false;
    return answer.status == 0 || refusesKey(answer) || answer.code == "NoSuchBucket" || isFull(answer) ||
           isGarbage(answer) || isPassing(answer);
}

std::string StoreProblem::describe(const StoreAnswer& answer)
{
    if (answer.local)
        return answer.result.error(); // the disk's own reason, in the window's words where it has them
    std::string name;
    if (answer.status == 0)
        name = "skladiste ne odgovara";
    else if (answer.code == "NoSuchBucket")
        name = "bucket ne postoji";
    else if (refusesKey(answer))
        name = "skladiste odbija kljuc";
    else if (isFull(answer))
        name = "skladiste je puno";
    else if (isGarbage(answer))
        name = "skladiste je dalo neispravan odgovor";
    else
        name = "skladiste je odgovorilo " + std::to_string(answer.status) +
               (answer.code.empty() ? std::string() : " " + answer.code);
    const std::string& reason = answer.result.error();
    return reason.empty() ? name : name + " (" + reason + ")";
}

StoreAnswer StoreProblem::withRetries(const RetryPolicy& policy, const std::function<StoreAnswer()>& request,
                                      const std::function<bool()>& stop)
{
    const auto started = std::chrono::steady_clock::now();
    std::chrono::milliseconds wait = policy.firstWait;
    StoreAnswer answer;
    for (int attempt = 1;; ++attempt) {
        answer = request();
        if (!isPassing(answer) || attempt >= std::max(1, policy.attempts) || (stop && stop()))
            return answer;
        if (std::chrono::steady_clock::now() - started + wait > policy.timeLimit)
            return answer;
        if (policy.wait)
            policy.wait(wait);
        else
            std::this_thread::sleep_for(wait);
        wait = std::min(wait * 2, policy.longestWait);
    }
}

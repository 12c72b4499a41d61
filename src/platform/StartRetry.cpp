#include "StartRetry.h"

#include <cerrno>
#include <thread>

StartRetry::StartRetry() : m_sleep([](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }) {}

StartRetry::StartRetry(Sleep sleep) : m_sleep(std::move(sleep)) {}

unsigned long StartRetry::start(const Try& start, Passing passing) const
{
    unsigned long error = start();
    for (int tryNumber = 2; error != 0 && tryNumber <= maxTries && passing(error); ++tryNumber) {
        m_sleep(pauseBefore(tryNumber));
        error = start();
    }
    return error;
}

std::chrono::milliseconds StartRetry::pauseBefore(int tryNumber)
{
    return std::chrono::milliseconds(tryNumber <= 2 ? 500 : 2000);
}

bool StartRetry::passingOnWindows(unsigned long error)
{
    switch (error) {
    case windowsAccessDenied:
    case windowsNotEnoughMemory:
    case windowsOutOfMemory:
    case windowsSharingViolation:
    case windowsInternalError:
    case windowsNoSystemResources:
    case windowsCommitmentLimit:
        return true;
    default:
        return false;
    }
}

bool StartRetry::passingOnPosix(unsigned long error)
{
    return error == ETXTBSY || error == EAGAIN || error == ENOMEM;
}

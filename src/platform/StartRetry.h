#pragma once

#include <chrono>
#include <functional>

/// Starting a program once more when its start failed for a reason that can pass within moments: on Windows a
/// virus scanner still holding a program just written, a machine short of memory for a moment, or a new process
/// that died while Windows (or Wine) was still setting it up; on Linux a program still open for writing. A start
/// that fails like this must not leave the registers reported as not backed up. Errors that last (no such
/// program, not a program) end the tries at once. The tries are few and the pauses short: a start that keeps
/// failing is reported, with the last try's error, about 2.5 seconds later than at its first failure.
class StartRetry
{
public:
    /// Blocks the calling thread for the time given.
    using Sleep = std::function<void(std::chrono::milliseconds)>;
    /// One try to start the program: 0 when it started; when it did not, the system's error (GetLastError, errno),
    /// which is never 0.
    using Try = std::function<unsigned long()>;
    /// Whether an error of a try can pass, so that the next try may start the program.
    using Passing = bool (*)(unsigned long error);

    /// Tries in all, the first one included.
    static constexpr int maxTries = 3;

    /// Windows' error codes (GetLastError) that can pass, by number, so that the choice is made and tested on every
    /// platform; the Windows build checks them against the system's names.
    static constexpr unsigned long windowsAccessDenied = 5;         ///< ERROR_ACCESS_DENIED: a scanner holds it
    static constexpr unsigned long windowsNotEnoughMemory = 8;      ///< ERROR_NOT_ENOUGH_MEMORY
    static constexpr unsigned long windowsOutOfMemory = 14;         ///< ERROR_OUTOFMEMORY
    static constexpr unsigned long windowsSharingViolation = 32;    ///< ERROR_SHARING_VIOLATION: open for writing
    static constexpr unsigned long windowsInternalError = 1359;     ///< ERROR_INTERNAL_ERROR: died while set up
    static constexpr unsigned long windowsNoSystemResources = 1450; ///< ERROR_NO_SYSTEM_RESOURCES
    static constexpr unsigned long windowsCommitmentLimit = 1455;   ///< ERROR_COMMITMENT_LIMIT: page file full

    /// Pauses with std::this_thread::sleep_for.
    StartRetry();
    /// Pauses with `sleep` (tests record instead of sleeping).
    explicit StartRetry(Sleep sleep);

    /// Calls `start` until the program started, a try failed with an error `passing` refuses, or `maxTries`
    /// tries failed; pauses before every further try (pauseBefore). Returns the error of the last try: 0 when the
    /// program started.
    unsigned long start(const Try& start, Passing passing) const;

    /// The pause before try number `tryNumber` (2 for the second): half a second, then two, so that a scanner
    /// that takes longer than a moment is waited out too.
    static std::chrono::milliseconds pauseBefore(int tryNumber);

    /// True for an error of CreateProcessW that can pass (the windows... numbers above).
    static bool passingOnWindows(unsigned long error);
    /// True for an error of posix_spawn or exec that can pass: ETXTBSY (the program is still open for writing,
    /// being copied or updated), EAGAIN (too many processes for a moment), ENOMEM.
    static bool passingOnPosix(unsigned long error);

private:
    Sleep m_sleep;
};

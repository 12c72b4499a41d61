#include "StartRetry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct ErrorCase
{
    unsigned long error;
    const char* name;
    bool passing;
};

// Windows' codes by number (not by the names of windows.h), so that the table holds on every platform and a
// wrong number in the code shows.
TEST(StartRetryTest, OnlyWindowsErrorsThatCanPassAreTriedAgain)
{
    const ErrorCase cases[] = {
        {1359, "ERROR_INTERNAL_ERROR (the new process died while it was set up)", true},
        {32, "ERROR_SHARING_VIOLATION", true},
        {5, "ERROR_ACCESS_DENIED", true},
        {8, "ERROR_NOT_ENOUGH_MEMORY", true},
        {14, "ERROR_OUTOFMEMORY", true},
        {1450, "ERROR_NO_SYSTEM_RESOURCES", true},
        {1455, "ERROR_COMMITMENT_LIMIT", true},
        {2, "ERROR_FILE_NOT_FOUND", false},
        {3, "ERROR_PATH_NOT_FOUND", false},
        {33, "ERROR_LOCK_VIOLATION", false},
        {87, "ERROR_INVALID_PARAMETER", false},
        {193, "ERROR_BAD_EXE_FORMAT", false},
        {216, "ERROR_EXE_MACHINE_TYPE_MISMATCH", false},
        {740, "ERROR_ELEVATION_REQUIRED", false},
        {1260, "ERROR_ACCESS_DISABLED_BY_POLICY", false},
    };
    for (const ErrorCase& c : cases)
        EXPECT_EQ(StartRetry::passingOnWindows(c.error), c.passing) << c.error << " " << c.name;
}

TEST(StartRetryTest, OnlyPosixErrorsThatCanPassAreTriedAgain)
{
    const ErrorCase cases[] = {
        {ETXTBSY, "ETXTBSY (still open for writing)", true},
        {EAGAIN, "EAGAIN", true},
        {ENOMEM, "ENOMEM", true},
        {ENOENT, "ENOENT", false},
        {EACCES, "EACCES", false},
        {ENOEXEC, "ENOEXEC", false},
        {E2BIG, "E2BIG", false},
        {ENOTDIR, "ENOTDIR", false},
    };
    for (const ErrorCase& c : cases)
        EXPECT_EQ(StartRetry::passingOnPosix(c.error), c.passing) << c.error << " " << c.name;
}

struct TryCase
{
    const char* name;
    std::vector<unsigned long> answers; ///< what each try gives, in order
    int tries;                          ///< how many the retry makes
    unsigned long result;
};

// With Windows' codes: 1359 and 32 can pass, 2 (no such file) cannot.
TEST(StartRetryTest, TriesAgainAfterAPauseOnlyWhileTheErrorCanPassAndAtMostMaxTriesTimes)
{
    static_assert(StartRetry::maxTries == 3, "the cases below count three tries");
    const TryCase cases[] = {
        {"started at once", {0}, 1, 0},
        {"a lasting error ends it at once", {2, 0}, 1, 2},
        {"started at the second try", {1359, 0}, 2, 0},
        {"started at the last try", {1359, 32, 0}, 3, 0},
        {"failing through every try gives the last error", {1359, 1359, 32, 0}, 3, 32},
        {"a lasting error after a passing one ends it", {1359, 2, 0}, 2, 2},
    };
    for (const TryCase& c : cases) {
        std::vector<std::chrono::milliseconds> pauses;
        int tries = 0;
        // Every try must come after the pause before it, never two without one.
        const StartRetry retry([&](std::chrono::milliseconds pause) {
            EXPECT_EQ(pauses.size() + 1, static_cast<size_t>(tries)) << c.name;
            pauses.push_back(pause);
        });
        const unsigned long result =
            retry.start([&] { return tries < static_cast<int>(c.answers.size()) ? c.answers[tries++] : 0; },
                        StartRetry::passingOnWindows);

        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(tries, c.tries) << c.name;
        EXPECT_EQ(pauses.size(), static_cast<size_t>(c.tries - 1)) << c.name << ": no pause before the first try";
        for (const std::chrono::milliseconds pause : pauses) {
            // Long enough for the hold to pass, short enough not to hold the run up.
            EXPECT_GE(pause, 100ms) << c.name;
            EXPECT_LE(pause, 5s) << c.name;
        }
    }
}

} // namespace

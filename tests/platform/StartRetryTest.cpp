#include "StartRetry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Windows' codes by number (not by the names of windows.h), so that the table holds on every platform and a
// wrong number in the code shows.
TEST(StartRetryTest, OnlyErrorsThatCanPassAreTriedAgain)
{
    // ERROR_INTERNAL_ERROR (the new process died while it was set up), ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED,
    // ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY, ERROR_NO_SYSTEM_RESOURCES, ERROR_COMMITMENT_LIMIT.
    for (const unsigned long error : {1359, 32, 5, 8, 14, 1450, 1455})
        EXPECT_TRUE(StartRetry::passingOnWindows(error)) << error;
    // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_LOCK_VIOLATION, ERROR_INVALID_PARAMETER, ERROR_BAD_EXE_FORMAT,
    // ERROR_EXE_MACHINE_TYPE_MISMATCH, ERROR_ELEVATION_REQUIRED, ERROR_ACCESS_DISABLED_BY_POLICY.
    for (const unsigned long error : {2, 3, 33, 87, 193, 216, 740, 1260})
        EXPECT_FALSE(StartRetry::passingOnWindows(error)) << error;
    for (const int error : {ETXTBSY /* still open for writing */, EAGAIN, ENOMEM})
        EXPECT_TRUE(StartRetry::passingOnPosix(error)) << error;
    for (const int error : {ENOENT, EACCES, ENOEXEC, E2BIG, ENOTDIR})
        EXPECT_FALSE(StartRetry::passingOnPosix(error)) << error;
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

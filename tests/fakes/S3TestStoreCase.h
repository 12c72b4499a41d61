#pragma once

#include "OffsiteSender.h"
#include "S3TestStore.h"
#include "SystemPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

/// A case against the test store (S3TestStore): skipped where the store cannot run, failed where the fixture
/// "s3_store" did not start it; each case sends under a prefix of its own, as the cases run at once and the store
/// outlives them.
class S3TestStoreCase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!S3TestStore::possibleHere())
            GTEST_SKIP() << "the test store runs on Linux, or for the Windows build under Wine";
        found = S3TestStore::find();
        ASSERT_TRUE(found) << "the test store is not running: ctest starts it through the fixture s3_store";
        prefix = std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(std::random_device{}());
        std::replace(prefix.begin(), prefix.end(), '/', '-'); // a case of a table is named "case/row"
    }

    /// The sending of the backups of 05.12.2026 in `backupDir` to the bucket with Object Lock (`locked`) or the one
    /// without, under this case's prefix, each object locked for `lockDays`.
    OffsiteDayRequest sendingOf(const std::string& backupDir, bool locked, int lockDays = 0) const
    {
        using namespace std::chrono;
        const ObjectStoreAccount account = found->account(locked);
        OffsiteDayRequest day;
        day.settings = {account.endpoint,  account.region, account.bucket, account.accessKey,
                        account.secretKey, prefix,         lockDays,       1};
        day.backupDir = backupDir;
        day.dates = {year_month_day{year{2026}, month{12}, std::chrono::day{5}}};
        day.today = day.dates.front();
        day.utcNow = floor<seconds>(system_clock::now());
        return day;
    }

    std::optional<S3TestStore> found;
    std::string prefix;
    SystemFileSystem files;
    CurlObjectStore store{files};
};

// The sending of a day against a real S3-compatible store (radosgw, S3TestStore): what arrives is fetched back by an
// independent client (s3cmd), and what the store refuses is named.
#include "OffsiteSender.h"

#include "S3TestStore.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace std::chrono;

class OffsiteStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!S3TestStore::possibleHere())
            GTEST_SKIP() << "the test store runs on Linux, or for the Windows build under Wine";
        found = S3TestStore::find();
        ASSERT_TRUE(found) << "the test store is not running: ctest starts it through the fixture s3_store";
        TestFiles::write(backups / "05_12_2026_Docs_backup/racun.txt", "racun 1");
        TestFiles::write(backups / "05_12_2026_Docs_backup/Ђурђевак/kasa.mdb", std::string(70000, 'k'));
        TestFiles::write(backups / "05_12_2026_Slike_backup.zip", "PK archive");
    }

    OffsiteDayRequest request(bool locked, int lockDays = 0) const
    {
        const ObjectStoreAccount account = found->account(locked);
        OffsiteDayRequest sending;
        sending.settings.Adresa = account.endpoint;
        sending.settings.Regija = account.region;
        sending.settings.Bucket = account.bucket;
        sending.settings.Kljuc = account.accessKey;
        sending.settings.Tajna = account.secretKey;
        // Each case under a prefix of its own: the cases run at once, and the store outlives them.
        sending.settings.Prefiks = std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                                   std::to_string(std::random_device{}());
        sending.settings.ZakljucatiDana = lockDays;
        sending.backupDir = backups.path();
        sending.dates = {year_month_day{year{2026}, month{12}, day{5}}};
        sending.today = sending.dates.front();
        sending.utcNow = floor<seconds>(system_clock::now());
        return sending;
    }

    OffsiteOutcome send(const OffsiteDayRequest& day)
    {
        OffsiteSender::Options options;
        options.retry.attempts = 2;
        return OffsiteSender(store, files, options).sendDay(day);
    }

    std::optional<S3TestStore> found;
    TempDir backups, fetched;
    SystemFileSystem files;
    CurlObjectStore store{files};
};

TEST_F(OffsiteStoreTest, ADayInBothModesArrivesWholeLargeFilesInPartsAndARerunSendsNothingUnchanged)
{
    std::string large(40 << 20, '\0');
    std::mt19937 random(27);
    for (char& byte : large)
        byte = static_cast<char>(random());
    TestFiles::write(backups / "05_12_2026_Docs_backup/veliki.bin", large);
    const OffsiteDayRequest day = request(false);
    const OffsiteOutcome first = send(day);
    ASSERT_TRUE(first.whole()) << first.summary();
    EXPECT_EQ(first.filesSent, 4u);

    const std::string bucket = "s3://" + day.settings.Bucket + "/" + day.settings.Prefiks + "/";
    ASSERT_EQ(found->s3cmd({"get", "--recursive", bucket, S3TestStore::localPath(fetched.path()) + "/"}), 0);
    EXPECT_EQ(TestFiles::tree(fetched.path()), TestFiles::tree(backups.path()));
    std::vector<std::pair<std::string, std::string>> unfinished;
    ASSERT_TRUE(store.listMultipartUploads(found->account(false), day.settings.Prefiks + "/", unfinished).result);
    EXPECT_TRUE(unfinished.empty());

    TestFiles::write(backups / "05_12_2026_Docs_backup/racun.txt", "racun 2");
    const OffsiteOutcome again = send(day);
    ASSERT_TRUE(again.whole()) << again.summary();
    EXPECT_EQ(again.filesSent, 1u);
    EXPECT_EQ(again.filesUnchanged, 3u);
}

TEST_F(OffsiteStoreTest, AWrongSecretAndAMissingBucketAreNamedAndNothingIsLeftHalfSent)
{
    OffsiteDayRequest day = request(false);
    day.settings.Tajna += "x";
    OffsiteOutcome outcome = send(day);
    ASSERT_FALSE(outcome.whole());
    EXPECT_NE(outcome.problems.front().find("skladiste odbija kljuc"), std::string::npos) << outcome.summary();

    day = request(false);
    day.settings.Bucket = "nema-ga";
    outcome = send(day);
    ASSERT_FALSE(outcome.whole());
    EXPECT_NE(outcome.problems.front().find("bucket ne postoji"), std::string::npos) << outcome.summary();
    EXPECT_EQ(TestFiles::read(backups / "05_12_2026_Docs_backup/racun.txt"), "racun 1");
}

TEST_F(OffsiteStoreTest, ALockedObjectCannotBeDeletedWithTheProgramsOwnKeyNorIsItsDayRemoved)
{
    OffsiteDayRequest day = request(true, 1);
    ASSERT_TRUE(send(day).whole());
    const ObjectStoreAccount account = found->account(true);
    const std::string key = day.settings.Prefiks + "/05_12_2026_Slike_backup.zip";
    StoredObject described;
    ASSERT_TRUE(store.headObject(account, key, described).result);
    EXPECT_FALSE(described.retainUntil.empty());
    EXPECT_EQ(store.deleteObjectVersion(account, key, described.versionId).status, 403);

    day.today = year_month_day{year{2026}, month{12}, std::chrono::day{15}}; // ten days later, the lock still on
    day.Brisati = 1;
    day.Starost = 7;
    const OffsiteOutcome pruned = send(day);
    EXPECT_TRUE(pruned.whole()) << pruned.summary();
    EXPECT_EQ(pruned.daysStillLocked, 2u);
    EXPECT_EQ(pruned.daysRemoved, 0u);
    EXPECT_TRUE(store.headObject(account, key, described).result);
}

TEST_F(OffsiteStoreTest, AnOldDayWithoutALockGoesWithEveryVersionOfIt)
{
    OffsiteDayRequest day = request(true); // a bucket that keeps versions, the objects sent without a lock
    ASSERT_TRUE(send(day).whole());
    TestFiles::write(backups / "05_12_2026_Docs_backup/racun.txt", "racun 2"); // a second version
    ASSERT_TRUE(send(day).whole());
    day.today = year_month_day{year{2026}, month{12}, std::chrono::day{12}};
    day.Brisati = 1;
    day.Starost = 7;
    const OffsiteOutcome pruned = send(day);
    EXPECT_TRUE(pruned.whole()) << pruned.summary();
    EXPECT_EQ(pruned.daysRemoved, 2u);
    std::vector<StoredVersion> left;
    ASSERT_TRUE(store.listObjectVersions(found->account(true), day.settings.Prefiks + "/", left).result);
    EXPECT_TRUE(left.empty()) << left.size() << " versions or markers left, the first " << left.front().key;
}

} // namespace

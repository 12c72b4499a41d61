// The sending of a day against a real S3-compatible store (radosgw, S3TestStore): what arrives is fetched back by an
// independent client (s3cmd), and what the store refuses is named.
#include "S3TestStoreCase.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace std::chrono;

class OffsiteStoreTest : public S3TestStoreCase
{
protected:
    void SetUp() override
    {
        S3TestStoreCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        TestFiles::write(backups / "05_12_2026_Docs_backup/racun.txt", "racun 1");
        TestFiles::write(backups / "05_12_2026_Docs_backup/Ђурђевак/kasa.mdb", std::string(70000, 'k'));
        TestFiles::write(backups / "05_12_2026_Slike_backup.zip", "PK archive");
    }

    OffsiteDayRequest request(bool locked, int lockDays = 0) const
    {
        return sendingOf(backups.path(), locked, lockDays);
    }

    OffsiteOutcome send(const OffsiteDayRequest& day)
    {
        OffsiteSender::Options options;
        options.retry.attempts = 2;
        return OffsiteSender(store, files, options).sendDay(day);
    }

    TempDir backups, fetched;
};

TEST_F(OffsiteStoreTest, ADayInBothModesArrivesWholeLargeFilesInPartsAndARerunSendsNothingUnchanged)
{
    const std::string large = TestFiles::noise(40 << 20, 27);
    TestFiles::write(backups / "05_12_2026_Docs_backup/veliki.bin", large);
    const std::string racun = backups / "05_12_2026_Docs_backup/racun.txt";
    TestFiles::setModified(racun, 1'700'000'000);
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

    // Other bytes of the same size and time go again (judged by the MD5 the listing gives); a touched file does not.
    TestFiles::write(racun, "racun 2");
    TestFiles::setModified(racun, 1'700'000'000);
    TestFiles::setModified(backups / "05_12_2026_Docs_backup/Ђурђевак/kasa.mdb", 1'800'000'000);
    const OffsiteOutcome again = send(day);
    ASSERT_TRUE(again.whole()) << again.summary();
    EXPECT_EQ(again.filesSent, 1u);
    EXPECT_EQ(again.filesUnchanged, 3u);
    const std::string back = fetched / "racun.txt";
    ASSERT_TRUE(store.getObject(found->account(false), day.settings.Prefiks + "/05_12_2026_Docs_backup/racun.txt", back)
                    .result);
    EXPECT_EQ(TestFiles::read(back), "racun 2");
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

TEST_F(OffsiteStoreTest, AGatewayKilledMidUploadIsNamedAndTheNextRunAbortsTheLeftoverAndSendsTheDayWhole)
{
    // A gateway of its own: the one the other cases share stays up.
    const std::optional<S3TestStore::Gateway> gateway = found->startGateway("prekid");
    ASSERT_TRUE(gateway) << "scripts/s3-test-server gateway did not start one";
    const std::string large = TestFiles::noise(30 << 20, 5);
    const std::string archive = backups / "05_12_2026_Arhiva_backup.zip";
    TestFiles::write(archive, large);
    OffsiteDayRequest day = request(false);
    day.settings.Adresa = "http://127.0.0.1:" + std::to_string(gateway->port);
    OffsiteSender::Options options;
    options.partSize = 5 << 20;
    options.retry.attempts = 2;
    options.retry.wait = [](milliseconds) {};
    std::atomic<bool> killed{false};
    options.progress = [&](const OffsiteProgress& progress) {
        if (progress.bytesSent > (5u << 20) && !killed.exchange(true))
            found->killGateway(*gateway); // a part is in, the others on their way
    };
    const OffsiteOutcome cut = OffsiteSender(store, files, options).sendDay(day);
    ASSERT_TRUE(killed);
    ASSERT_FALSE(cut.whole());
    EXPECT_NE(cut.problems.front().find("skladiste ne odgovara"), std::string::npos) << cut.summary();
    EXPECT_TRUE(TestFiles::read(archive) == large);
    const ObjectStoreAccount shared = found->account(false);
    std::vector<std::pair<std::string, std::string>> unfinished;
    ASSERT_TRUE(store.listMultipartUploads(shared, day.settings.Prefiks + "/", unfinished).result);
    EXPECT_EQ(unfinished.size(), 1u); // its abort could not reach the store

    const std::optional<S3TestStore::Gateway> again = found->startGateway("prekid", gateway->port);
    ASSERT_TRUE(again);
    options.progress = {};
    const OffsiteOutcome next = OffsiteSender(store, files, options).sendDay(day);
    found->killGateway(*again);
    ASSERT_TRUE(next.whole()) << next.summary();
    EXPECT_EQ(next.filesSent + next.filesUnchanged, 4u);
    ASSERT_TRUE(store.listMultipartUploads(shared, day.settings.Prefiks + "/", unfinished).result);
    EXPECT_TRUE(unfinished.empty());
    const std::string back = fetched / "arhiva.zip";
    ASSERT_TRUE(store.getObject(shared, day.settings.Prefiks + "/05_12_2026_Arhiva_backup.zip", back).result);
    EXPECT_TRUE(TestFiles::read(back) == large);
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

#include "OffsiteSender.h"

#include "MemoryObjectStore.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

namespace {

using namespace std::chrono;

constexpr year_month_day today{year{2026}, month{12}, day{5}};

class OffsiteSenderTest : public ::testing::Test
{
protected:
    TempDir dir;
    SystemFileSystem disk;
    MemoryObjectStore store;
    std::vector<milliseconds> waits;

    OffsiteSenderTest()
    {
        TestFiles::write(dir / "05_12_2026_Docs_backup/racun.txt", "racun 1");
        TestFiles::write(dir / "05_12_2026_Docs_backup/2026/dec/kasa.mdb", std::string(3000, 'k'));
        TestFiles::write(dir / "05_12_2026_Docs_backup/Ђурђевак.txt", "cirilica");
        TestFiles::write(dir / "05_12_2026_Slike_backup.zip", "PK zip");
        TestFiles::write(dir / "04_12_2026_Docs_backup/stari.txt", "jucer");
        TestFiles::write(dir / "05_12_2026_Docs_backup.zip.tmp", "unfinished archive");
    }

    OffsiteDayRequest request(int lockDays = 0) const
    {
        OffsiteDayRequest day;
        day.settings.Adresa = "https://s3.example.test";
        day.settings.Bucket = "kopije";
        day.settings.Kljuc = "AKID";
        day.settings.Tajna = "tajna";
        day.settings.Prefiks = "PRODAJA-1";
        day.settings.ZakljucatiDana = lockDays;
        day.settings.Slati = 1;
        day.backupDir = dir.path();
        day.dates = {today};
        day.today = today;
        day.utcNow = sys_days{today} + hours{8};
        return day;
    }

    OffsiteOutcome send(const OffsiteDayRequest& day, std::uint64_t partSize = 16ull << 20)
    {
        OffsiteSender::Options options;
        options.partSize = partSize;
        options.retry.wait = [this](milliseconds wait) { waits.push_back(wait); };
        return OffsiteSender(store, disk, options).sendDay(day);
    }

    int count(const std::string& request) const
    {
        const auto all = store.requests();
        return static_cast<int>(
            std::count_if(all.begin(), all.end(), [&](const std::string& r) { return r.starts_with(request + " "); }));
    }
};

TEST_F(OffsiteSenderTest, TheDayArrivesWholeAndARerunSendsOnlyWhatChanged)
{
    const OffsiteOutcome first = send(request());
    ASSERT_TRUE(first.whole()) << first.summary();
    const auto objects = store.objects();
    std::vector<std::string> keys;
    for (const auto& [key, object] : objects)
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"PRODAJA-1/05_12_2026_Docs_backup/2026/dec/kasa.mdb",
                                              "PRODAJA-1/05_12_2026_Docs_backup/racun.txt",
                                              "PRODAJA-1/05_12_2026_Docs_backup/Ђурђевак.txt",
                                              "PRODAJA-1/05_12_2026_Slike_backup.zip"}));
    EXPECT_EQ(objects.at("PRODAJA-1/05_12_2026_Slike_backup.zip").bytes, "PK zip");
    EXPECT_EQ(objects.at("PRODAJA-1/05_12_2026_Docs_backup/2026/dec/kasa.mdb").bytes, std::string(3000, 'k'));
    EXPECT_FALSE(objects.at("PRODAJA-1/05_12_2026_Docs_backup/racun.txt").retention);
    EXPECT_EQ(first.filesSent, 4u);

    const OffsiteOutcome unchanged = send(request());
    EXPECT_TRUE(unchanged.whole()) << unchanged.summary();
    EXPECT_EQ(unchanged.filesSent, 0u);
    EXPECT_EQ(unchanged.filesUnchanged, 4u);

    // Only touched: the same bytes stay. Other bytes of the same size and time, and a file that grew, go again.
    TestFiles::setModified(dir / "05_12_2026_Docs_backup/racun.txt", 1'800'000'000);
    TestFiles::write(dir / "05_12_2026_Docs_backup/2026/dec/kasa.mdb", std::string(2999, 'k') + "!");
    TestFiles::setModified(dir / "05_12_2026_Docs_backup/2026/dec/kasa.mdb", 1'800'000'000);
    TestFiles::write(dir / "05_12_2026_Slike_backup.zip", "PK zip, longer");
    const OffsiteOutcome changed = send(request());
    EXPECT_EQ(changed.filesSent, 2u);
    EXPECT_EQ(changed.filesUnchanged, 2u);
    EXPECT_EQ(store.objects().at("PRODAJA-1/05_12_2026_Slike_backup.zip").bytes, "PK zip, longer");
    EXPECT_EQ(store.objects().at("PRODAJA-1/05_12_2026_Docs_backup/2026/dec/kasa.mdb").bytes.back(), '!');
    EXPECT_EQ(count("put"), 6);
    EXPECT_EQ(count("head"), 0); // files sent whole are judged by the listing alone
}

TEST_F(OffsiteSenderTest, LargeFilesGoInPartsLockedForTheDaysAsked)
{
    std::string big(11 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 % 251);
    TestFiles::write(dir / "05_12_2026_Slike_backup.zip", big);
    const OffsiteOutcome outcome = send(request(30), 5 << 20);
    ASSERT_TRUE(outcome.whole()) << outcome.summary();
    const MemoryObjectStore::Object archive = store.objects().at("PRODAJA-1/05_12_2026_Slike_backup.zip");
    EXPECT_EQ(archive.parts, 3);
    EXPECT_TRUE(archive.bytes == big);
    ASSERT_TRUE(archive.retention);
    EXPECT_EQ(archive.retention->mode, "COMPLIANCE");
    EXPECT_EQ(archive.retention->retainUntil, "2027-01-04T08:00:00Z");
    EXPECT_EQ(store.objects().at("PRODAJA-1/05_12_2026_Docs_backup/racun.txt").retention->retainUntil,
              "2027-01-04T08:00:00Z");
    EXPECT_TRUE(store.unfinished().empty());

    // A listing gives no MD5 of an object sent in parts: its time in the metadata decides.
    EXPECT_EQ(send(request(30), 5 << 20).filesSent, 0u);
    EXPECT_EQ(count("head"), 1);
    TestFiles::setModified(dir / "05_12_2026_Slike_backup.zip", 1'800'000'000);
    const OffsiteOutcome touched = send(request(30), 5 << 20);
    EXPECT_EQ(touched.filesSent, 1u);
    EXPECT_EQ(touched.filesUnchanged, 3u);
    EXPECT_EQ(count("start"), 2);
}

TEST_F(OffsiteSenderTest, AFailedPartAbortsItsUploadAndEarlierLeftoversAreAbortedToo)
{
    store.leaveUnfinished("PRODAJA-1/03_12_2026_Slike_backup.zip");
    store.leaveUnfinished("DRUGI/03_12_2026_Slike_backup.zip"); // another computer's: not ours to end
    TestFiles::write(dir / "05_12_2026_Slike_backup.zip", std::string(11 << 20, 'z'));
    store.failWhen = [](const std::string& request, const std::string&) -> std::optional<StoreAnswer> {
        if (request == "part")
            return StoreAnswer{Result::failure("403 Forbidden"), 403, "AccessDenied"};
        return std::nullopt;
    };
    const OffsiteOutcome outcome = send(request(), 5 << 20);
    ASSERT_FALSE(outcome.whole());
    EXPECT_NE(outcome.problems.front().find("skladiste odbija kljuc"), std::string::npos) << outcome.summary();
    const auto unfinished = store.unfinished();
    ASSERT_EQ(unfinished.size(), 1u);
    EXPECT_EQ(unfinished.begin()->second, "DRUGI/03_12_2026_Slike_backup.zip");
    EXPECT_FALSE(store.objects().count("PRODAJA-1/05_12_2026_Slike_backup.zip"));
}

TEST_F(OffsiteSenderTest, ASendingStoppedMidUploadAbortsItAndSaysSo)
{
    TestFiles::write(dir / "05_12_2026_Slike_backup.zip", std::string(16 << 20, 'z'));
    std::atomic<bool> stop{false};
    store.failWhen = [&stop](const std::string& request, const std::string&) -> std::optional<StoreAnswer> {
        if (request == "part")
            stop = true; // the program ends while the parts go
        return std::nullopt;
    };
    OffsiteSender::Options options;
    options.transfers = 1;
    options.partSize = 5 << 20;
    options.stop = [&stop] { return stop.load(); };
    const OffsiteOutcome outcome = OffsiteSender(store, disk, options).sendDay(request());
    ASSERT_EQ(outcome.problems.size(), 1u) << outcome.summary();
    EXPECT_NE(outcome.problems.front().find("zaustavljeno prije kraja"), std::string::npos) << outcome.summary();
    EXPECT_TRUE(store.unfinished().empty());
    EXPECT_FALSE(store.objects().count("PRODAJA-1/05_12_2026_Slike_backup.zip"));
}

TEST_F(OffsiteSenderTest, OnlyOldDaysWhoseLockRanOutAreRemoved)
{
    auto object = [](const std::string& until) {
        MemoryObjectStore::Object placed{"x", {}, {}, 0};
        if (!until.empty())
            placed.retention = ObjectRetention{"COMPLIANCE", until};
        return placed;
    };
    store.place("PRODAJA-1/20_11_2026_Docs_backup/a.txt", object("2026-11-30T08:00:00Z"));
    store.place("PRODAJA-1/20_11_2026_Docs_backup/b.txt", object(""));
    store.place("PRODAJA-1/21_11_2026_Slike_backup.zip", object("2026-12-21T08:00:00Z"));
    store.place("PRODAJA-1/28_11_2026_Docs_backup/a.txt", object("2026-12-05T07:00:00Z"));
    store.place("PRODAJA-1/29_11_2026_Docs_backup/a.txt", object(""));
    store.place("PRODAJA-1/kopirko-proba.txt", object(""));
    store.place("DRUGI/01_01_2020_Docs_backup/a.txt", object(""));
    OffsiteDayRequest day = request();
    day.Brisati = 1;
    day.Starost = 7;
    const OffsiteOutcome outcome = send(day);
    ASSERT_TRUE(outcome.whole()) << outcome.summary();
    EXPECT_EQ(outcome.daysRemoved, 2u);
    EXPECT_EQ(outcome.daysStillLocked, 1u);
    const auto objects = store.objects();
    EXPECT_FALSE(objects.count("PRODAJA-1/20_11_2026_Docs_backup/a.txt"));
    EXPECT_FALSE(objects.count("PRODAJA-1/20_11_2026_Docs_backup/b.txt"));
    EXPECT_FALSE(objects.count("PRODAJA-1/28_11_2026_Docs_backup/a.txt"));
    EXPECT_TRUE(objects.count("PRODAJA-1/21_11_2026_Slike_backup.zip"));
    EXPECT_TRUE(objects.count("PRODAJA-1/29_11_2026_Docs_backup/a.txt")); // six days old
    EXPECT_TRUE(objects.count("PRODAJA-1/kopirko-proba.txt"));
    EXPECT_TRUE(objects.count("DRUGI/01_01_2020_Docs_backup/a.txt"));

    day.Brisati = 0;
    store.place("PRODAJA-1/20_11_2026_Docs_backup/a.txt", object(""));
    send(day);
    EXPECT_TRUE(store.objects().count("PRODAJA-1/20_11_2026_Docs_backup/a.txt"));

    // A lock the store keeps beyond the date it gave (its clock behind ours) keeps the day, and is no failure.
    store.place("PRODAJA-1/28_11_2026_Docs_backup/a.txt", object("2026-12-05T07:00:00Z"));
    store.now = "2026-12-05T06:00:00Z";
    day.Brisati = 1;
    const OffsiteOutcome kept = send(day);
    EXPECT_TRUE(kept.whole()) << kept.summary();
    EXPECT_TRUE(store.objects().count("PRODAJA-1/28_11_2026_Docs_backup/a.txt"));
}

struct StoreFailure
{
    StoreAnswer answer;
    const char* named;
    friend void PrintTo(const StoreFailure& f, std::ostream* out) { *out << f.answer.status << " " << f.answer.code; }
};

class OffsiteStoreFailureTest : public OffsiteSenderTest, public ::testing::WithParamInterface<StoreFailure>
{};

TEST_P(OffsiteStoreFailureTest, AFailingStoreIsNamedTriedBoundedlyAndTheBackupsAreUntouched)
{
    const auto before = TestFiles::tree(dir.path());
    store.failWhen = [](const std::string& request, const std::string&) -> std::optional<StoreAnswer> {
        if (request == "list" || request == "uploads")
            return GetParam().answer;
        return std::nullopt;
    };
    const OffsiteOutcome outcome = send(request());
    ASSERT_EQ(outcome.problems.size(), 1u) << outcome.summary();
    EXPECT_NE(outcome.problems.front().find(GetParam().named), std::string::npos) << outcome.problems.front();
    EXPECT_EQ(outcome.problems.front().find("tajna"), std::string::npos);
    EXPECT_EQ(count("put"), 0);
    EXPECT_LE(store.requests().size(), 5u);
    EXPECT_LE(waits.size(), 4u);
    EXPECT_EQ(TestFiles::tree(dir.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OffsiteStoreFailureTest,
    ::testing::Values(StoreFailure{{Result::failure("connection refused"), 0, ""}, "skladiste ne odgovara"},
                      StoreFailure{{Result::failure("403"), 403, "SignatureDoesNotMatch"}, "skladiste odbija kljuc"},
                      StoreFailure{{Result::failure("404"), 404, "NoSuchBucket"}, "bucket ne postoji"},
                      StoreFailure{{Result::failure("507"), 507, ""}, "skladiste je puno"},
                      StoreFailure{{Result::failure("no XML"), 200, ""}, "neispravan odgovor"},
                      StoreFailure{{Result::failure("503"), 503, "SlowDown"}, "503 SlowDown"}));

TEST_F(OffsiteSenderTest, AMomentaryFailureIsAskedAgainAfterLongerWaits)
{
    int refused = 0;
    store.failWhen = [&refused](const std::string& request, const std::string&) -> std::optional<StoreAnswer> {
        if (request == "put" && refused < 2)
            return ++refused, StoreAnswer{Result::failure("503"), 503, "SlowDown"};
        return std::nullopt;
    };
    OffsiteDayRequest day = request();
    std::filesystem::remove_all(dir / "05_12_2026_Docs_backup");
    const OffsiteOutcome outcome = send(day);
    EXPECT_TRUE(outcome.whole()) << outcome.summary();
    EXPECT_EQ(outcome.filesSent, 1u);
    EXPECT_EQ(waits, (std::vector<milliseconds>{milliseconds(1000), milliseconds(2000)}));
}

TEST(OffsiteDayTest, OnlyBackupNamesWithARealDateCount)
{
    EXPECT_EQ(OffsiteDay::dateOfBackupName("05_12_2026_Docs_backup"), today);
    EXPECT_EQ(OffsiteDay::dateOfBackupName("05_12_2026_Docs_backup.zip"), today);
    for (const char* name : {"31_02_2026_Docs_backup", "05_12_2026_Docs_backup.zip.tmp", "5_12_2026_Docs_backup",
                             "kopirko-proba.txt", "05_12_2026_backup"})
        EXPECT_FALSE(OffsiteDay::dateOfBackupName(name)) << name;
    EXPECT_EQ(OffsiteSender::partSizeFor(200ull << 30, 16 << 20), 21ull << 20); // 10,000 parts at most
}

} // namespace

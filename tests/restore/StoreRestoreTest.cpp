// Restoring from the store away from the shop, against the real test store (radosgw, S3TestStore): a day is sent in
// both modes, the local destination emptied, and the day's files come back from the store alone.
#include "OffsiteSender.h"
#include "RestoreRun.h"
#include "RestoreTexts.h"
#include "StoreBackups.h"
#include "ZipFolder.h"

#include "MemoryObjectStore.h"
#include "S3TestStoreCase.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <set>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#endif

namespace {

using namespace std::chrono;

constexpr std::int64_t backupTime = 1764950400; // 05.12.2025, seconds

class StoreRestoreTest : public S3TestStoreCase
{
protected:
    void SetUp() override
    {
        S3TestStoreCase::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        for (const auto& [name, content] : live) {
            TestFiles::write(dir / ("live/Docs/" + name), content);
            TestFiles::setModified(dir / ("live/Docs/" + name),
                                   backupTime + 2 * static_cast<std::int64_t>(name.size()));
        }
        TestFiles::makeFolder(dir / "backups/05_12_2026_Docs_backup");
        ASSERT_TRUE(files.copyTreeContents(dir / "live/Docs", dir / "backups/05_12_2026_Docs_backup", {}).complete());
        ASSERT_TRUE(ZipFolder(files, dir / "live/Docs", dir / "backups/05_12_2026_Kasa_backup").archive.ok());
        access = {&store, found->account(false), prefix, {}};
    }

    /// Sends the day as a backup run does, then empties the destination (the disk is gone); the one day the store
    /// lists then.
    BackupDay sendAndLoseTheDisk()
    {
        const OffsiteOutcome sent = OffsiteSender(store, files, {}).sendDay(sendingOf(dir / "backups", false));
        EXPECT_TRUE(sent.whole()) << sent.summary();
        EXPECT_TRUE(files.removeTree(dir / "backups", RemoveMode::Forced));
        const BackupDayList days = listStoreDays(access);
        EXPECT_TRUE(days.error.empty()) << days.error;
        EXPECT_EQ(days.days.size(), 1u);
        return days.days.at(0);
    }

    /// Restores `selected` of `tree` into `target`, as the page does when the user keeps both.
    RestoreOutcome restore(const BackupTree& tree, const std::vector<std::string>& selected, const std::string& target)
    {
        const RestorePlan plan = planRestore(files, tree, selected, target, RestorePlacement::IntoFolder);
        return carryOutRestore(files, tree, plan, DifferentFiles::KeepBoth);
    }

    /// The bytes and modification time of each file under `folder` equal those in "live/Docs/<under>".
    void expectLikeLive(const std::string& folder, const std::string& under)
    {
        std::vector<std::string> expected;
        for (const auto& [name, content] : live)
            if (name.compare(0, under.size(), under) == 0)
                expected.push_back(name.substr(under.size()));
        ASSERT_EQ(TestFiles::files(folder), expected);
        for (const std::string& name : expected) {
            EXPECT_TRUE(TestFiles::read(folder + "/" + name) == live.at(under + name)) << name;
            const std::optional<FolderEntry> restored = files.examine(folder + "/" + name, false);
            const std::optional<FolderEntry> original = files.examine(dir / ("live/Docs/" + under + name), false);
            ASSERT_TRUE(restored && original) << name;
            EXPECT_EQ(restored->modifiedNs / 1000000000, original->modifiedNs / 1000000000) << name;
        }
    }

    /// `count` files of some KiB, each of its own size and time, in "mnogo" of the live folder and of its backup
    /// (sent by sendAndLoseTheDisk()); their names, sorted.
    std::vector<std::string> addManyFiles(int count)
    {
        std::vector<std::string> names;
        for (int k = 0; k < count; ++k) {
            names.push_back("f" + std::to_string(10 + k) + ".txt");
            for (const char* folder : {"live/Docs/mnogo/", "backups/05_12_2026_Docs_backup/mnogo/"}) {
                TestFiles::write(dir / (folder + names.back()), std::string(1000 * k + 7, static_cast<char>('a' + k)));
                TestFiles::setModified(dir / (folder + names.back()), backupTime + 60 * k);
            }
        }
        return names;
    }

    const std::map<std::string, std::string> live = {{"racun.txt", "racun 1"},
                                                     {"Ђурђевак/kasa.mdb", std::string(70000, 'k')},
                                                     {"Ђурђевак/2026/dnevnik.txt", "dnevnik"}};
    TempDir dir;
    StoreAccess access;
};

TEST_F(StoreRestoreTest, AfterTheDiskIsGoneTheStoresDayIsListedAndAFileAndAFolderComeBackInBothModes)
{
    const BackupDay day = sendAndLoseTheDisk();
    EXPECT_TRUE(day.inStore);
    EXPECT_EQ(day.places, (std::vector<std::string>{access.prefix + "/05_12_2026_Docs_backup",
                                                    access.prefix + "/05_12_2026_Kasa_backup.zip"}));

    TestFiles::makeFolder(dir / "fetch");
    DayBackups backups = backupsOfStoreDay(access, files, day, dir / "fetch");
    ASSERT_TRUE(backups.unreadable.empty()) << backups.unreadable.front().reason;
    ASSERT_EQ(backups.sources.size(), 2u);
    for (const BackupSource& source : backups.sources) {
        SCOPED_TRACE(source.archive ? "archive" : "copy");
        const BackupTree tree(files, source);
        const std::string target = dir / (source.archive ? "from-archive" : "from-copy");
        TestFiles::makeFolder(target);
        RestoreOutcome outcome = restore(tree, {"racun.txt", "Ђурђевак"}, target);
        EXPECT_TRUE(outcome.complete()) << restoreFailureLines(outcome).front();
        EXPECT_EQ(outcome.written, 3u);
        expectLikeLive(target, "");
        outcome = restore(tree, {"racun.txt"}, target); // the same size and time: left alone
        EXPECT_EQ(outcome.leftAlone, 1u);
        EXPECT_EQ(outcome.beside, 0u);
    }
    backups = {}; // the fetched archive goes with the last backup that reads it
    EXPECT_TRUE(TestFiles::files(dir / "fetch").empty());
}

TEST_F(StoreRestoreTest, ACopysFilesComeSeveralAtOnceAndObjectsGoneFromTheStoreAreNamedInThePlansOrder)
{
    const std::vector<std::string> many = addManyFiles(40);
    const BackupDay day = sendAndLoseTheDisk();
    const DayBackups backups = backupsOfStoreDay(access, files, day, dir.path());
    ASSERT_FALSE(backups.sources.empty());
    const BackupTree tree(files, backups.sources[0]);
    TestFiles::makeFolder(dir / "restored");
    const RestorePlan plan = planRestore(files, tree, {"mnogo"}, dir / "restored", RestorePlacement::IntoFolder);
    for (const char* gone : {"f31.txt", "f17.txt"}) // after planning: the fetch itself finds nothing
        ASSERT_TRUE(store.deleteObject(access.account, access.prefix + "/05_12_2026_Docs_backup/mnogo/" + gone).result);
    RestoreProgress last;
    const RestoreOutcome outcome =
        carryOutRestore(files, tree, plan, DifferentFiles::KeepBoth, [&](const RestoreProgress& progress) {
            EXPECT_LE(progress.bytesDone, progress.bytesTotal); // each byte counted once
            last = progress;
        });
    EXPECT_EQ(outcome.written, many.size() - 2);
    EXPECT_EQ(last.bytesDone, last.bytesTotal);
    EXPECT_EQ(last.filesDone, many.size());
    ASSERT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(outcome.failures[0].path, dir / "restored/mnogo/f17.txt");
    EXPECT_EQ(outcome.failures[1].path, dir / "restored/mnogo/f31.txt");
    EXPECT_NE(outcome.failures[0].reason.find("mnogo/f17.txt"), std::string::npos) << outcome.failures[0].reason;
    std::vector<std::string> arrived = many; // whole, with their times, and nothing else beside them
    std::erase_if(arrived, [](const std::string& name) { return name == "f17.txt" || name == "f31.txt"; });
    ASSERT_EQ(TestFiles::files(dir / "restored/mnogo"), arrived);
    for (const std::string& name : arrived) {
        EXPECT_TRUE(TestFiles::read(dir / ("restored/mnogo/" + name)) ==
                    TestFiles::read(dir / ("live/Docs/mnogo/" + name)));
        EXPECT_EQ(files.examine(dir / ("restored/mnogo/" + name), false)->modifiedNs / 1000000000,
                  files.examine(dir / ("live/Docs/mnogo/" + name), false)->modifiedNs / 1000000000);
    }
}

TEST_F(StoreRestoreTest, AStopWhileAnArchiveIsFetchedLeavesNothingOfItAndSaysTheRestoreWasStopped)
{
    const std::string noise = TestFiles::noise(8 << 20);
    TestFiles::write(dir / "backups/05_12_2026_Arhiva_backup.zip", noise); // the day's first place
    const BackupDay day = sendAndLoseTheDisk();
    TestFiles::makeFolder(dir / "fetch");
    ArchiveFetchProgress atStop;
    const DayBackups backups =
        backupsOfStoreDay(access, files, day, dir / "fetch", [&](const ArchiveFetchProgress& progress) {
            atStop = progress;
            return progress.bytesDone < (1u << 20); // "Zaustavi" once a MiB is in
        });
    EXPECT_EQ(atStop.archive, access.prefix + "/05_12_2026_Arhiva_backup.zip");
    EXPECT_EQ(atStop.bytesTotal, noise.size());
    EXPECT_LT(atStop.bytesDone, noise.size()); // stopped on its way
    EXPECT_TRUE(backups.stopped);
    EXPECT_TRUE(backups.sources.empty()); // the places after it are not read
    ASSERT_EQ(backups.unreadable.size(), 1u);
    EXPECT_EQ(backups.unreadable[0].reason, RestoreTexts::stopped);
    EXPECT_TRUE(TestFiles::files(dir / "fetch").empty());
}

TEST_F(StoreRestoreTest, AStoreThatDoesNotAnswerOrGoesAwayMidRestoreIsNamedForEachFileNotRestored)
{
    const std::vector<std::string> many = addManyFiles(60);
    const BackupDay day = sendAndLoseTheDisk();
    DayBackups backups = backupsOfStoreDay(access, files, day, dir.path());
    ASSERT_EQ(backups.sources.size(), 2u);

    StoreAccess gone = access;
    gone.account.endpoint = "http://127.0.0.1:9"; // nothing listens there
    gone.retry.attempts = 1;
    const BackupDayList none = listStoreDays(gone);
    EXPECT_TRUE(none.days.empty());
    EXPECT_NE(none.error.find("skladiste ne odgovara"), std::string::npos) << none.error;

    // A gateway of its own, ended after some files: the one the other cases share stays up.
    const std::optional<S3TestStore::Gateway> gateway = found->startGateway("vracanje");
    ASSERT_TRUE(gateway) << "scripts/s3-test-server gateway did not start one";
    StoreAccess dying = gone;
    dying.account.endpoint = "http://127.0.0.1:" + std::to_string(gateway->port);
    const std::uint64_t total = many.size() + live.size();
    for (const StoreAccess* way : {&gone, &dying}) {
        SCOPED_TRACE(way->account.endpoint);
        BackupSource cut = backups.sources[0]; // the copy
        cut.stored = std::make_shared<const StoredFolderBackup>(*way, cut.stored->key("") + "/", cut.stored->files());
        const BackupTree tree(files, cut);
        const std::string target = dir / ("restored-" + std::to_string(way == &gone));
        TestFiles::makeFolder(target);
        const RestorePlan plan = planRestore(files, tree, {""}, target, RestorePlacement::IntoFolder);
        bool killed = false;
        const RestoreOutcome outcome =
            carryOutRestore(files, tree, plan, DifferentFiles::KeepBoth, [&](const RestoreProgress& progress) {
                if (way == &dying && progress.filesDone >= 4 && !killed) {
                    killed = true;
                    found->killGateway(*gateway);
                }
            });
        EXPECT_FALSE(outcome.complete());
        EXPECT_EQ(killed, way == &dying);
        std::set<std::string> named; // each file not restored, at its target, with the store's failure
        for (const FileFailure& failure : outcome.failures)
            if (failure.path.rfind(target, 0) == 0 && failure.reason.find("skladiste ne odgovara") != std::string::npos)
                named.insert(failure.path);
        EXPECT_EQ(named.size(), total - outcome.written) << testing::PrintToString(restoreFailureLines(outcome));
        EXPECT_LT(outcome.written, total - 20);                      // the ones after the failure were not asked for
        EXPECT_EQ(TestFiles::files(target).size(), outcome.written); // nothing half-written left
    }
}

// A store that goes away after its days were listed: the files' times could not be asked at planning, and once a
// fetch finds the whole store down, the files after it are named without asking it again. Before, each file asked
// for its time on its own, retries and their waits included (about 15 s a file with the standard retries).
TEST_F(StoreRestoreTest, AStoreGoneAfterListingIsNotAskedAgainForEachFileWhoseTimeIsUnknown)
{
    MemoryObjectStore memory;
    addManyFiles(30);
    const OffsiteOutcome sent = OffsiteSender(memory, files, {}).sendDay(sendingOf(dir / "backups", false));
    ASSERT_TRUE(sent.whole()) << sent.summary();
    StoreAccess inMemory = {&memory, access.account, prefix, {}};
    inMemory.retry.wait = [](milliseconds) {}; // the retries are made, their waits not slept
    const BackupDayList days = listStoreDays(inMemory);
    ASSERT_EQ(days.days.size(), 1u) << days.error;
    const DayBackups backups = backupsOfStoreDay(inMemory, files, days.days[0], dir.path());
    ASSERT_EQ(backups.sources.size(), 2u);

    memory.failWhen = [](const std::string&, const std::string&) {
        return std::optional<StoreAnswer>({Result::failure("Connection refused"), 0, {}});
    };
    const BackupTree tree(files, backups.sources[0]); // the copy
    const std::string target = dir / "restored";
    TestFiles::makeFolder(target);
    const RestorePlan plan = planRestore(files, tree, {""}, target, RestorePlacement::IntoFolder);
    const std::size_t askedBefore = memory.requests().size();
    const RestoreOutcome outcome = carryOutRestore(files, tree, plan, DifferentFiles::KeepBoth);

    EXPECT_EQ(outcome.written, 0u);
    std::size_t named = 0; // each file at its target (the folders whose times could not be read come first)
    for (const FileFailure& failure : outcome.failures) {
        EXPECT_NE(failure.reason.find("skladiste ne odgovara"), std::string::npos) << failure.reason;
        named += failure.path.rfind(target, 0) == 0;
    }
    EXPECT_EQ(named, 30 + live.size());
    // Only the fetches already under way when the first found the store down (four at once) asked it.
    EXPECT_LE(memory.requests().size() - askedBefore, 4u * static_cast<std::size_t>(inMemory.retry.attempts));
    EXPECT_TRUE(TestFiles::files(target).empty());
}

#ifndef _WIN32
TEST_F(StoreRestoreTest, OnAFullDiskOnlyWhatDoesNotFitIsNamedAndTheStoreIsNotBlamed)
{
    const std::vector<std::string> many = addManyFiles(8);
    TestFiles::write(dir / "backups/05_12_2026_Docs_backup/mnogo/veliki.bin", TestFiles::noise(3 << 20));
    const BackupDay day = sendAndLoseTheDisk();
    const DayBackups backups = backupsOfStoreDay(access, files, day, dir.path());
    ASSERT_FALSE(backups.sources.empty());
    const BackupTree tree(files, backups.sources[0]); // the copy
    const std::string target = dir / "small";
    TestFiles::makeFolder(target);
    if (::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
    const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(target.c_str(), MNT_DETACH); });
    // The large file is fetched beside the small ones and fills the disk while they come: a small one that met the
    // full disk is the disk's failure, not the store's, and is fetched again once the large one's copy is gone.
    const RestoreOutcome outcome = restore(tree, {""}, target);
    ASSERT_EQ(outcome.failures.size(), 1u) << testing::PrintToString(restoreFailureLines(outcome));
    EXPECT_EQ(outcome.failures[0].path, target + "/Docs/mnogo/veliki.bin");
    EXPECT_NE(outcome.failures[0].reason.find("nema dovoljno mjesta"), std::string::npos) << outcome.failures[0].reason;
    EXPECT_EQ(outcome.failures[0].reason.find("skladiste"), std::string::npos) << outcome.failures[0].reason;
    EXPECT_EQ(outcome.written, many.size() + live.size());
}
#endif

} // namespace

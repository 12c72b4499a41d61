// Restoring from the store away from the shop, against the real test store (radosgw, S3TestStore): a day is sent in
// both modes, the local destination emptied, and the day's files come back from the store alone.
#include "OffsiteSender.h"
#include "RestoreRun.h"
#include "StoreBackups.h"
#include "ZipFolder.h"

#include "S3TestStoreCase.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <set>

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

    /// Sends the day as a backup run does, then empties the destination: the disk is gone.
    void sendAndLoseTheDisk()
    {
        const OffsiteDayRequest day = sendingOf(dir / "backups", false);
        const OffsiteOutcome sent = OffsiteSender(store, files, {}).sendDay(day);
        ASSERT_TRUE(sent.whole()) << sent.summary();
        ASSERT_TRUE(files.removeTree(dir / "backups", RemoveMode::Forced));
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

    const std::map<std::string, std::string> live = {{"racun.txt", "racun 1"},
                                                     {"Ђурђевак/kasa.mdb", std::string(70000, 'k')},
                                                     {"Ђурђевак/2026/dnevnik.txt", "dnevnik"}};
    TempDir dir;
    StoreAccess access;
};

TEST_F(StoreRestoreTest, AfterTheDiskIsGoneTheStoresDayIsListedAndAFileAndAFolderComeBackInBothModes)
{
    sendAndLoseTheDisk();
    const BackupDayList days = listStoreDays(access);
    ASSERT_TRUE(days.error.empty()) << days.error;
    ASSERT_EQ(days.days.size(), 1u);
    EXPECT_TRUE(days.days[0].inStore);
    EXPECT_EQ(days.days[0].places, (std::vector<std::string>{access.prefix + "/05_12_2026_Docs_backup",
                                                             access.prefix + "/05_12_2026_Kasa_backup.zip"}));

    TestFiles::makeFolder(dir / "fetch");
    DayBackups backups = backupsOfStoreDay(access, files, days.days[0], dir / "fetch");
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

TEST_F(StoreRestoreTest, AStoreThatDoesNotAnswerIsNamedAndARestoreFromItNamesEachFile)
{
    sendAndLoseTheDisk();
    const BackupDayList days = listStoreDays(access);
    ASSERT_EQ(days.days.size(), 1u);
    DayBackups backups = backupsOfStoreDay(access, files, days.days[0], dir.path());
    ASSERT_EQ(backups.sources.size(), 2u);
    const BackupTree tree(files, backups.sources[0]); // the copy: its files are fetched one by one

    StoreAccess gone = access;
    gone.account.endpoint = "http://127.0.0.1:9"; // nothing listens there
    gone.retry.attempts = 1;
    const BackupDayList none = listStoreDays(gone);
    EXPECT_TRUE(none.days.empty());
    EXPECT_NE(none.error.find("skladiste ne odgovara"), std::string::npos) << none.error;

    BackupSource cut = backups.sources[0];
    cut.stored = std::make_shared<const StoredFolderBackup>(gone, cut.stored->key("") + "/", cut.stored->files());
    const BackupTree unreachable(files, cut);
    TestFiles::makeFolder(dir / "restored");
    const RestoreOutcome outcome = restore(unreachable, {""}, dir / "restored");
    EXPECT_FALSE(outcome.complete());
    EXPECT_EQ(outcome.written, 0u);
    std::set<std::string> named; // each file not restored, at its target, with the store's failure
    for (const FileFailure& failure : outcome.failures)
        if (failure.path.rfind(dir / "restored", 0) == 0 &&
            failure.reason.find("skladiste ne odgovara") != std::string::npos)
            named.insert(failure.path);
    EXPECT_EQ(named.size(), 3u) << restoreFailureLines(outcome).front();
    EXPECT_TRUE(TestFiles::files(dir / "restored").empty()); // nothing half-written left
}

} // namespace

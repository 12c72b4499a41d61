#include "FolderBackupRun.h"

#include "AsNobody.h"
#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "RunGuard.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class FolderBackupRunTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPlatform platform;
    FakeBackupHost host;
    BackupSettings settings;
    std::string backups = dir / "backups";

    void SetUp() override
    {
        TestFiles::makeFolder(backups);
        settings.BackupDir = backups;
        settings.NacinBackupa = 1;
        platform.clock.set(2026, 12, 12);
    }

    RunReport run() { return RunFolderBackup(settings, host, platform.services); }

    std::vector<std::string> backupFolders() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(backups))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FolderBackupRunTest, CopiesEverySourceIntoItsDatedFolder)
{
    TestFiles::write(dir / "shop/Docs/racun.txt", "racun 1");
    TestFiles::write(dir / "shop/Docs/2026/dec.txt", "december");
    TestFiles::write(dir / "shop/Baza/baza.mdb", "db");
    host.folders = {dir / "shop/Docs", dir / "shop/Baza"};

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(report.backedUp, host.folders);
    EXPECT_EQ(backupFolders(), (std::vector<std::string>{"12_12_2026_Baza_backup", "12_12_2026_Docs_backup"}));
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup/2026/dec.txt"), "december");
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Baza_backup/baza.mdb"), "db");
    EXPECT_EQ(host.processEventsCalls, 2);
    EXPECT_EQ(host.busyPointer, (std::vector<bool>{true, false}));
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_FALSE(host.progressReports.empty());
}

struct RetentionCase
{
    const char* name;
    int brisati;
    int starost;
    std::vector<std::string> expectedLeft;
};

class FolderBackupRetentionTest : public FolderBackupRunTest, public ::testing::WithParamInterface<RetentionCase>
{};

TEST_P(FolderBackupRetentionTest, DeletesOnlyTheBackupOfExactlyStarostDaysAgo)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};
    for (const char* old : {"04_12_2026_Docs_backup", "05_12_2026_Docs_backup", "05_12_2026_Other_backup"})
        TestFiles::write(backups + "/" + old + "/old.txt", "old");
    TestFiles::write(backups + "/05_12_2026_Docs_backup.zip", "zip of the compressed mode");
    settings.Brisati = static_cast<std::int16_t>(GetParam().brisati);
    settings.Starost = static_cast<std::int16_t>(GetParam().starost);

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(backupFolders(), GetParam().expectedLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FolderBackupRetentionTest,
    ::testing::Values(RetentionCase{"SevenDays",
                                    1,
                                    7,
                                    {"04_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip", "05_12_2026_Other_backup",
                                     "12_12_2026_Docs_backup"}},
                      RetentionCase{"EightDays",
                                    1,
                                    8,
                                    {"05_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip", "05_12_2026_Other_backup",
                                     "12_12_2026_Docs_backup"}},
                      RetentionCase{"ZeroDays",
                                    1,
                                    0,
                                    {"04_12_2026_Docs_backup", "05_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip",
                                     "05_12_2026_Other_backup", "12_12_2026_Docs_backup"}},
                      RetentionCase{"NegativeDays",
                                    1,
                                    -7,
                                    {"04_12_2026_Docs_backup", "05_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip",
                                     "05_12_2026_Other_backup", "12_12_2026_Docs_backup"}},
                      RetentionCase{"DeletionOff",
                                    2,
                                    7,
                                    {"04_12_2026_Docs_backup", "05_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip",
                                     "05_12_2026_Other_backup", "12_12_2026_Docs_backup"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FolderBackupRunTest, OldBackupWithAReadOnlyFileIsKeptAndTheSourceReported)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Baza/b.txt", "b");
    host.folders = {dir / "shop/Docs", dir / "shop/Baza"};
    TestFiles::write(backups + "/05_12_2026_Docs_backup/locked.txt", "old");
    ::chmod((backups + "/05_12_2026_Docs_backup/locked.txt").c_str(), 0444);
    settings.Brisati = 1;
    settings.Starost = 7;

    const RunReport report = run();

    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].source, dir / "shop/Docs");
    EXPECT_NE(report.failed[0].reason.find("locked.txt"), std::string::npos);
    EXPECT_TRUE(fs::exists(backups + "/05_12_2026_Docs_backup/locked.txt"));
    EXPECT_EQ(report.backedUp, (std::vector<std::string>{dir / "shop/Baza"}));
}

TEST_F(FolderBackupRunTest, SecondRunOfTheDayMergesIntoTheSameFolder)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "first");
    TestFiles::write(dir / "shop/Docs/gone.txt", "gone later");
    host.folders = {dir / "shop/Docs"};
    run();
    TestFiles::write(dir / "shop/Docs/a.txt", "second");
    fs::remove(dir / "shop/Docs/gone.txt");
    run();
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup/a.txt"), "second");
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup/gone.txt"), "gone later");
}

TEST_F(FolderBackupRunTest, TwoSourcesWithTheSameLastNameShareOneFolder)
{
    TestFiles::write(dir / "A/Data/same.txt", "from A");
    TestFiles::write(dir / "A/Data/onlyA.txt", "A");
    TestFiles::write(dir / "B/Data/same.txt", "from B");
    host.folders = {dir / "A/Data", dir / "B/Data"};
    EXPECT_FALSE(run().hasFailures());
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Data_backup/same.txt"), "from B");
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Data_backup/onlyA.txt"), "A");
}

TEST_F(FolderBackupRunTest, EmptyEntryEndsTheListAndEmptyListStillRunsTheEndSteps)
{
    TestFiles::write(dir / "one/a.txt", "a");
    TestFiles::write(dir / "two/b.txt", "b");
    host.folders = {dir / "one", "", dir / "two"};
    settings.NacinBackupa = 2;
    run();
    EXPECT_EQ(backupFolders(), (std::vector<std::string>{"12_12_2026_one_backup"}));

    host.folders.clear();
    platform.messages.shown.clear();
    const RunReport report = run();
    EXPECT_TRUE(report.backedUp.empty());
    EXPECT_EQ(platform.messages.texts(), (std::vector<std::string>{"Izrada rezervne kopije je zavrsena"}));
    EXPECT_EQ(host.busyPointer.back(), false);
}

TEST_F(FolderBackupRunTest, UnsetDestinationTouchesNothingAndFailsEverySource)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs", dir / "shop/Other"};
    settings.BackupDir = "";
    settings.Brisati = 1;
    settings.Starost = 1;
    std::size_t rootEntries = 0;
    for (auto it = fs::directory_iterator("/"); it != fs::directory_iterator(); ++it)
        ++rootEntries;

    const RunReport report = run();

    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_NE(report.failed[0].reason.find("nije podesena"), std::string::npos);
    std::size_t rootAfter = 0;
    for (auto it = fs::directory_iterator("/"); it != fs::directory_iterator(); ++it)
        ++rootAfter;
    EXPECT_EQ(rootAfter, rootEntries);

    settings.BackupDir = dir / "usb-stick-not-plugged";
    EXPECT_EQ(run().failed.size(), 2u);
    EXPECT_FALSE(fs::exists(dir / "usb-stick-not-plugged"));
}

TEST_F(FolderBackupRunTest, UnreachableOrUnnamableSourcesAreReportedAndGetNoFolder)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "unplugged/share", "Docs", dir / "shop/Docs"};
    settings.BackupDir = backups;

    const RunReport report = run();

    ASSERT_EQ(report.failed.size(), 2u);
    EXPECT_EQ(report.failed[0].source, dir / "unplugged/share");
    EXPECT_EQ(report.failed[1].source, "Docs");
    EXPECT_EQ(backupFolders(), (std::vector<std::string>{"12_12_2026_Docs_backup"}));
    EXPECT_EQ(report.backedUp, (std::vector<std::string>{dir / "shop/Docs"}));
}

TEST_F(FolderBackupRunTest, FileNamedLikeTheBackupFolderFailsThatSource)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(backups + "/12_12_2026_Docs_backup", "a file in the way");
    host.folders = {dir / "shop/Docs"};
    const RunReport report = run();
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup"), "a file in the way");
}

TEST_F(FolderBackupRunTest, UnreadableFileFailsTheSourceButTheRestIsCopied)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Docs/private.txt", "secret");
    ::chmod((dir / "shop/Docs/private.txt").c_str(), 0000);
    for (const std::string& path : {dir.path(), dir / "shop", dir / "shop/Docs", backups})
        openToEverybody(path);
    host.folders = {dir / "shop/Docs"};

    const int code = runAsNobody([&] {
        const RunReport report = run();
        if (report.failed.size() != 1 || report.failed[0].files.size() != 1)
            return 1;
        if (report.failed[0].files[0].path != dir / "shop/Docs/private.txt")
            return 2;
        return TestFiles::read(backups + "/12_12_2026_Docs_backup/a.txt") == "a" ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(FolderBackupRunTest, RunPassingMidnightFilesLaterSourcesUnderTheNewDate)
{
    TestFiles::write(dir / "one/a.txt", "a");
    TestFiles::write(dir / "two/b.txt", "b");
    host.folders = {dir / "one", dir / "two"};
    platform.clock.set(2026, 12, 12, 23, 59, 59);
    int calls = 0;
    host.onProcessEvents = [&] {
        if (++calls == 2)
            platform.clock.set(2026, 12, 13, 0, 0, 1);
    };
    run();
    EXPECT_EQ(backupFolders(), (std::vector<std::string>{"12_12_2026_one_backup", "13_12_2026_two_backup"}));
}

TEST_F(FolderBackupRunTest, ListEditedDuringTheRunIsReadAsItIsWhenReached)
{
    TestFiles::write(dir / "one/a.txt", "a");
    TestFiles::write(dir / "two/b.txt", "b");
    TestFiles::write(dir / "three/c.txt", "c");
    host.folders = {dir / "one", dir / "two"};
    host.onProcessEvents = [&] {
        if (host.processEventsCalls == 1) {
            host.folders[1] = dir / "three";     // replaced before it was read
            host.folders.push_back(dir / "two"); // added after the bound was taken: not in this run
        }
    };
    run();
    EXPECT_EQ(backupFolders(), (std::vector<std::string>{"12_12_2026_one_backup", "12_12_2026_three_backup"}));
}

TEST_F(FolderBackupRunTest, SecondRunStartedWhileOneIsInProgressIsRefused)
{
    TestFiles::write(dir / "one/a.txt", "a");
    host.folders = {dir / "one"};
    std::optional<RunReport> nested;
    host.onProcessEvents = [&] {
        if (!nested)
            nested = RunFolderBackup(settings, host, platform.services);
    };
    const RunReport outer = run();
    ASSERT_TRUE(nested.has_value());
    EXPECT_TRUE(nested->refused);
    EXPECT_EQ(outer.backedUp.size(), 1u);
    EXPECT_EQ(host.finished.size(), 1u);
    EXPECT_FALSE(RunGuard::busy());
}

struct EndStepsCase
{
    const char* name;
    int nacin;
    int gasiti;
    int mreze;
    int expectedShutdowns;
    bool expectedMessage;
    std::vector<bool> expectedTimer2;
};

class FolderBackupEndStepsTest : public FolderBackupRunTest, public ::testing::WithParamInterface<EndStepsCase>
{};

TEST_P(FolderBackupEndStepsTest, FollowTheMode)
{
    const EndStepsCase& c = GetParam();
    settings.NacinBackupa = static_cast<std::int16_t>(c.nacin);
    settings.GasitiRacunar = static_cast<std::int16_t>(c.gasiti);
    settings.GasenjeRacunaraMreze = static_cast<std::int16_t>(c.mreze);
    run();
    EXPECT_EQ(platform.power.shutdowns, c.expectedShutdowns);
    EXPECT_EQ(platform.messages.shown.size(), c.expectedMessage ? 1u : 0u);
    EXPECT_EQ(host.timer2, c.expectedTimer2);
}

INSTANTIATE_TEST_SUITE_P(Modes, FolderBackupEndStepsTest,
                         ::testing::Values(EndStepsCase{"TimedShutsDown", 0, 1, 0, 1, false, {}},
                                           EndStepsCase{"TimedWithNetworkWaitsForTimer2", 0, 1, 1, 0, false, {true}},
                                           EndStepsCase{"TimedNoShutdown", 0, 0, 1, 0, false, {false}},
                                           EndStepsCase{"StartModeNeverShutsDown", 1, 1, 0, 0, false, {}},
                                           EndStepsCase{"ByHandShowsMessageOnly", 2, 1, 0, 0, true, {}},
                                           EndStepsCase{"ByHandMessageThenTimer2", 2, 0, 1, 0, true, {false}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FolderBackupRunTest, CompletionMessageNamesTheFoldersThatWereNotBackedUp)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs", dir / "unplugged"};
    settings.NacinBackupa = 2;
    run();
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    const std::string& text = platform.messages.shown[0].text;
    EXPECT_EQ(text.rfind("Izrada rezervne kopije je zavrsena\r\n\r\n"
                         "Nisu napravljene rezervne kopije  sledecih fascikli jer nisu bile dostupne\r\n" +
                             (dir / "unplugged") + ": ",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.find(dir / "shop/Docs"), std::string::npos);
}

} // namespace

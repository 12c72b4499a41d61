#include "ZipBackupRun.h"

#include "AsNobody.h"
#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "RunGuard.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "ZipReadBack.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class ZipBackupRunTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPlatform platform;
    FakeBackupHost host;
    BackupSettings settings;
    std::string backups = dir / "kopije";

    void SetUp() override
    {
        TestFiles::makeFolder(backups);
        settings.BackupDir = backups;
        settings.NacinBackupa = 1;
        settings.ZIPOVANJE = 1;
        platform.clock.set(2026, 12, 12);
    }

    RunReport run() { return RunZipBackup(settings, host, platform.services); }

    std::vector<std::string> backupNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(backups))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::set<std::string> archiveNames(const std::string& file) const
    {
        std::set<std::string> names;
        for (const ZipReadBack::Entry& entry : ZipReadBack::entries(backups + "/" + file))
            names.insert(entry.name);
        return names;
    }
};

TEST_F(ZipBackupRunTest, EverySourceGetsItsDatedArchiveAndTheEndStepsFollow)
{
    TestFiles::write(dir / "shop/Docs/racun.txt", "racun 1");
    TestFiles::write(dir / "shop/Baza/baza.mdb", "db");
    host.folders = {dir / "shop/Docs", dir / "shop/Baza"};
    settings.GasenjeRacunaraMreze = 1;

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(report.backedUp, host.folders);
    EXPECT_EQ(backupNames(), (std::vector<std::string>{"12_12_2026_Baza_backup.zip", "12_12_2026_Docs_backup.zip"}));
    EXPECT_EQ(archiveNames("12_12_2026_Docs_backup.zip"), (std::set<std::string>{"Docs/", "Docs/racun.txt"}));
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(backups + "/12_12_2026_Baza_backup.zip"));
    EXPECT_EQ(host.busyPointer, (std::vector<bool>{true, false}));
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_EQ(host.timer2, std::vector<bool>{false}) << "a compressed run switches the network shutdown on too";
    EXPECT_FALSE(host.progressReports.empty());
    EXPECT_EQ(host.progressReports.back().source, dir / "shop/Baza");
}

struct RetentionCase
{
    const char* name;
    int brisati;
    int starost;
    std::vector<std::string> expectedLeft;
};

class ZipRetentionTest : public ZipBackupRunTest, public ::testing::WithParamInterface<RetentionCase>
{};

TEST_P(ZipRetentionTest, DeletesOnlyTheArchiveOfExactlyStarostDaysAgoEvenWhenReadOnly)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};
    for (const char* old : {"04_12_2026_Docs_backup.zip", "05_12_2026_Docs_backup.zip", "05_12_2026_Baza_backup.zip"})
        TestFiles::write(backups + "/" + old, "old");
    ::chmod((backups + "/05_12_2026_Docs_backup.zip").c_str(), 0444);
    TestFiles::makeFolder(backups + "/05_12_2026_Docs_backup"); // the copy mode's folder of that day
    settings.Brisati = static_cast<std::int16_t>(GetParam().brisati);
    settings.Starost = static_cast<std::int16_t>(GetParam().starost);

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(backupNames(), GetParam().expectedLeft);
}

const std::vector<std::string> allLeft = {"04_12_2026_Docs_backup.zip", "05_12_2026_Baza_backup.zip",
                                          "05_12_2026_Docs_backup", "05_12_2026_Docs_backup.zip",
                                          "12_12_2026_Docs_backup.zip"};

INSTANTIATE_TEST_SUITE_P(Settings, ZipRetentionTest,
                         ::testing::Values(RetentionCase{"SevenDays",
                                                         1,
                                                         7,
                                                         {"04_12_2026_Docs_backup.zip", "05_12_2026_Baza_backup.zip",
                                                          "05_12_2026_Docs_backup", "12_12_2026_Docs_backup.zip"}},
                                           RetentionCase{"DeletionOff", 0, 7, allLeft},
                                           RetentionCase{"ZeroDays", 1, 0, allLeft},
                                           RetentionCase{"NegativeDays", 1, -7, allLeft}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZipBackupRunTest, AnOldArchiveThatCannotBeDeletedAbandonsItsSource)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(backups + "/05_12_2026_Docs_backup.zip", "old");
    host.folders = {dir / "shop/Docs"};
    settings.Brisati = 1;
    settings.Starost = 7;
    openToEverybody(dir.path()); // nobody may read everything but not delete in the backup folder

    const int code = runAsNobody([&] {
        const RunReport report = run();
        if (report.failed.size() != 1 || report.failed[0].reason.find("stara rezervna kopija nije obrisana") != 0)
            return 1;
        return TestFiles::exists(backups + "/12_12_2026_Docs_backup.zip") ? 2 : 0;
    });

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(TestFiles::exists(backups + "/05_12_2026_Docs_backup.zip"));
}

TEST_F(ZipBackupRunTest, SourcesWithTheSameLastNameShareOneArchiveUnderDistinctTopFolders)
{
    TestFiles::write(dir / "A/Docs/a.txt", "iz A");
    TestFiles::write(dir / "B/Docs/b.txt", "iz B");
    TestFiles::write(dir / "X/Ostalo/x.txt", "x");
    TestFiles::write(dir / "C/Docs/c.txt", "iz C");
    host.folders = {dir / "A/Docs", dir / "X/Ostalo", dir / "B/Docs", dir / "C/Docs"};

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(report.backedUp.size(), 4u);
    EXPECT_EQ(backupNames(), (std::vector<std::string>{"12_12_2026_Docs_backup.zip", "12_12_2026_Ostalo_backup.zip"}));
    EXPECT_EQ(
        archiveNames("12_12_2026_Docs_backup.zip"),
        (std::set<std::string>{"Docs/", "Docs/a.txt", "Docs (2)/", "Docs (2)/b.txt", "Docs (3)/", "Docs (3)/c.txt"}));
    ZipReadBack::extractWithPython(backups + "/12_12_2026_Docs_backup.zip", dir / "raspakovano");
    EXPECT_EQ(TestFiles::read(dir / "raspakovano/Docs (2)/b.txt"), "iz B");
}

TEST_F(ZipBackupRunTest, AnUnreachableSourceOfASharedArchiveKeepsTheOthersUnderTheirNames)
{
    TestFiles::write(dir / "B/Docs/b.txt", "iz B");
    host.folders = {dir / "nema/Docs", dir / "B/Docs"};
    settings.NacinBackupa = 2;

    const RunReport report = run();

    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].source, dir / "nema/Docs");
    EXPECT_EQ(report.backedUp, std::vector<std::string>{dir / "B/Docs"});
    EXPECT_EQ(archiveNames("12_12_2026_Docs_backup.zip"), (std::set<std::string>{"Docs (2)/", "Docs (2)/b.txt"}));
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].text.find(dir / "nema/Docs"), std::string::npos)
        << "the completion message names the folder that was not backed up";
}

TEST_F(ZipBackupRunTest, UnreadableFilesAndFoldersFailTheSourceWithTheirPathsWhileTheRestIsArchived)
{
    const std::string source = dir / "shop/Docs";
    TestFiles::write(source + "/a.txt", "a");
    TestFiles::write(source + "/zakljucano.txt", "tajna");
    TestFiles::write(source + "/zatvoreno/x.txt", "x");
    TestFiles::write(source + "/z/posljednja.txt", "z");
    ::chmod((source + "/zakljucano.txt").c_str(), 0000);
    ::chmod((source + "/zatvoreno").c_str(), 0000);
    host.folders = {source};
    settings.NacinBackupa = 2;
    openToEverybody(dir.path());
    openToEverybody(backups);

    const int code = runAsNobody([&] {
        const RunReport report = run();
        if (report.failed.size() != 1 || host.finished.size() != 1 || !host.finished[0].hasFailures())
            return 1;
        std::set<std::string> paths;
        for (const FileFailure& failure : report.failed[0].files) {
            if (failure.reason.find("Permission denied") == std::string::npos)
                return 2;
            paths.insert(failure.path);
        }
        if (paths != std::set<std::string>{source + "/zakljucano.txt", source + "/zatvoreno"})
            return 3;
        return platform.messages.texts().at(0).find(source) != std::string::npos ? 0 : 4;
    });

    ASSERT_EQ(code, 0);
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(backups + "/12_12_2026_Docs_backup.zip"));
    EXPECT_EQ(archiveNames("12_12_2026_Docs_backup.zip"),
              (std::set<std::string>{"Docs/", "Docs/a.txt", "Docs/zatvoreno/", "Docs/z/", "Docs/z/posljednja.txt"}));
}

TEST_F(ZipBackupRunTest, AnEmptyEntryEndsTheListAndAnEmptyListStillRunsTheEndSteps)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Baza/b.txt", "b");
    host.folders = {dir / "shop/Docs", "", dir / "shop/Baza"};
    settings.NacinBackupa = 2;

    EXPECT_EQ(run().backedUp, std::vector<std::string>{dir / "shop/Docs"});
    EXPECT_EQ(backupNames(), std::vector<std::string>{"12_12_2026_Docs_backup.zip"});

    host.folders.clear();
    const RunReport empty = run();
    EXPECT_TRUE(empty.backedUp.empty());
    EXPECT_EQ(host.finished.size(), 2u);
    EXPECT_EQ(platform.messages.texts(),
              (std::vector<std::string>{"Izrada rezervne kopije je zavrsena", "Izrada rezervne kopije je zavrsena"}));
}

TEST_F(ZipBackupRunTest, AMissingOrUnsetDestinationFailsEverySourceAndCreatesNothing)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs", "bez-separatora"};
    for (const std::string& destination : {dir / "nema", std::string()}) {
        settings.BackupDir = destination;
        const RunReport report = run();
        EXPECT_EQ(report.failed.size(), 2u) << destination;
        EXPECT_TRUE(report.backedUp.empty());
    }
    EXPECT_FALSE(TestFiles::exists(dir / "nema"));
    EXPECT_TRUE(backupNames().empty());
}

TEST_F(ZipBackupRunTest, ARunStartedWhileAnotherIsInProgressIsRefused)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};
    RunGuard other;

    const RunReport report = run();

    EXPECT_TRUE(report.refused);
    EXPECT_TRUE(backupNames().empty());
    EXPECT_TRUE(host.finished.empty());
}

} // namespace

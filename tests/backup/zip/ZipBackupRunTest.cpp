#include "ZipBackupRun.h"

#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "NoAccess.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "Utf8Path.h"
#include "ZipReadBack.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Names = std::multiset<std::string>;

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
        settings.NacinBackupa = 2;
        platform.clock.set(2026, 12, 12);
    }

    RunReport run() { return RunZipBackup(settings, host, platform.services); }
};

TEST_F(ZipBackupRunTest, SameNamedSourcesShareOneArchiveUnderDistinctTopFoldersAndNothingIsMadeWithoutADestination)
{
    TestFiles::write(dir / "A/Docs/a.txt", "iz A");
    TestFiles::write(dir / "B/Docs/a.txt", "iz B");
    TestFiles::makeFolder(dir / "E/Prazno");
    TestFiles::write(dir / "C/Kasno/k.txt", "after the end of the list");
    host.folders = {dir / "A/Docs", dir / "E/Prazno", dir / "B/Docs", dir / "nema/Docs", "", dir / "C/Kasno"};
    settings.GasenjeRacunaraMreze = 1;

    const RunReport report = run();

    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].source, dir / "nema/Docs");
    EXPECT_EQ(report.backedUp.size(), 3u);
    EXPECT_EQ(TestFiles::names(backups),
              (std::vector<std::string>{"12_12_2026_Docs_backup.zip", "12_12_2026_Prazno_backup.zip"}));
    EXPECT_EQ(ZipReadBack::unzipNames(backups + "/12_12_2026_Prazno_backup.zip"), Names{"Prazno/"});
    ZipReadBack::extract(backups + "/12_12_2026_Docs_backup.zip", dir / "raspakovano");
    EXPECT_EQ(ZipReadBack::treeContents(dir / "raspakovano"),
              (std::map<std::string, std::string>{
                  {"Docs", "<folder>"}, {"Docs/a.txt", "iz A"}, {"Docs (2)", "<folder>"}, {"Docs (2)/a.txt", "iz B"}}));

    EXPECT_EQ(host.busyPointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.timer2, std::vector<bool>{false});
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].find(dir / "nema/Docs"), std::string::npos)
        << "the completion message names the folder that was not backed up";

    // A destination that is missing or unset fails every source and creates nothing.
    for (const std::string& destination : {dir / "nema", std::string()}) {
        settings.BackupDir = destination;
        EXPECT_EQ(run().failed.size(), 4u) << destination;
    }
    EXPECT_FALSE(TestFiles::exists(dir / "nema"));
}

TEST_F(ZipBackupRunTest, OnlyTheArchiveOfExactlyStarostDaysAgoIsDeletedEvenWhenReadOnly)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};
    const std::string due = backups + "/05_12_2026_Docs_backup.zip";
    using Case = std::tuple<int, int, bool>; // Brisati, Starost, whether the archive of 05_12 goes
    for (const auto& [brisati, starost, deleted] :
         {Case{1, 7, true}, Case{0, 7, false}, Case{1, 0, false}, Case{1, 6, false}}) {
        ASSERT_TRUE(platform.fileSystem.removeTree(backups, RemoveMode::Forced)); // read-only archives too
        TestFiles::makeFolder(backups + "/05_12_2026_Docs_backup");               // the copy mode's folder of that day
        for (const char* old :
             {"04_12_2026_Docs_backup.zip", "05_12_2026_Docs_backup.zip", "05_12_2026_Baza_backup.zip"})
            TestFiles::write(backups + "/" + old, "old");
        fs::permissions(Utf8Path::toPath(due), fs::perms::owner_read);
        settings.Brisati = static_cast<std::int16_t>(brisati);
        settings.Starost = static_cast<std::int16_t>(starost);

        EXPECT_FALSE(run().hasFailures());

        // Today's archive, and every other archive and folder, stay.
        EXPECT_EQ(TestFiles::names(backups).size(), deleted ? 4u : 5u)
            << "Brisati " << brisati << ", Starost " << starost;
        EXPECT_EQ(TestFiles::exists(due), !deleted) << "Brisati " << brisati << ", Starost " << starost;
    }
}

TEST_F(ZipBackupRunTest, UnreadableFilesAndFoldersFailTheSourceWithTheirPathsWhileTheRestIsArchived)
{
    const std::string source = dir / "shop/Docs";
    TestFiles::write(source + "/a.txt", "a");
    TestFiles::write(source + "/zakljucano.txt", "tajna");
    TestFiles::write(source + "/zatvoreno/x.txt", "x");
    TestFiles::write(source + "/z/posljednja.txt", "z");
    host.folders = {source};

    // The run tells by its exit code what it found (on Linux it runs as another user: root reads everything).
    const int code = runWithoutAccess(dir.path(), {source + "/zakljucano.txt", source + "/zatvoreno"}, [&] {
        const RunReport report = run();
        if (report.failed.size() != 1)
            return 1;
        Names paths;
        for (const FileFailure& failure : report.failed[0].files)
            paths.insert(failure.path);
        return paths == Names{dir / "shop/Docs/zakljucano.txt", dir / "shop/Docs/zatvoreno"} ? 0 : 2;
    });

    ASSERT_EQ(code, 0);
    EXPECT_EQ(ZipReadBack::unzipNames(backups + "/12_12_2026_Docs_backup.zip"),
              (Names{"Docs/", "Docs/a.txt", "Docs/zatvoreno/", "Docs/z/", "Docs/z/posljednja.txt"}));
}

} // namespace

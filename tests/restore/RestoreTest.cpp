#include "BackupDays.h"
#include "BackupSource.h"
#include "BackupTree.h"
#include "ChunkDeflater.h"
#include "RestorePlan.h"
#include "RestoreRun.h"
#include "RestoreTargets.h"
#include "RestoreTexts.h"
#include "RunCancellation.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "Utf8Path.h"
#include "ZipArchiveWriter.h"
#include "ZipFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "WideText.h"
#include <windows.h>
#else
#include <cstring>
#include <sys/mount.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

constexpr year_month_day day6{year(2026), month(12), std::chrono::day(6)};
constexpr std::int64_t backupTime = 1796000000; // whole seconds: an archive keeps no finer time
const std::string cyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD1\x86\xD0\xB5\xD0\xBD\xD0\xB5.txt";
const std::string longName = std::string(200, 'n') + ".txt";

using TestFiles::noise;

/// Restores all of the only backup in `backups` to `target`.
RestoreOutcome restoreWhole(FileSystem& disk, const std::string& backups, const std::string& target,
                            DifferentFiles different = DifferentFiles::KeepBoth)
{
    const BackupDayList days = listBackupDays(disk, backups, std::nullopt);
    const BackupTree backup(disk, backupsOfDay(disk, days.days.at(0)).sources.at(0));
    return carryOutRestore(disk, backup, planRestore(disk, backup, {""}, target, RestorePlacement::OriginalPlace),
                           different);
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

/// A destination with one backup of the shop's folder "Dokumenti" from 06.12.2026, as a folder or an archive.
class RestoreTest : public ::testing::TestWithParam<bool>
{
protected:
    bool archive() const { return GetParam(); }

    void SetUp() override
    {
        const std::map<std::string, std::string> files = {
            {"cjenik.txt", "cijene iz subote"}, {"stanje.txt", "stanje u subotu"},     {"isto.txt", "nepromijenjeno"},
            {"racuni/2026/r1.txt", "racun 1"},  {"racuni/2026/r2.bin", noise(300000)}, {"racuni/" + cyrillic, "ru"},
            {"racuni/" + longName, "dugo ime"}};
        for (const auto& [name, content] : files) {
            TestFiles::write(dir / ("live/Dokumenti/" + name), content);
            TestFiles::setModified(dir / ("live/Dokumenti/" + name), backupTime);
        }
        TestFiles::makeFolder(dir / "backups");
        if (archive()) {
            const ZipOutcome zipped =
                ZipFolder(disk, dir / "live/Dokumenti", dir / "backups/06_12_2026_Dokumenti_backup");
            ASSERT_TRUE(zipped.archive.ok()) << zipped.archive.error();
        } else {
            TestFiles::makeFolder(dir / "backups/06_12_2026_Dokumenti_backup");
            ASSERT_TRUE(disk.copyTreeContents(dir / "live/Dokumenti", dir / "backups/06_12_2026_Dokumenti_backup", {})
                            .complete());
        }
    }

    BackupTree tree()
    {
        const BackupDayList days = listBackupDays(disk, dir / "backups", std::nullopt);
        EXPECT_EQ(days.days.size(), 1u);
        DayBackups backups = backupsOfDay(disk, days.days.at(0));
        EXPECT_EQ(backups.sources.size(), 1u);
        return BackupTree(disk, backups.sources.at(0));
    }

    RestoreOutcome restore(const std::vector<std::string>& selected, DifferentFiles different,
                           RestorePlacement placement = RestorePlacement::OriginalPlace, std::string target = {})
    {
        const BackupTree backup = tree();
        const RestorePlan plan =
            planRestore(disk, backup, selected, target.empty() ? dir / "live/Dokumenti" : target, placement);
        lastPlan = plan;
        return carryOutRestore(disk, backup, plan, different);
    }

    std::int64_t modified(const std::string& path) { return disk.statFile(path).value().modifiedNs / 1000000000; }

    TempDir dir;
    SystemFileSystem disk;
    RestorePlan lastPlan;
};

TEST_P(RestoreTest, BringsBackWhatIsMissingAndNeverOverwritesUnasked)
{
    fs::remove(Utf8Path::toPath(dir / "live/Dokumenti/cjenik.txt"));
    fs::remove_all(Utf8Path::toPath(dir / "live/Dokumenti/racuni"));
    TestFiles::write(dir / "live/Dokumenti/stanje.txt", "stanje u ponedjeljak");
    TestFiles::write(dir / "live/Dokumenti/novo.txt", "napravljeno poslije");

    const RestoreOutcome outcome = restore({""}, DifferentFiles::KeepBoth);
    EXPECT_TRUE(outcome.complete()) << joined(restoreFailureLines(outcome));
    EXPECT_EQ(lastPlan.newFiles, 5u);
    EXPECT_EQ(lastPlan.sameFiles, 1u);
    EXPECT_EQ(lastPlan.differentFiles, 1u);
    EXPECT_EQ(outcome.written + outcome.beside + outcome.leftAlone, 7u);
    const std::map<std::string, std::string> live = TestFiles::tree(dir / "live/Dokumenti");
    EXPECT_EQ(live.at("cjenik.txt"), "cijene iz subote");
    EXPECT_EQ(live.at("stanje.txt"), "stanje u ponedjeljak");
    EXPECT_EQ(live.at("stanje (06.12.2026).txt"), "stanje u subotu");
    EXPECT_EQ(live.at("novo.txt"), "napravljeno poslije");
    EXPECT_EQ(live.at("racuni/2026/r2.bin"), noise(300000));
    EXPECT_EQ(live.at("racuni/" + cyrillic), "ru");
    EXPECT_EQ(live.at("racuni/" + longName), "dugo ime");
    EXPECT_EQ(live.size(), 11u) << "no temporary file is left";
    for (const char* name : {"cjenik.txt", "stanje (06.12.2026).txt", "racuni/2026/r1.txt"})
        EXPECT_EQ(modified(dir / ("live/Dokumenti/" + std::string(name))), backupTime) << name;

    // Asked again: everything is there, nothing is written, not even a second copy beside the changed file.
    const RestoreOutcome again = restore({""}, DifferentFiles::KeepBoth);
    EXPECT_TRUE(again.complete());
    EXPECT_EQ(lastPlan.sameFiles, 7u);
    EXPECT_EQ(again.leftAlone, 7u);
    EXPECT_EQ(TestFiles::tree(dir / "live/Dokumenti").size(), 11u);
}

TEST_P(RestoreTest, ReplacesOnlyWhenToldAndRestoresIntoAChosenFolder)
{
    TestFiles::write(dir / "live/Dokumenti/stanje.txt", "stanje u ponedjeljak");
    RestoreOutcome outcome = restore({"stanje.txt", "racuni/2026"}, DifferentFiles::Replace);
    EXPECT_TRUE(outcome.complete()) << joined(restoreFailureLines(outcome));
    EXPECT_EQ(outcome.replaced, 1u);
    EXPECT_EQ(TestFiles::read(dir / "live/Dokumenti/stanje.txt"), "stanje u subotu");
    EXPECT_FALSE(TestFiles::exists(dir / "live/Dokumenti/stanje (06.12.2026).txt"));

    TestFiles::makeFolder(dir / "elsewhere");
    outcome =
        restore({"racuni/2026", "isto.txt"}, DifferentFiles::KeepBoth, RestorePlacement::IntoFolder, dir / "elsewhere");
    EXPECT_TRUE(outcome.complete()) << joined(restoreFailureLines(outcome));
    EXPECT_EQ(TestFiles::files(dir / "elsewhere"),
              (std::vector<std::string>{"2026/r1.txt", "2026/r2.bin", "isto.txt"}));
}

TEST_P(RestoreTest, AFileThatCannotBeReplacedIsNamedAndTheRestGoesOn)
{
    struct Case
    {
        const char* what;
        std::function<void(const std::string&)> prepare;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"read-only", [](const std::string& path) { fs::permissions(Utf8Path::toPath(path), fs::perms::owner_read); },
         RestoreTexts::readOnlyTarget},
        {"a folder in the way",
         [](const std::string& path) {
             fs::remove(Utf8Path::toPath(path));
             TestFiles::makeFolder(path);
         },
         RestoreTexts::folderInTheWay},
    };
    for (const Case& test : cases) {
        const std::string stanje = dir / "live/Dokumenti/stanje.txt";
        TestFiles::write(dir / "live/Dokumenti/cjenik.txt", "promijenjen");
        TestFiles::write(stanje, "stanje u ponedjeljak");
        test.prepare(stanje);
        const RestoreOutcome outcome = restore({"stanje.txt", "cjenik.txt"}, DifferentFiles::Replace);
        ASSERT_EQ(outcome.failures.size(), 1u) << test.what;
        EXPECT_EQ(outcome.failures[0].path, stanje) << test.what;
        EXPECT_EQ(outcome.failures[0].reason, test.reason) << test.what;
        EXPECT_EQ(TestFiles::read(dir / "live/Dokumenti/cjenik.txt"), "cijene iz subote") << test.what;
        fs::permissions(Utf8Path::toPath(stanje), fs::perms::owner_all);
        fs::remove_all(Utf8Path::toPath(stanje));
    }
}

TEST_P(RestoreTest, StopsBetweenFilesAndKeepsWhatWasPutInPlace)
{
    fs::remove_all(Utf8Path::toPath(dir / "live/Dokumenti"));
    const BackupTree backup = tree();
    const RestorePlan plan = planRestore(disk, backup, {""}, dir / "live/Dokumenti", RestorePlacement::OriginalPlace);
    const RestoreOutcome outcome = carryOutRestore(disk, backup, plan, DifferentFiles::KeepBoth, [](const auto& at) {
        if (at.filesDone == 2)
            RunCancellation::request();
    });
    EXPECT_TRUE(outcome.stopped);
    EXPECT_FALSE(RunCancellation::requested());
    const std::vector<std::string> restored = TestFiles::files(dir / "live/Dokumenti");
    EXPECT_GE(restored.size(), 1u);
    EXPECT_LT(restored.size(), 7u);
    for (const std::string& name : restored)
        EXPECT_EQ(name.find("kopirko-tmp"), std::string::npos) << name;
}

INSTANTIATE_TEST_SUITE_P(FolderAndArchive, RestoreTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Archive" : "Folder"; });

TEST(BackupDaysTest, ListsTheDatedFoldersAndArchivesNewestFirst)
{
    TempDir dir;
    SystemFileSystem disk;
    for (const char* folder : {"06_12_2026_Racuni_backup", "06_12_2026_Kopirko_backup", "04_12_2026__backup",
                               "31_02_2026_Racuni_backup", "Racuni_backup", "06_12_2026_Racuni_backup.zip"})
        TestFiles::makeFolder(dir / folder);
    for (const char* file : {"05_12_2026_Dokumenti_backup.zip", "05_12_2026_Dokumenti_backup", "biljeske.txt",
                             ".05_12_2026_Dokumenti_backup.zip.kopirko-tmp-1-1"})
        TestFiles::write(dir / file, "x");

    const BackupDayList list = listBackupDays(disk, dir.path(), year_month_day{year(2026), month(12), day(5)});
    EXPECT_TRUE(list.error.empty());
    ASSERT_EQ(list.days.size(), 3u);
    EXPECT_EQ(list.days[0].date, day6);
    EXPECT_EQ(list.days[0].places,
              (std::vector<std::string>{dir / "06_12_2026_Kopirko_backup", dir / "06_12_2026_Racuni_backup"}));
    EXPECT_TRUE(list.days[0].notWhole);
    EXPECT_EQ(list.days[1].places, std::vector<std::string>{dir / "05_12_2026_Dokumenti_backup.zip"});
    EXPECT_FALSE(list.days[1].notWhole);
    EXPECT_EQ(list.days[2].places, std::vector<std::string>{dir / "04_12_2026__backup"});
    EXPECT_FALSE(listBackupDays(disk, dir.path(), std::nullopt).days[0].notWhole);
}

TEST(BackupDaysTest, ASharedArchiveGivesEachFolderItsOwnBackup)
{
    TempDir dir;
    SystemFileSystem disk;
    TestFiles::write(dir / "prodavnica/Dokumenti/a.txt", "prva");
    TestFiles::write(dir / "kancelarija/Dokumenti/pod/b.txt", "druga!");
    TestFiles::makeFolder(dir / "backups");
    const std::vector<std::string> listed = {dir / "prodavnica/Dokumenti", dir / "kancelarija/Dokumenti",
                                             dir / "Racuni"};
    ASSERT_TRUE(ZipFolders(disk, {{listed[0], "Dokumenti"}, {listed[1], "Dokumenti (2)"}},
                           dir / "backups/06_12_2026_Dokumenti_backup")
                    .archive.ok());
    TestFiles::write(dir / "backups/05_12_2026_Dokumenti_backup.zip", "no archive at all");

    const BackupDayList days = listBackupDays(disk, dir / "backups", std::nullopt);
    ASSERT_EQ(days.days.size(), 2u);
    const DayBackups backups = backupsOfDay(disk, days.days[0]);
    ASSERT_EQ(backups.sources.size(), 2u);
    EXPECT_EQ(backups.sources[0].name, "Dokumenti");
    EXPECT_EQ(backups.sources[1].name, "Dokumenti (2)");
    const BackupFolderContents second = BackupTree(disk, backups.sources[1]).children("");
    ASSERT_EQ(second.items.size(), 1u);
    EXPECT_TRUE(second.items[0].folder);
    const BackupFolderContents inside = BackupTree(disk, backups.sources[1]).children("pod");
    ASSERT_EQ(inside.items.size(), 1u);
    EXPECT_EQ(inside.items[0].relative, "pod/b.txt");
    EXPECT_EQ(inside.items[0].size, 6u);
    EXPECT_EQ(foldersOfBackup("Dokumenti (2)", true, listed), std::vector<std::string>{listed[1]});
    EXPECT_EQ(foldersOfBackup("dokumenti", true, listed), std::vector<std::string>{listed[0]});
    EXPECT_EQ(foldersOfBackup("Dokumenti", false, listed), (std::vector<std::string>{listed[0], listed[1]}));

    const DayBackups damaged = backupsOfDay(disk, days.days[1]);
    EXPECT_TRUE(damaged.sources.empty());
    ASSERT_EQ(damaged.unreadable.size(), 1u);
    EXPECT_NE(damaged.unreadable[0].reason.find(RestoreTexts::unreadableArchive), std::string::npos);
}

TEST(ArchiveRestoreTest, AnEntryDamagedInTheMiddleIsNamedAndTheRestRestored)
{
    TempDir dir;
    SystemFileSystem disk;
    TestFiles::write(dir / "live/Docs/a.txt", "prvi");
    TestFiles::write(dir / "live/Docs/b.bin", noise(200000));
    TestFiles::write(dir / "live/Docs/c.txt", "treci");
    TestFiles::makeFolder(dir / "backups");
    ASSERT_TRUE(ZipFolder(disk, dir / "live/Docs", dir / "backups/06_12_2026_Docs_backup").archive.ok());
    std::string bytes = TestFiles::read(dir / "backups/06_12_2026_Docs_backup.zip");
    const std::size_t header = bytes.find("Docs/b.bin");
    ASSERT_NE(header, std::string::npos);
    for (std::size_t at = header + 50000; at < header + 50100; ++at)
        bytes[at] = static_cast<char>(~bytes[at]);
    TestFiles::write(dir / "backups/06_12_2026_Docs_backup.zip", bytes);
    fs::remove_all(Utf8Path::toPath(dir / "live/Docs"));

    const RestoreOutcome outcome = restoreWhole(disk, dir / "backups", dir / "live/Docs");
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_NE(outcome.failures[0].reason.find("Docs/b.bin"), std::string::npos) << outcome.failures[0].reason;
    EXPECT_NE(outcome.failures[0].reason.find(RestoreTexts::damagedEntry), std::string::npos);
    EXPECT_EQ(TestFiles::files(dir / "live/Docs"), (std::vector<std::string>{"a.txt", "c.txt"}));
}

/// An archive of `entries`, stored, under their names as they are given: as any program may have written them.
void writeArchive(FileSystem& disk, const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& entries)
{
    ZipArchiveWriter writer;
    ASSERT_TRUE(writer.open(disk, path));
    for (const auto& [name, data] : entries) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        ASSERT_TRUE(writer.beginFile({name, backupTime, 0644}, ZipMethod::Stored, data.size()));
        ASSERT_TRUE(writer.writeData(bytes, data.size()));
        ASSERT_TRUE(writer.endFile(data.size(), ChunkDeflater::crc32(0, bytes, data.size())));
    }
    ASSERT_TRUE(writer.close());
}

TEST(ArchiveRestoreTest, NamesThatWouldLeadOutOfTheTargetAreSkippedAndNamed)
{
    TempDir dir;
    SystemFileSystem disk;
    TestFiles::makeFolder(dir / "backups");
    writeArchive(disk, dir / "backups/06_12_2026_Docs_backup.zip",
                 {{"Docs/ok.txt", "dobro"},
                  {"Docs/../../izvan.txt", "van"},
                  {"Docs//apsolutno.txt", "van"},
                  {"Docs/a/../../izvan2.txt", "van"},
                  {"Docs/ok.txt", "drugi zapis"}});
    const RestoreOutcome outcome = restoreWhole(disk, dir / "backups", dir / "live/Docs");
    EXPECT_EQ(TestFiles::files(dir.path()),
              (std::vector<std::string>{"backups/06_12_2026_Docs_backup.zip", "live/Docs/ok.txt"}));
    EXPECT_EQ(TestFiles::read(dir / "live/Docs/ok.txt"), "dobro");
    ASSERT_EQ(outcome.failures.size(), 4u) << joined(restoreFailureLines(outcome));
    for (const FileFailure& failure : outcome.failures)
        EXPECT_NE(failure.path.find("06_12_2026_Docs_backup.zip: Docs/"), std::string::npos) << failure.path;
}

TEST(RestoreNamesTest, TheRestoredCopyBesideCarriesTheDay)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"stanje.txt", "stanje (06.12.2026).txt"},
        {"arhiva.tar.gz", "arhiva.tar (06.12.2026).gz"},
        {".podesavanja", ".podesavanja (06.12.2026)"},
        {"bez tacke", "bez tacke (06.12.2026)"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(besideName(name, day6), expected);
    EXPECT_EQ(besideName("stanje.txt", day6, 2), "stanje (06.12.2026) (2).txt");
    const std::string shortened = besideName(std::string(250, 'x') + ".txt", day6);
    EXPECT_LE(shortened.size(), 255u);
    EXPECT_EQ(shortened.substr(shortened.size() - 17), " (06.12.2026).txt");
}

#ifdef _WIN32
TEST(HeldFileTest, AFileAProgramHoldsIsNotReplacedAndTheUserIsToldToCloseIt)
{
    TempDir dir;
    SystemFileSystem disk;
    TestFiles::write(dir / "live/Kasa/tezga.mdb", "jucerasnja");
    TestFiles::makeFolder(dir / "backups/06_12_2026_Kasa_backup");
    TestFiles::write(dir / "backups/06_12_2026_Kasa_backup/tezga.mdb", "subotnja baza");
    const HANDLE held = ::CreateFileW(WideText::longPath(dir / "live/Kasa/tezga.mdb").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const RestoreOutcome outcome = restoreWhole(disk, dir / "backups", dir / "live/Kasa", DifferentFiles::Replace);
    ::CloseHandle(held);
    EXPECT_TRUE(outcome.heldByProgram) << joined(restoreFailureLines(outcome));
    EXPECT_EQ(restoreFailureLines(outcome).back(), RestoreTexts::closeTheProgram);
    EXPECT_EQ(TestFiles::read(dir / "live/Kasa/tezga.mdb"), "jucerasnja");
}
#else
TEST(FullDiskTest, AFileThatDoesNotFitIsNamedAndTheOthersAreRestored)
{
    TempDir dir;
    SystemFileSystem disk;
    // The large file is copied beside the small ones and fills the disk while they are written: whatever order the
    // threads take, every small one must arrive.
    std::vector<std::string> small;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"}) {
        TestFiles::write(dir / ("backups/06_12_2026_Docs_backup/" + std::string(name)), noise(40 << 10));
        small.emplace_back(name);
    }
    TestFiles::write(dir / "backups/06_12_2026_Docs_backup/b_veliki.bin", noise(3 << 20));
    TestFiles::makeFolder(dir / "small");
    const std::string target = dir / "small";
    if (::mount("tmpfs", target.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
    const std::shared_ptr<void> unmount(nullptr, [&](void*) { ::umount2(target.c_str(), MNT_DETACH); });
    const RestoreOutcome outcome = restoreWhole(disk, dir / "backups", target);
    ASSERT_EQ(outcome.failures.size(), 1u) << joined(restoreFailureLines(outcome));
    EXPECT_EQ(outcome.failures[0].path, target + "/b_veliki.bin");
    EXPECT_NE(outcome.failures[0].reason.find("nema dovoljno mjesta"), std::string::npos) << outcome.failures[0].reason;
    EXPECT_EQ(TestFiles::names(target), small);
}
#endif

} // namespace

// The two runs over the folder list: copies (RunFolderBackup) and ZIP archives (RunZipBackup). A guarantee both
// give is checked for both (BothRunsTest); archives are read back by readers other than our writer (ZipReadBack.h).
#include "BackupRunFixture.h"

#include "ProcessIds.h"
#include "RunGuard.h"
#include "Utf8Path.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#ifdef _WIN32
#include "OwnedHandle.h"
#include "WideText.h"
#else
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

/// Runs `work` while `paths` (below the test's folder `root`) cannot be read by it, and gives back its result; 125
/// when the access could not be taken away. On Linux `work` runs in a child process as "nobody" (root ignores
/// permission bits), with everything below `root` open to all and `paths` closed to all. On Windows it runs here
/// while the test holds `paths` open without sharing, as a program that keeps its files locked does.
int runWithoutAccess([[maybe_unused]] const std::string& root, const std::vector<std::string>& paths,
                     const std::function<int()>& work)
{
#ifdef _WIN32
    std::vector<OwnedHandle> held;
    for (const std::string& path : paths)
        if (!held.emplace_back(::CreateFileW(WideText::longPath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS, nullptr)))
            return 125;
    return work();
#else
    std::error_code error;
    ::chmod(root.c_str(), 0777);
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error))
        if (!it->is_symlink())
            ::chmod(it->path().c_str(), it->is_directory() ? 0777 : 0666);
    for (const std::string& path : paths)
        ::chmod(path.c_str(), 0000);
    const pid_t child = ::fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
                                 ::setresuid(nobody, nobody, nobody) != 0))
            ::_exit(125);
        ::_exit(work());
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 126;
#endif
}

/// `path` in a form the test's own file functions take beyond 260 characters on Windows, and with every name as it
/// stands ("\\?\" there); as it is elsewhere.
std::string unlimited(const std::string& path)
{
#ifdef _WIN32
    return "\\\\?\\" + path;
#else
    return path;
#endif
}

/// Whether any of `names` holds `part` (".kopirko-tmp-": a temporary file; ".kopirko-": that or a run's mark).
bool anyWith(const Names& names, const std::string& part)
{
    return std::any_of(names.begin(), names.end(), [&](auto& f) { return f.find(part) != f.npos; });
}

INSTANTIATE_TEST_SUITE_P(Runs, BothRunsTest, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Zip" : "Copy"); });

TEST_F(BackupRunTest, CopiesEverySourceIntoItsDatedFolderWhereASecondRunAndASameNamedSourceMerge)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "first");
    TestFiles::write(dir / "shop/Docs/2026/gone.txt", "gone later");
    TestFiles::write(dir / "shop/Baza/baza.mdb", "db");
    host.folders = {dir / "shop/Docs", dir / "shop/Baza"};

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures());
    EXPECT_EQ(report.backedUp, host.folders);
    EXPECT_EQ(backupFolders(), (Names{"12_12_2026_Baza_backup", "12_12_2026_Docs_backup"}));
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Baza_backup/baza.mdb"), "db");
    EXPECT_EQ(host.busyPointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(host.finished.size(), 1u);
    EXPECT_FALSE(host.progressReports.empty());

    // A second run of the day overwrites and keeps what the source no longer has; another Docs joins in.
    TestFiles::write(dir / "shop/Docs/a.txt", "second");
    fs::remove(Utf8Path::toPath(dir / "shop/Docs/2026/gone.txt"));
    TestFiles::write(dir / "other/Docs/b.txt", "from the other Docs");
    host.folders = {dir / "shop/Docs", dir / "other/Docs"};
    EXPECT_FALSE(run().hasFailures());
    EXPECT_EQ(TestFiles::files(backups + "/12_12_2026_Docs_backup"), (Names{"2026/gone.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup/a.txt"), "second");
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Docs_backup/b.txt"), "from the other Docs");
}

// Only the backup of exactly Starost days ago is deleted: not an older one, not another source's, not one of the
// other mode, and nothing when deletion is off or Starost is not positive. A copy that holds a read-only file
// stays, and its source is reported while the others are backed up; a read-only archive goes all the same.
TEST_P(BothRunsTest, DeletesOnlyTheBackupOfExactlyStarostDaysAgo)
{
    const Names old = {"04_12_2026_Docs_backup",     "04_12_2026_Docs_backup.zip", "05_12_2026_Docs_backup",
                       "05_12_2026_Docs_backup.zip", "05_12_2026_Other_backup",    "05_12_2026_Other_backup.zip"};
    // Brisati, Starost, the date of the backup that goes.
    const std::tuple<std::int16_t, std::int16_t, std::string> cases[] = {{1, 7, "05_12"}, {1, 8, "04_12"}, {1, 0, ""},
                                                                         {1, -7, ""},     {0, 7, ""},      {2, 7, ""}};
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};
    for (const auto& [brisati, starost, deleted] : cases) {
        for (const std::string& name : old)
            TestFiles::write(backups + "/" + name + (name.ends_with(".zip") ? "" : "/old.txt"), "old");
        settings.Brisati = brisati;
        settings.Starost = starost;
        EXPECT_FALSE(run().hasFailures());
        Names expected = old;
        expected.push_back("12_12_2026_Docs_backup" + ext);
        std::sort(expected.begin(), expected.end());
        std::erase(expected, deleted + "_2026_Docs_backup" + ext);
        EXPECT_EQ(backupFolders(), expected) << "Brisati " << brisati << ", Starost " << starost;
    }

    TestFiles::write(dir / "shop/Baza/b.txt", "b");
    host.folders.push_back(dir / "shop/Baza");
    const std::string readOnly = backups + "/05_12_2026_Docs_backup" + (zip ? ".zip" : "/old.txt");
    fs::permissions(Utf8Path::toPath(readOnly), fs::perms::owner_read);
    settings.Brisati = 1;
    settings.Starost = 7;
    const RunReport report = run();
    EXPECT_EQ(TestFiles::exists(readOnly), !zip);
    EXPECT_EQ(failedSources(report), zip ? Names{} : Names{dir / "shop/Docs"});
    EXPECT_EQ(report.backedUp.back(), dir / "shop/Baza");
    for (const SourceFailure& failure : report.failed) // the copy's, which names the read-only file
        EXPECT_NE(failure.reason.find("old.txt"), std::string::npos) << failure.reason;
}

TEST_P(BothRunsTest, EmptyEntryEndsTheListAndEmptyListStillRunsTheEndSteps)
{
    TestFiles::write(dir / "one/a.txt", "a");
    TestFiles::write(dir / "two/b.txt", "b");
    host.folders = {dir / "one", "", dir / "two"};
    settings.NacinBackupa = 2;
    run();
    EXPECT_EQ(backupFolders(), (Names{"12_12_2026_one_backup" + ext}));

    host.folders.clear(); // nothing to back up is no good backup
    platform.messages.shown.clear();
    const RunReport report = run();
    EXPECT_TRUE(report.backedUp.empty() && report.hasFailures());
    EXPECT_EQ(platform.messages.shown, (Names{"Rezervna kopija nije izradjena.\r\n\r\n"
                                              "Na popisu nema nijedne fascikle za izradu rezervne kopije."}));
    EXPECT_EQ(host.busyPointer.back(), false);
}

// Every source that is not backed up is in the report and in the completion message; none gets a folder.
TEST_F(BackupRunTest, SourcesThatCannotBeBackedUpAreNamedAndGetNoFolder)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Baza/b.txt", "b");
    TestFiles::write(backups + "/12_12_2026_Baza_backup", "a file in the way");
    host.folders = {dir / "unplugged/share", "Docs", dir / "shop/Baza", dir / "shop/Docs"};
    settings.NacinBackupa = 2;

    const RunReport report = run();

    EXPECT_EQ(failedSources(report), (Names{dir / "unplugged/share", "Docs", dir / "shop/Baza"}));
    EXPECT_EQ(report.backedUp, (Names{dir / "shop/Docs"}));
    EXPECT_EQ(backupFolders(), (Names{"12_12_2026_Baza_backup", "12_12_2026_Docs_backup"}));
    EXPECT_EQ(TestFiles::read(backups + "/12_12_2026_Baza_backup"), "a file in the way");
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_EQ(platform.messages.shown[0].rfind("Izrada rezervne kopije je zavrsena\r\n\r\n"
                                               "Nisu napravljene rezervne kopije  sledecih fascikli jer nisu "
                                               "bile dostupne\r\n" +
                                                   (dir / "unplugged/share") + ": ",
                                               0),
              0u);
    EXPECT_EQ(platform.messages.shown[0].find(dir / "shop/Docs"), std::string::npos);
}

// With no destination, or one that is not there, every source fails and nothing is made (not at "/" either).
TEST_P(BothRunsTest, AMissingOrUnsetDestinationFailsEverySourceAndMakesNothing)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs", dir / "unplugged/share"};
    host.refusedFolders = {"/mnt/Docs\u2400"}; // refused when the list was loaded: named by every run
    settings.Brisati = 1;
    settings.Starost = 1;
    const Names root = TestFiles::names("/");
    for (const std::string& destination : {std::string(), dir / "usb-stick-not-plugged"}) {
        settings.BackupDir = destination;
        EXPECT_EQ(failedSources(run()), (Names{"/mnt/Docs\u2400", dir / "shop/Docs", dir / "unplugged/share"}));
    }
    EXPECT_EQ(TestFiles::names("/"), root);
    EXPECT_FALSE(TestFiles::exists(dir / "usb-stick-not-plugged"));
}

/// On Linux the file and the folder are closed to the user the run runs as; on Windows another program holds them.
TEST_P(BothRunsTest, UnreadableFileAndFolderFailTheSourceWithTheirPathsButTheRestIsBackedUp)
{
    for (const std::string file : {"a.txt", "locked.txt", "closed/inner.txt", "z/last.txt"})
        TestFiles::write(dir / ("shop/Docs/" + file), file);
    host.folders = {dir / "shop/Docs"};

    std::vector<FileFailure> failures;
    const int code = runWithoutAccess(dir.path(), {dir / "shop/Docs/locked.txt", dir / "shop/Docs/closed"}, [&] {
        const RunReport report = run();
        if (failedSources(report) != host.folders)
            return 1;
        failures = report.failed[0].files; // seen by this process only on Windows
        Names paths;
        for (const FileFailure& failure : failures)
            paths.push_back(failure.path);
        std::sort(paths.begin(), paths.end());
        return paths == Names{dir / "shop/Docs/closed", dir / "shop/Docs/locked.txt"} ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(backedUpFiles("Docs"), (Names{"a.txt", "z/last.txt"}));
#ifdef _WIN32
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE((failures[0].reason + failures[1].reason).find("u upotrebi je: drugi program ne dozvoljava pristup"),
              std::string::npos);
#endif
}

// Between two sources the window handles its events: a second run started there is refused, an edit of the list
// is for the next run, and a run passing midnight files the later sources under the new date.
TEST_F(BackupRunTest, WhatHappensBetweenTwoSourcesTakesEffect)
{
    for (const char* folder : {"one", "two", "three"})
        TestFiles::write(dir / (std::string(folder) + "/a.txt"), folder);
    host.folders = {dir / "one", dir / "two"};
    platform.clock.set(2026, 12, 12, 23, 59, 59);
    std::optional<RunReport> nested;
    host.onProcessEvents = [&] {
        if (host.processEventsCalls == 1) {
            nested = RunFolderBackup(settings, host, platform.services);
            host.folders[1] = dir / "three";
            host.folders.push_back(dir / "two");
        } else {
            platform.clock.set(2026, 12, 13, 0, 0, 1);
        }
    };
    const RunReport outer = run();
    ASSERT_TRUE(nested && nested->refused);
    EXPECT_EQ(outer.backedUp, (Names{dir / "one", dir / "two"}));
    EXPECT_EQ(host.finished.size(), 1u);
    EXPECT_FALSE(RunGuard::busy());
    EXPECT_EQ(backupFolders(), (Names{"12_12_2026_one_backup", "13_12_2026_two_backup"}));
}

// A failure that comes as an exception (here from the progress display, on the copy's worker threads) fails
// that source like any other and never ends the program.
TEST_F(BackupRunTest, ExceptionDuringACopyFailsTheSourceAndTheRunGoesOn)
{
    struct BrokenProgressHost : FakeBackupHost
    {
        void reportProgress(const RunProgress&) override { throw std::runtime_error("progress display broke"); }
    } brokenHost;
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Docs/b.txt", "b");
    TestFiles::makeLink("a.txt", dir / "shop/Docs/link", false); // where links can be made: one more file done
    brokenHost.folders = {dir / "shop/Docs", dir / "shop/Empty"};
    TestFiles::makeFolder(dir / "shop/Empty");

    const RunReport report = RunFolderBackup(settings, brokenHost, platform.services);

    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].source, dir / "shop/Docs");
    EXPECT_NE(report.failed[0].reason.find("progress display broke"), std::string::npos);
    EXPECT_EQ(report.backedUp, (Names{dir / "shop/Empty"}));
    EXPECT_FALSE(RunGuard::busy());
}

// Same-named folders share one archive under distinct top folders, and so do folders whose names differ only in case
// ("Dokumenti" on one computer, "dokumenti" on another): Windows' disks (and a share, FAT or exFAT disk mounted on
// Linux) take their archive names for one file, so the second archive would replace the first. The top folders'
// names stay apart when the archive is unpacked on Windows.
TEST_F(BackupRunTest, SameNamedSourcesAndNamesThatDifferOnlyInCaseShareOneArchiveUnderDistinctTopFolders)
{
    zip = true;
    TestFiles::write(dir / "A/Docs/a.txt", "iz A");
    TestFiles::write(dir / "B/Docs/a.txt", "iz B");
    TestFiles::write(dir / "C/docs/c.txt", "iz C");
    TestFiles::write(dir / "A/Магацин/m.txt", "iz A");
    TestFiles::write(dir / "B/МАГАЦИН/m.txt", "iz B");
    TestFiles::makeFolder(dir / "E/Prazno");
    host.folders = {dir / "A/Docs",    dir / "E/Prazno",  dir / "B/Docs",   dir / "C/docs",
                    dir / "nema/Docs", dir / "A/Магацин", dir / "B/МАГАЦИН"};
    settings.NacinBackupa = 2;

    const RunReport report = run();

    EXPECT_EQ(failedSources(report), Names{dir / "nema/Docs"});
    EXPECT_EQ(report.backedUp.size(), 6u);
    EXPECT_EQ(backupFolders(),
              (Names{"12_12_2026_Docs_backup.zip", "12_12_2026_Prazno_backup.zip", "12_12_2026_Магацин_backup.zip"}));
    EXPECT_EQ(ZipReadBack::unzipNames(backups + "/12_12_2026_Prazno_backup.zip"),
              std::multiset<std::string>{"Prazno/"});
    EXPECT_EQ(ZipReadBack::unzipNames(backups + "/12_12_2026_Магацин_backup.zip"),
              (std::multiset<std::string>{"Магацин/", "Магацин/m.txt", "МАГАЦИН (2)/", "МАГАЦИН (2)/m.txt"}));
    EXPECT_EQ(TestFiles::tree(unpacked(backups + "/12_12_2026_Docs_backup.zip")),
              (std::map<std::string, std::string>{{"Docs", "<folder>"},
                                                  {"Docs/a.txt", "iz A"},
                                                  {"Docs (2)", "<folder>"},
                                                  {"Docs (2)/a.txt", "iz B"},
                                                  {"docs (3)", "<folder>"},
                                                  {"docs (3)/c.txt", "iz C"}}));
    EXPECT_EQ(host.busyPointer, (std::vector<bool>{true, false}));
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_NE(platform.messages.shown[0].find(dir / "nema/Docs"), std::string::npos)
        << "the completion message names the folder that was not backed up";
}

// The reading of one file stands still (a hung share, a register path under /proc): it is given up after the
// limit, reported, and the run goes on; the thread it held leaves no temporary file when it is let go.
TEST_P(BothRunsTest, AFileWhoseReadingStandsStillIsGivenUpAndReportedAndTheRunGoesOn)
{
    for (const char* name : {"a.txt", "b/stoji.bin", "c.txt"})
        TestFiles::write(dir / (std::string("shop/Docs/") + name), std::string(3000, 'x'));
    host.folders = {dir / "shop/Docs", dir / "shop/Baza"};
    TestFiles::write(dir / "shop/Baza/baza.mdb", "db");
    platform.fileSystem.stallOn = "stoji.bin";
    // Not less: while other programs fill the disk, reading the other small files can wait a second or more on the
    // disk's journal, and they must not be given up as well.
    platform.fileSystem.limit = std::chrono::seconds(5);

    const RunReport report = run();

    ASSERT_EQ(failedSources(report), Names{dir / "shop/Docs"});
    ASSERT_EQ(report.failed[0].files.size(), 1u);
    EXPECT_EQ(report.failed[0].files[0].path, dir / "shop/Docs/b/stoji.bin");
    EXPECT_NE(report.failed[0].reason.find("citanje je stalo (5 s bez napretka)"), std::string::npos);
    EXPECT_EQ(report.backedUp, Names{dir / "shop/Baza"});
    EXPECT_EQ(backedUpFiles("Docs"), (Names{"a.txt", "c.txt"}));
    platform.fileSystem.release();
    EXPECT_FALSE(anyWith(TestFiles::files(backups), ".kopirko-tmp-"));
}

// While a large file is copied or compressed, its bytes are told as they go (a piece of 1 MiB at a time).
TEST_P(BothRunsTest, ProgressIsToldWithinALargeFile)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    TestFiles::write(dir / "shop/Docs/velika.bin", std::string(5 << 20, 'v'));
    host.folders = {dir / "shop/Docs"};

    ASSERT_FALSE(run().hasFailures());

    std::vector<std::uint64_t> within; // bytes told while velika.bin was under way
    for (const RunProgress& progress : host.progressReports)
        if (progress.currentFile == dir / "shop/Docs/velika.bin" && progress.filesDone < 2)
            within.push_back(progress.bytesDone);
    EXPECT_GE(std::set<std::uint64_t>(within.begin(), within.end()).size(), 4u);
    EXPECT_TRUE(std::is_sorted(within.begin(), within.end()));
    EXPECT_EQ(host.progressReports.back().filesDone, 2u);
}

// Temporary files of a run that was cut off (its process is gone) are removed by the next run, in a copy's tree
// (found by the run's mark) and beside an archive; those of a process that runs are left alone.
TEST_P(BothRunsTest, LeftoversOfAnEndedRunAreRemovedAndThoseOfARunningOneKept)
{
    const std::string ended = "2147483632"; // no process has this number
    const std::string running = std::to_string(ProcessIds::current());
    const Names leftovers = {"/.12_12_2026_Docs_backup.zip.kopirko-tmp-" + ended + "-1",
                             "/.12_12_2026_Docs_backup.kopirko-run-" + ended,
                             "/12_12_2026_Docs_backup/sub/.a.txt.kopirko-tmp-" + ended + "-7"};
    const Names kept = {"/.12_12_2026_Docs_backup.zip.kopirko-tmp-" + running + "-1",
                        "/12_12_2026_Docs_backup/.b.txt.kopirko-tmp-" + running + "-9",
                        "/12_12_2026_Docs_backup/.c.txt.kopirko-tmp-12"};
    for (const std::string& name : leftovers)
        TestFiles::write(backups + name, "left");
    for (const std::string& name : kept)
        TestFiles::write(backups + name, "kept");
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    host.folders = {dir / "shop/Docs"};

    const RunReport report = run();
    EXPECT_FALSE(report.hasFailures()) << failureLines(report).front();

    for (const std::string& name : leftovers)
        EXPECT_FALSE(TestFiles::exists(backups + name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(TestFiles::exists(backups + name)) << name;
}

// /mnt/A/Docs and /mnt/B/Docs share one archive. When A cannot be reached later that day, the new archive takes
// A's entries over from the morning's, as they are stored; an earlier archive that cannot be read is kept whole.
TEST_F(BackupRunTest, AFolderThatCannotBeReachedKeepsItsCopyInTheArchiveItShares)
{
    zip = true;
    TestFiles::write(dir / "A/Docs/a.txt", "iz A");
    const std::string deflated = std::string(100000, 'A') + "iz A, dublje"; // stored compressed
    TestFiles::write(dir / "A/Docs/sub/b.txt", deflated);
    TestFiles::write(dir / "B/Docs/a.txt", "iz B");
    host.folders = {dir / "A/Docs", dir / "B/Docs"};
    ASSERT_FALSE(run().hasFailures());
    fs::rename(Utf8Path::toPath(dir / "A"), Utf8Path::toPath(dir / "A-odspojen"));
    TestFiles::write(dir / "B/Docs/a.txt", "iz B, kasnije");

    const RunReport report = run();

    ASSERT_EQ(failedSources(report), Names{dir / "A/Docs"});
    EXPECT_NE(report.failed[0].reason.find("zadrzana njena kopija"), std::string::npos) << report.failed[0].reason;
    const std::string archive = backups + "/12_12_2026_Docs_backup.zip";
    EXPECT_NO_THROW(ZipReadBack::unzipTest(archive));
    EXPECT_EQ(TestFiles::tree(unpacked(archive)),
              (std::map<std::string, std::string>{{"Docs", "<folder>"},
                                                  {"Docs/a.txt", "iz A"},
                                                  {"Docs/sub", "<folder>"},
                                                  {"Docs/sub/b.txt", deflated},
                                                  {"Docs (2)", "<folder>"},
                                                  {"Docs (2)/a.txt", "iz B, kasnije"}}));

    TestFiles::write(archive, "not an archive any more");
    EXPECT_EQ(failedSources(run()), (Names{dir / "A/Docs", dir / "B/Docs"}));
    EXPECT_EQ(TestFiles::read(archive), "not an archive any more");
}

// After the run: a timed run shuts this computer down itself, or through the network-shutdown timer when the network's
// computers go first; a run at start never shuts down; one by hand only says it is done.
TEST_P(BothRunsTest, EndStepsFollowTheMode)
{
    const struct
    {
        std::int16_t nacin, gasiti, mreze;
        int shutdowns;
        bool message;
        std::vector<bool> networkShutdowns;
    } cases[] = {{0, 1, 0, 1, false, {}}, {0, 1, 1, 0, false, {true}}, {0, 0, 1, 0, false, {false}},
                 {1, 1, 0, 0, false, {}}, {2, 1, 0, 0, true, {}},      {2, 0, 1, 0, true, {false}}};
    for (const auto& c : cases) {
        TestPlatform fresh;
        host.networkShutdowns.clear();
        settings.NacinBackupa = c.nacin;
        settings.GasitiRacunar = c.gasiti;
        settings.GasenjeRacunaraMreze = c.mreze;
        (zip ? RunZipBackup : RunFolderBackup)(settings, host, fresh.services);
        EXPECT_EQ(fresh.power.shutdowns, c.shutdowns) << c.nacin << c.gasiti << c.mreze;
        EXPECT_EQ(fresh.messages.shown.size(), c.message ? 1u : 0u) << c.nacin << c.gasiti << c.mreze;
        EXPECT_EQ(host.networkShutdowns, c.networkShutdowns) << c.nacin << c.gasiti << c.mreze;
    }
}

// The shop's data folder is listed whole and the backups go into a folder inside it. Each day's backup holds the
// data only, never the backups of earlier days (with seven days kept they would double it every day) nor the run's
// marks; the destination itself, and a folder inside it, listed by mistake, are reported and get no backup. On
// Windows the destination is written in another case and in the "\\?\" form, which lead to the same folder.
TEST_P(BothRunsTest, ADestinationInsideAListedFolderIsLeftOutOfItsBackupEveryDay)
{
    TestFiles::write(dir / "Data/racuni/r1.txt", "r1");
    TestFiles::write(dir / "Data/Kopije/Stare/ostavljeno.txt", "u odredisnoj fascikli");
    backups = dir / "Data/Kopije";
#ifdef _WIN32
    settings.BackupDir = "\\\\?\\" + dir / "Data/KOPIJE";
#else
    settings.BackupDir = backups;
#endif
    settings.Brisati = 1;
    settings.Starost = 7;
    host.folders = {dir / "Data", backups, dir / "Data/Kopije/Stare"};

    for (const int day : {12, 13}) {
        platform.clock.set(2026, 12, day);
        TestFiles::write(dir / ("Data/racuni/dan" + std::to_string(day) + ".txt"), "novo");
        const RunReport report = run();
        EXPECT_EQ(report.backedUp, Names{dir / "Data"});
        ASSERT_EQ(failedSources(report), (Names{backups, dir / "Data/Kopije/Stare"}));
        for (const SourceFailure& failure : report.failed)
            EXPECT_EQ(failure.reason, "fascikla je unutar odredisne fascikle");
    }

    const std::string today = backups + "/13_12_2026_Data_backup" + ext;
    EXPECT_EQ(backupFolders(), (Names{"12_12_2026_Data_backup" + ext, "13_12_2026_Data_backup" + ext, "Stare"}));
    const std::string top = zip ? "Data/" : "";
    EXPECT_EQ(TestFiles::files(zip ? unpacked(today) : today),
              (Names{top + "racuni/dan12.txt", top + "racuni/dan13.txt", top + "racuni/r1.txt"}));
}

// Names the disk takes are backed up, however long: 244 bytes on Linux (120 Cyrillic letters, two bytes each, and
// ".txt"), 244 UTF-16 units on Windows, in a folder whose archive's name is near the limit too. The temporary name
// beside such a copy or archive would pass the limit; a shorter one, which the clean-up knows as well, is used.
TEST_P(BothRunsTest, NamesNearTheLimitOfTheDiskAreBackedUp)
{
#ifdef _WIN32
    const std::string longFile = std::string(240, 'f') + ".txt";
    const std::string longFolder = std::string(220, 'd');
#else
    std::string longFile, longFolder;
    for (int k = 0; k < 120; ++k)
        longFile += "ж";
    longFile += ".txt";
    for (int k = 0; k < 110; ++k)
        longFolder += "д";
#endif
    TestFiles::write(dir / ("shop/" + longFolder + "/" + longFile), "dug naziv");
    host.folders = {dir / ("shop/" + longFolder)};

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures()) << failureLines(report).front();
    const std::string backup = backups + TestFiles::native("/12_12_2026_" + longFolder + "_backup");
    // Listed by the program's own disk: the test's helpers cannot list a folder whose path passes 260 characters on
    // Windows.
    const auto listed = [&](const std::string& folder) {
        Names names;
        for (const FolderEntry& entry : platform.fileSystem.listFolder(folder).entries)
            names.push_back(entry.name);
        return names;
    };
    Names left = listed(backups);
    if (zip) {
        EXPECT_EQ(ZipReadBack::unzipNames(backup + ".zip"),
                  (std::multiset<std::string>{longFolder + "/", longFolder + "/" + longFile}));
    } else {
        const Names copies = listed(backup);
        EXPECT_EQ(copies, Names{longFile});
        EXPECT_EQ(platform.fileSystem.readFile(backup + TestFiles::native("/" + longFile)), "dug naziv");
        left.insert(left.end(), copies.begin(), copies.end());
    }
    EXPECT_FALSE(anyWith(left, ".kopirko-"));
}

// The user removes the first folder from the list, and saves another destination, while that folder is still being
// backed up (its reading held by the disk): the run goes on with the list and the destination it started with, so
// that no later folder is skipped unreported; the next run takes the edits.
TEST_P(BothRunsTest, EditsWhileARunWorksAreForTheNextRun)
{
    for (const char* folder : {"one", "two", "three"})
        TestFiles::write(dir / (std::string("shop/") + folder + "/a.txt"), folder);
    host.folders = {dir / "shop/one", dir / "shop/two", dir / "shop/three"};
    const std::string elsewhere = dir / "drugi";
    TestFiles::makeFolder(elsewhere);
    bool edited = false;
    platform.fileSystem.afterRead = [&](const std::string& path, std::uint64_t) {
        if (!edited && path.find(TestFiles::native("/one/")) != std::string::npos) {
            edited = true;
            host.folders.erase(host.folders.begin());
            settings.BackupDir = elsewhere;
        }
    };

    RunReport report = run();

    ASSERT_TRUE(edited);
    EXPECT_EQ(report.backedUp, (Names{dir / "shop/one", dir / "shop/two", dir / "shop/three"}));
    EXPECT_EQ(backupFolders(),
              (Names{"12_12_2026_one_backup" + ext, "12_12_2026_three_backup" + ext, "12_12_2026_two_backup" + ext}));
    EXPECT_TRUE(TestFiles::names(elsewhere).empty());

    platform.fileSystem.afterRead = nullptr;
    report = run();
    EXPECT_EQ(report.backedUp, (Names{dir / "shop/two", dir / "shop/three"}));
    EXPECT_EQ(TestFiles::names(elsewhere), (Names{"12_12_2026_three_backup" + ext, "12_12_2026_two_backup" + ext}));
}

// Disks written by other systems (or through "\\?\") hold names Windows' own path rules read otherwise: "x." would be
// "x", "con.txt" and "nul" the devices. Each is backed up under its own name with its own contents, beside "x".
TEST_P(BothRunsTest, NamesThatWindowsPathRulesWouldReadOtherwiseAreBackedUpAsTheyAre)
{
    const Names odd = {"aux.c", "con.txt", "nul", "x", "x.", "zadnji "};
    const std::string source = dir / "shop/Docs";
    const std::string backup = backups + TestFiles::native("/12_12_2026_Docs_backup");
    // Removed here in the form that keeps their names: the test folder's own clean-up goes by the system's rules.
    struct RemovedAtTheEnd
    {
        std::vector<std::string> folders;
        const Names& names;
        ~RemovedAtTheEnd()
        {
            std::error_code ignored;
            for (const std::string& folder : folders)
                for (const std::string& name : names)
                    fs::remove(Utf8Path::toPath(unlimited(folder + TestFiles::native("/" + name))), ignored);
        }
    } removed{{source, backup}, odd};
    TestFiles::makeFolder(source);
    for (const std::string& name : odd)
        TestFiles::write(unlimited(source + TestFiles::native("/" + name)), "sadrzaj " + name);
    if (TestFiles::names(unlimited(source)) != odd)
        GTEST_SKIP() << "this disk does not keep such names apart";
    host.folders = {source};

    const RunReport report = run();

    EXPECT_FALSE(report.hasFailures()) << failureLines(report).front();
    if (zip) {
        std::multiset<std::string> names{"Docs/"};
        for (const std::string& name : odd)
            names.insert("Docs/" + name);
        EXPECT_EQ(ZipReadBack::unzipNames(backups + "/12_12_2026_Docs_backup.zip"), names);
        return;
    }
    EXPECT_EQ(TestFiles::names(unlimited(backup)), odd);
    for (const std::string& name : odd)
        EXPECT_EQ(TestFiles::read(unlimited(backup + TestFiles::native("/" + name))), "sadrzaj " + name) << name;
}

} // namespace

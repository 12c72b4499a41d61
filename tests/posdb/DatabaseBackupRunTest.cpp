// The database backup: the run on its own, and where the program starts it (the start-up sequence and the timed
// mode's catch-up) with the real window on the offscreen platform.
#include "DatabaseRunFixture.h"

#include "AppContext.h"
#include "FakeWindowParts.h"
#include "MainWindow.h"
#include "RunGuard.h"
#include "StartupSequence.h"
#include "SystemAppInfo.h"

#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

std::string file(const std::string& name)
{
    return TestFiles::read(KOPIRKO_POSDB_FIXTURES "/" + name);
}
/// The first `pages` pages (4 KiB: Jet 4) of tezga-jet4.mdb.
std::string cut(std::size_t pages)
{
    return file("tezga-jet4.mdb").substr(0, pages * 4096);
}
/// tezga-jet4.mdb with the byte at `offset` of page `page` set to `value`.
std::string changed(std::size_t page, std::size_t offset, char value)
{
    std::string database = file("tezga-jet4.mdb");
    database.at(page * 4096 + offset) = value;
    return database;
}

} // namespace

class DatabaseBackupRunTest : public DatabaseRunFixture<HookedDisk>
{
protected:
    // kopirko-kase is built beside the tests, as it is installed beside the program.
    DatabaseBackupRunTest() { test.appInfo.folder = SystemAppInfo().programFolder(); }

    void write(const std::vector<std::pair<std::string, std::string>>& files)
    {
        for (const auto& [path, content] : files)
            TestFiles::write(work + "/" + path, content);
    }
    RunReport run() { return RunDatabaseBackup(settings, host, platform); }
    /// The server database with its seven registers; the folder of Kasa 2 is missing.
    void writeServerAndRegisters()
    {
        write({{"tezga.mdb", jet4}, {"napomena.txt", "s"}, {"kase/k1/arhiva/stara.mdb", "subfolder"}});
        for (const std::string name : {"k1", "k3", "šank", "k7"})
            write({{"kase/" + name + "/baza.mdb", name}});
    }

    const std::string jet4 = file("tezga-jet4.mdb");
};

/// The cases that run kopirko-kase. Under Wine, kopirko-kase.exe reads through Linux's mdbtools ODBC driver, which
/// needs Linux paths: the run gives it Windows ones. OdbcKaseProgramTest runs the program on the same files there;
/// on Windows itself the Access driver is 32-bit only, and these tests are 64-bit.
class KaseRunTest : public DatabaseBackupRunTest
{
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "kopirko-kase.exe cannot read the run's paths here (see OdbcKaseProgramTest)";
#endif
    }
};

TEST_F(DatabaseBackupRunTest, WithoutServerDatabaseOnlyTheFilesGoStraightIntoTheRoot)
{
    write({{"podaci.dat", "d"}, {".skriveno", "h"}, {"pod/duboko.txt", "subfolder"}});
    settings.NacinBackupa = 2;
    {
        const RunGuard other; // another run in progress: this one is refused and touches nothing
        EXPECT_TRUE(run().refused);
    }
    EXPECT_FALSE(TestFiles::exists(root));

    const RunReport report = run();

    EXPECT_EQ(TestFiles::files(root), (Names{".skriveno", "podaci.dat"}));
    EXPECT_THAT(report.failed, IsEmpty());
    EXPECT_THAT(host.statusLine, StartsWith("Rezervna kopija baza podataka je izradjena "));
    EXPECT_THAT(test.messages.shown, ElementsAre("Izrada rezervne kopije je zavrsena"));
}

TEST_F(KaseRunTest, SevenRegistersAreHandledInIdOrderOnceTheDestinationIsThere)
{
    writeServerAndRegisters();
    TestFiles::write(root, "a file where today's folder belongs");
    const std::pair<std::string, std::string> missing[] = {
        {"", "nije podesena"}, {dir / "odspojeni", "odspojeni\" ne postoji"}, {backup, "postoji, ali nije fascikla"}};
    for (const auto& [destination, reason] : missing) {
        settings.BackupDir = destination;
        const RunReport report = run();
        ASSERT_EQ(failedSources(report), (Names{work})) << reason; // and no register is touched
        EXPECT_THAT(report.failed[0].reason, HasSubstr(reason));
        EXPECT_THAT(host.statusLine, StartsWith("Rezervna kopija baza podataka nije izradjena ")) << reason;
    }
    EXPECT_FALSE(TestFiles::exists(dir / "odspojeni"));
    std::filesystem::remove(root);

    const RunReport report = run();

    // K4 (a path of 8 characters) and K6 (a null path) are passed over silently.
    EXPECT_EQ(TestFiles::files(root), (Names{"kasa_Kasa 1/baza.mdb", "kasa_Kasa 3/baza.mdb", "kasa_Šank/baza.mdb",
                                             "server/napomena.txt", "server/tezga.mdb"}));
    EXPECT_EQ(TestFiles::read(root + "/server/tezga.mdb"), jet4);
    EXPECT_EQ(TestFiles::read(root + "/kasa_Šank/baza.mdb"), "šank");
    EXPECT_THAT(report.backedUp, ElementsAre(work, "Kasa 1", "Kasa 3", "Šank"));
    // Kasa 2's folder is missing; "Kasa/7" cannot name a folder.
    EXPECT_EQ(failedSources(report), (Names{"Kasa 2", "Kasa/7"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("\"kase/nema\" nije dostupna"));
}

TEST_F(KaseRunTest, ThreeHundredRegistersStoredInDescendingOrderAreHandledInAscendingOrder)
{
    write({{"tezga.mdb", file("tezga-300-registers.mdb")}});
    Names order{work};
    for (int i = 1; i <= 300; ++i) {
        order.push_back("K" + std::to_string(i));
        write({{"kase/r" + std::to_string(i) + "/baza.mdb", "r" + std::to_string(i)}});
    }

    EXPECT_EQ(run().backedUp, order);
}

/// A damaged "tezga.mdb", and what the report says. The reading runs in kopirko-kase: what crashes or confuses
/// libmdb there must neither take the program down nor pass for a good table. Pages of tezga-jet4.mdb: 2 is the
/// catalog's definition, 14 its rows; 28 is the definition of `kase`, 30 its rows.
struct Damage
{
    const char* what;
    std::string database;
    std::string reason;
    friend void PrintTo(const Damage& c, std::ostream* out) { *out << c.what; }
};

class DamagedDatabaseTest : public KaseRunTest, public ::testing::WithParamInterface<Damage>
{};

TEST_P(DamagedDatabaseTest, IsReportedByNameWhileTheWorkingFolderIsStillBackedUp)
{
    write({{"napomena.txt", "s"}, {"kase/k1/baza.mdb", "k1"}, {"tezga.mdb", GetParam().database}});

    const RunReport report = run();

    EXPECT_EQ(TestFiles::files(root), (Names{"server/napomena.txt", "server/tezga.mdb"}));
    EXPECT_EQ(report.backedUp, (Names{work}));
    ASSERT_EQ(failedSources(report), (Names{"tezga.mdb"}));
    EXPECT_THAT(report.failed[0].reason, AllOf(StartsWith("kase nisu kopirane: "), HasSubstr(GetParam().reason)));
}

const std::string damaged = "tezga.mdb\" je ostecena: ", crashed = damaged + "citanje tabele kase se srusilo";

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedDatabaseTest,
    ::testing::Values(
        Damage{"NoTableKase", file("tezga-no-kase.mdb"), "tezga.mdb\" nema tabele kase"},
        Damage{"NoPathColumn", file("tezga-no-path-column.mdb"), "nema kolone putanjadobazakasa"},
        Damage{"Empty", std::string(), damaged + "datoteka je prazna"},
        Damage{"HeaderOverwritten", std::string(4096, '\xA5') + cut(32).substr(4096),
               "tezga.mdb\" se ne moze otvoriti"},
        // Cut short: libmdb took the first two for a database without `kase`, and read the third as one without rows.
        Damage{"CutInTheCatalog", cut(8), damaged + "popis tabela je nepotpun"},
        Damage{"CutBeforeTheDefinitionOfKase", cut(15), damaged + "definicija tabele kase se ne moze procitati"},
        Damage{"CutBeforeTheRowsOfKase", cut(29), damaged + "stranica 29 tabele kase nedostaje"},
        Damage{"LastRowsPageOfKaseCutOff", file("tezga-300-registers.mdb").substr(0, 36 * 4096),
               damaged + "stranica 36 tabele kase nedostaje"},
        Damage{"CutInsideAPage", cut(25).substr(0, 100000), damaged + "datoteka nije cijeli broj stranica"},
        // One byte of a usage map's row pointer: libmdb dereferences a null pointer (kept in tests/data/posdb).
        Damage{"CrashInTheDefinitionOfKase", file("tezga-crash-kase-usage-map.mdb"), crashed},
        Damage{"CrashInTheCatalog", file("tezga-crash-catalog-usage-map.mdb"), crashed},
        // Bytes that libmdb reads without a word, giving empty values, another column's values or no rows at all.
        Damage{"PathColumnSharesTheLabelsPlace", changed(28, 120, 0), damaged + "definicija kolone putanjadobazakasa"},
        Damage{"LabelColumnNumberOutOfRange", changed(28, 93, '\x80'), damaged + "definicija kolone oznakakase"},
        Damage{"NumberColumnMarkedVariable", changed(28, 78, 0), damaged + "definicija kolone id"},
        Damage{"UnknownColumnType", changed(28, 63, 0), damaged + "definicija kolone id"},
        Damage{"RowsPageOwnedByAnotherTable", changed(30, 4, 0),
               damaged + "tabela kase ima 7 redova, a procitano je 0"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(DatabaseBackupRunTest, OnlyOurRootOfExactlyStarostDaysAgoIsDeleted)
{
    const Names old{"04_12_2026_Kasa_backup", "05_12_2026_Kasa_backup",  "12_12_2026_Kasa_backup",
                    "27_11_2026_Kasa_backup", "28_11_2026_Drugi_backup", "28_11_2026_Kasa_backup"};
    // Brisati, Starost, the date of our root that goes ("" when all stay); today's root holds an earlier run.
    const std::tuple<std::int16_t, std::int16_t, std::string> cases[] = {{1, 7, "28_11"}, {1, 1, "04_12"}, {1, 0, ""},
                                                                         {1, -7, ""},     {0, 7, ""},      {2, 7, ""}};
    write({{"a.txt", "a"}});
    for (const auto& [brisati, starost, deleted] : cases) {
        for (const std::string& name : old)
            TestFiles::write(backup + "/" + name + "/stari.txt", "old");
        settings.Brisati = brisati;
        settings.Starost = starost;

        EXPECT_THAT(run().warnings, IsEmpty());

        for (const std::string& name : old)
            EXPECT_EQ(TestFiles::exists(backup + "/" + name + "/stari.txt"), name != deleted + "_2026_Kasa_backup")
                << name << " " << brisati << "/" << starost;
    }
    // A root that holds a read-only file stays, and the run goes on with a warning.
    std::filesystem::permissions(backup + "/28_11_2026_Kasa_backup/stari.txt", std::filesystem::perms::owner_read);
    settings.Brisati = 1;
    write({{"b.txt", "b"}});
    EXPECT_EQ(run().warnings.size(), 1u);
    EXPECT_TRUE(TestFiles::exists(backup + "/28_11_2026_Kasa_backup/stari.txt"));
    EXPECT_TRUE(TestFiles::exists(root + "/b.txt"));
}

TEST_F(DatabaseBackupRunTest, RegisterPathsRepeatedLabelsAndASecondRunOnTheSameDay)
{
    write({{"tezga.mdb", "read by the fake"}, {"a.txt", "first"}, {"kase/k1/baza.mdb", "first"}});
    write({{"kase/k2/baza.mdb", "k2"}, {"kase/€uro/x.mdb", "e"}, {"prazna/pod/x", "only a subfolder"}});
    TestFiles::write(dir / "daleko/baza.mdb", "absolute");
    FakeReader reader;
    // Of E's path the last 9 characters go, not bytes; Č's has 8 characters (16 bytes) and is passed over; "K/"
    // cannot name a folder of its own (it would land in K's). N's and B's paths have nothing before the file name:
    // no folder, so no backup of the working folder passed off as theirs.
    reader.rows = {
        {"5", "A", dir / "daleko/baza.mdb"}, {"1", "K", "kase/k1/baza.mdb"},   {"2", "K", "kase/k2/baza.mdb"},
        {"4", "P", "prazna/baza.mdb"},       {"6", "E", "kase/€uro/€€€€.mdb"}, {"7", "Č", "čćžšđčćž"},
        {"8", "K/", "kase/k2/baza.mdb"},     {"9", "N", "tezga.mdb"},          {"10", "B", "  baza.mdb"}};
    RunReport report = RunDatabaseBackup(settings, host, platform, reader);

    // A second register under K would overwrite the first one's database; an empty folder is no backup.
    EXPECT_EQ(TestFiles::read(root + "/kasa_K/baza.mdb"), "first");
    EXPECT_EQ(failedSources(report), (Names{"K", "P", "K/", "N", "B"}));
    EXPECT_THAT(report.failed[3].reason, HasSubstr("nije dostupna"));
    for (const char* none : {"/kasa_P", "/kasa_N", "/kasa_B"})
        EXPECT_FALSE(TestFiles::exists(root + none)) << none;
    EXPECT_THAT(report.backedUp, ElementsAre(work, "K", "A", "E"));

    write({{"a.txt", "second"}, {"kase/k1/baza.mdb", "second"}});
    disk.beforeCopy = [](std::string source) {
        std::replace(source.begin(), source.end(), '\\', '/'); // the path as joined on Windows
        return source.ends_with("k1/baza.mdb") ? std::optional(Result::failure("injected: disk error")) : std::nullopt;
    };
    report = RunDatabaseBackup(settings, host, platform, reader);

    EXPECT_EQ(TestFiles::read(root + "/server/a.txt"), "second");
    EXPECT_EQ(TestFiles::read(root + "/kasa_K/baza.mdb"), "first"); // the earlier copy outlives a failed one
    ASSERT_EQ(failedSources(report), (Names{"K", "K", "P", "K/", "N", "B"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("injected: disk error"));
}

// A database that its program writes to while it is read is read once more; one that never stands still is
// reported, and its copy (neither version) does not replace the earlier one.
TEST_F(DatabaseBackupRunTest, CopyWhoseSourceChangedIsMadeOnceMoreThenReportedAsPossiblyInconsistent)
{
    for (int changes : {0, 1, 1000}) {
        write({{"podaci.mdb", "v0000"}});
        const std::string earlier = TestFiles::exists(root) ? TestFiles::read(root + "/podaci.mdb") : "";
        int writes = 0; // versions of the same size: only the modification time tells them apart
        disk.afterRead = [&](const std::string& source, std::uint64_t) {
            if (writes < changes)
                TestFiles::write(source, "v" + std::to_string(10000 + ++writes).substr(1));
        };

        const RunReport report = run();

        EXPECT_EQ(TestFiles::read(root + "/podaci.mdb"), changes < 2 ? TestFiles::read(work + "/podaci.mdb") : earlier)
            << changes;
        EXPECT_EQ(failedSources(report), changes < 2 ? Names{} : Names{work}) << changes;
    }
}

// A file whose reading stands still (a register path under /proc, a share that stopped answering) is given up
// after the limit and reported; the other files are backed up, and the held copy leaves nothing when let go.
TEST_F(DatabaseBackupRunTest, AFileWhoseReadingStandsStillIsGivenUpAndTheRestIsBackedUp)
{
    write({{"a.dat", "a"}, {"kmsg", "never ends"}, {"z.dat", "z"}});
    disk.stallOn = "kmsg";
    disk.limit = std::chrono::seconds(5);

    const RunReport report = run();

    ASSERT_EQ(failedSources(report), Names{work});
    EXPECT_THAT(report.failed[0].reason, HasSubstr("citanje je stalo"));
    disk.release();
    EXPECT_EQ(TestFiles::files(root), (Names{"a.dat", "z.dat"}));
}

// The share of a register drops while its folder is listed: the files listed so far are backed up, and the register
// is reported as not backed up whole, never as done.
TEST_F(DatabaseBackupRunTest, ARegisterFolderWhoseListingBreaksOffIsReportedAsNotWhole)
{
    struct DroppingShare : HookedDisk
    {
        std::string folder;
        FolderListing listFolder(const std::string& path) const override
        {
            FolderListing listing = HookedDisk::listFolder(path);
            if (path == folder) {
                listing.entries.resize(1);
                listing.error = "\"" + path + "\": mreza nije dostupna";
            }
            return listing;
        }
    } share;
    share.folder = dir / "kasa1";
    TestFiles::write(share.folder + "/a.mdb", "a");
    TestFiles::write(share.folder + "/b.mdb", "b");
    write({{"tezga.mdb", "read by the fake"}});
    FakeReader reader;
    reader.rows = {{"1", "K1", share.folder + "/baza.mdb"}};

    const RunReport report = RunDatabaseBackup(settings, host, test.servicesWith(share), reader);

    EXPECT_EQ(failedSources(report), Names{"K1"});
    EXPECT_THAT(report.failed[0].reason, HasSubstr("mreza nije dostupna"));
    EXPECT_EQ(TestFiles::files(root + "/kasa_K1"), Names{"a.mdb"});
}

class StartupTest : public KaseRunTest, public ::testing::WithParamInterface<int>
{};

/// NacinBackupa 1 ("Po startovanju programa") runs at start; 0 (timed, at 08:00) catches up while the window loads
/// at 07:00, as today's root is missing. OpsegBackupa 0: only the files of the working folder.
TEST_P(StartupTest, BacksUpServerAndRegistersAndListsTheUnreachableOnesOnTheWindow)
{
    writeServerAndRegisters();
    write({{"KOPIRKO.ini", "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=" + backup +
                               "\r\nNacinBackupa=" + std::to_string(GetParam()) + "\r\nOpsegBackupa=0\r\n"}});
    test.clock.set(2026, 12, 5, 7, 0, 0);
    AppContext context(platform);
    context.programFolder = work;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    MainWindow* window = nullptr;
    StartupSequence start(context, "127.0.0.1:9/kopirko", [&] {
        auto made = std::make_unique<MainWindow>(context, WindowServices{picker, tray});
        window = made.get();
        return made;
    });
    const std::filesystem::path previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(work); // the program was started from its folder

    const std::unique_ptr<StartupWindow> owner = start.run();

    std::filesystem::current_path(previousFolder);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TestFiles::read(root + "/kasa_Šank/baza.mdb"), "šank");
    const auto* list = window->findChild<QListWidget*>("failedFoldersList"); // Kasa 2 and Kasa/7
    ASSERT_EQ(list->count(), 2);
    EXPECT_THAT(list->item(0)->text().toStdString(), StartsWith("Kasa 2: "));
    EXPECT_FALSE(window->findChild<QWidget*>("backUpNowButton")->isHidden()); // to try the unreachable ones again
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(window->findChild<QTimer*>("dailyTimer")->isActive(), GetParam() == 0);
    // Only the start in mode 1 ends with the completion message, which lists what was not backed up.
    ASSERT_EQ(test.messages.shown.size(), GetParam() == 1 ? 1u : 0u);
    for (const std::string& message : test.messages.shown)
        EXPECT_THAT(message, HasSubstr("Kasa 2: "));
}

INSTANTIATE_TEST_SUITE_P(Modes, StartupTest, ::testing::Values(1, 0));

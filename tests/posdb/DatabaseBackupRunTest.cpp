#include "DatabaseBackupRun.h"

#include "BackupSettings.h"
#include "FakeBackupHost.h"
#include "HookedFileSystem.h"
#include "RegisterReader.h"
#include "RunGuard.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <random>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Names = std::vector<std::string>;

namespace {

const std::string madeToday = "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00";

std::string fixture(const std::string& name)
{
    return TestFiles::read(std::string(KOPIRKO_POSDB_FIXTURES) + "/" + name);
}

std::string fromRegister(const std::string& label)
{
    return "Izrada rezervne kopije sa kase " + label;
}

/// The window's side, keeping every text of the first status line.
struct Host : FakeBackupHost
{
    Names label1History;
    void setStatusLine1(const std::string& text) override
    {
        label1History.push_back(text);
        FakeBackupHost::setStatusLine1(text);
    }
};

struct FakeReader : RegisterReader
{
    RegisterListing listing;
    mutable int reads = 0;
    RegisterListing readRegisters(const std::string&) const override
    {
        ++reads;
        return listing;
    }
};

} // namespace

/// The program folder "Kasa" is the working folder; the destination "kopije" is empty; it is 5 December 2026.
class DatabaseBackupRunTest : public ::testing::Test
{
public:
    DatabaseBackupRunTest()
    {
        TestFiles::makeFolder(work);
        TestFiles::makeFolder(backup);
        test.appInfo.working = work;
        settings.BackupDir = backup;
        settings.AppFolderSuffix = "_Kasa";
        settings.VrijemeBackupa = "08:00";
        settings.NacinBackupa = 1;
    }

    void write(const std::vector<std::pair<std::string, std::string>>& files)
    {
        for (const auto& [path, content] : files)
            TestFiles::write(work + "/" + path, content);
    }
    RunReport run() { return RunDatabaseBackup(settings, host, platform); }
    RunReport run(const RegisterReader& reader) { return RunDatabaseBackup(settings, host, platform, reader); }

    static Names entries(const std::string& folder)
    {
        Names names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static Names sources(const RunReport& report)
    {
        Names names;
        for (const SourceFailure& failure : report.failed)
            names.push_back(failure.source);
        return names;
    }

    TempDir dir;
    const std::string work = dir / "Kasa";
    const std::string backup = dir / "kopije";
    const std::string root = backup + "/05_12_2026_Kasa_backup";
    TestPlatform test;
    HookedFileSystem disk;
    PlatformServices platform{test.appInfo,        test.clock,        disk,       test.launcher, test.terminator,
                              test.instanceLock,   test.messages,     test.power, test.web,      test.networkHosts,
                              test.remoteShutdown, test.connectivity, test.http,  test.pause};
    BackupSettings settings;
    Host host;
};

TEST_F(DatabaseBackupRunTest, WithoutServerDatabaseTheFilesGoStraightIntoTheRoot)
{
    write({{"podaci.dat", std::string("\0\1binarno", 9)}, {".skriveno", "h"}, {"pod/duboko.txt", "subfolder"}});
    settings.NacinBackupa = 2;
    FakeReader reader;

    const RunReport report = run(reader);

    EXPECT_EQ(entries(root), (Names{".skriveno", "podaci.dat"}));
    EXPECT_EQ(TestFiles::read(root + "/podaci.dat"), std::string("\0\1binarno", 9));
    EXPECT_EQ(reader.reads, 0);
    EXPECT_THAT(report.failed, IsEmpty());
    EXPECT_THAT(host.label1History, ElementsAre(madeToday));
    EXPECT_EQ(host.label2, "Sledeća izrada rezervne kopije 06.12.2026 u 08:00");
    EXPECT_EQ(host.lamp, LampColour::lightYellow);
    EXPECT_TRUE(host.windowShown);
    EXPECT_THAT(host.busyPointer, ElementsAre(true, false));
    EXPECT_FALSE(host.timer1Enabled);
    EXPECT_THAT(test.messages.texts(), ElementsAre("Izrada rezervne kopije je zavrsena"));
}

TEST_F(DatabaseBackupRunTest, SevenRegistersAreHandledInIdOrderAndTheUnreachableOnesListed)
{
    write({{"tezga.mdb", fixture("tezga-jet4.mdb")},
           {"napomena.txt", "s"},
           {"kase/k1/baza.mdb", "k1"},
           {"kase/k1/arhiva/stara.mdb", "subfolder"},
           {"kase/k3/baza.mdb", "k3"},
           {"kase/šank/baza.mdb", "š"},
           {"kase/k7/baza.mdb", "k7"}});

    const RunReport report = run();

    EXPECT_EQ(entries(root), (Names{"kasa_Kasa 1", "kasa_Kasa 3", "kasa_Šank", "server"}));
    EXPECT_EQ(entries(root + "/server"), (Names{"napomena.txt", "tezga.mdb"}));
    EXPECT_EQ(TestFiles::read(root + "/server/tezga.mdb"), fixture("tezga-jet4.mdb"));
    EXPECT_EQ(entries(root + "/kasa_Kasa 1"), (Names{"baza.mdb"}));
    EXPECT_EQ(TestFiles::read(root + "/kasa_Šank/baza.mdb"), "š");
    // Kasa 2's folder is missing, "Kasa/7" cannot name a folder; K4 (8 characters) and K6 (null) pass silently.
    EXPECT_EQ(sources(report), (Names{"Kasa 2", "Kasa/7"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("\"kase/nema\" nije dostupna"));
    EXPECT_TRUE(host.manualButtonShown);
    EXPECT_THAT(host.label1History,
                ElementsAre("Izrada rezervne kopije podataka sa servera", fromRegister("Kasa 1"),
                            fromRegister("Kasa 2"), fromRegister("Kasa 3"), fromRegister("K4"), fromRegister("Šank"),
                            fromRegister("K6"), fromRegister("Kasa/7"), madeToday));
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_EQ(sources(host.finished[0]), sources(report));
    EXPECT_THAT(test.messages.texts(), IsEmpty());
}

TEST_F(DatabaseBackupRunTest, ThreeHundredRegistersStoredInDescendingOrderAreHandledInAscendingOrder)
{
    write({{"tezga.mdb", fixture("tezga-300-registers.mdb")}});
    Names unreachable;
    for (int i = 1; i <= 300; ++i) {
        const std::string n = std::to_string(i);
        if (i % 7 == 0)
            unreachable.push_back("K" + n);
        else
            write({{"kase/r" + n + "/baza.mdb", "r" + n}});
    }

    const RunReport report = run();

    EXPECT_EQ(sources(report), unreachable);
    EXPECT_EQ(entries(root).size(), 300u - unreachable.size() + 1u);
    EXPECT_EQ(TestFiles::read(root + "/kasa_K299/baza.mdb"), "r299");
    for (int i = 1; i <= 300; ++i)
        ASSERT_EQ(host.label1History.at(static_cast<size_t>(i)), fromRegister("K" + std::to_string(i)));
}

struct Damage
{
    const char* name;
    std::function<std::string()> database;
    const char* reason;
    friend void PrintTo(const Damage& d, std::ostream* out) { *out << d.name; }
};

class DamagedServerDatabaseTest : public DatabaseBackupRunTest, public ::testing::WithParamInterface<Damage>
{};

TEST_P(DamagedServerDatabaseTest, WorkingFolderIsStillBackedUpAndTheRegistersAreReportedWithTheReason)
{
    const std::string database = GetParam().database();
    write({{"tezga.mdb", database}, {"napomena.txt", "s"}, {"kase/k1/baza.mdb", "k1"}});

    const RunReport report = run();

    EXPECT_EQ(entries(root), (Names{"server"}));
    EXPECT_EQ(TestFiles::read(root + "/server/tezga.mdb"), database);
    EXPECT_THAT(report.backedUp, ElementsAre(work));
    ASSERT_EQ(sources(report), (Names{"tezga.mdb"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kase nisu kopirane: "));
    EXPECT_THAT(report.failed[0].reason, HasSubstr(GetParam().reason));
    EXPECT_EQ(host.label1, madeToday);
}

std::string randomBytes(std::string bytes, size_t count)
{
    std::mt19937 random(7);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(random());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Databases, DamagedServerDatabaseTest,
    ::testing::Values(
        Damage{"NoKaseTable", [] { return fixture("tezga-no-kase.mdb"); }, "nema tabele kase"},
        Damage{"NoPathColumn", [] { return fixture("tezga-no-path-column.mdb"); }, "nema kolone putanjadobazakasa"},
        Damage{"Empty", [] { return std::string(); }, "tezga.mdb\" je ostecena"},
        Damage{"CutAfterFirstPage", [] { return fixture("tezga-jet4.mdb").substr(0, 4096); }, "tezga.mdb\""},
        Damage{"CutInHalf", [] { return fixture("tezga-jet4.mdb").substr(0, 32768); }, "nema tabele kase"},
        Damage{"HeaderOverwritten", [] { return randomBytes(fixture("tezga-jet4.mdb"), 4096); }, "se ne moze otvoriti"},
        Damage{"Garbage", [] { return randomBytes(std::string(65536, '\0'), 65536); }, "se ne moze otvoriti"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Retention
{
    std::int16_t brisati;
    std::int16_t starost;
    std::string deleted; ///< the root that goes, or "" when all stay
    friend void PrintTo(const Retention& r, std::ostream* out) { *out << r.brisati << "/" << r.starost; }
};

class RetentionTest : public DatabaseBackupRunTest, public ::testing::WithParamInterface<Retention>
{};

TEST_P(RetentionTest, OnlyOurRootOfExactlyStarostDaysAgoIsDeleted)
{
    const Names old{"04_12_2026_Kasa_backup", "12_12_2026_Kasa_backup", "27_11_2026_Kasa_backup",
                    "28_11_2026_Drugi_backup", "28_11_2026_Kasa_backup"};
    for (const std::string& name : old)
        TestFiles::write(backup + "/" + name + "/stari.txt", "old");
    write({{"a.txt", "a"}});
    settings.Brisati = GetParam().brisati;
    settings.Starost = GetParam().starost;

    const RunReport report = run();

    Names expected{"05_12_2026_Kasa_backup"};
    std::copy_if(old.begin(), old.end(), std::back_inserter(expected),
                 [](const std::string& name) { return name != GetParam().deleted; });
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(backup), expected);
    EXPECT_THAT(report.warnings, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Settings, RetentionTest,
                         ::testing::Values(Retention{1, 7, "28_11_2026_Kasa_backup"},
                                           Retention{1, 1, "04_12_2026_Kasa_backup"}, Retention{1, 0, ""},
                                           Retention{1, -7, ""}, Retention{0, 7, ""}, Retention{2, 7, ""}));

TEST_F(DatabaseBackupRunTest, OldRootWithAReadOnlyFileStaysAndTheRunGoesOnWithAWarning)
{
    const std::string old = backup + "/28_11_2026_Kasa_backup/zakljucano.mdb";
    TestFiles::write(old, "old");
    std::filesystem::permissions(old, std::filesystem::perms::owner_read);
    write({{"a.txt", "a"}});
    settings.Brisati = 1;
    settings.Starost = 7;

    const RunReport report = run();

    EXPECT_TRUE(TestFiles::exists(old));
    EXPECT_EQ(TestFiles::read(root + "/a.txt"), "a");
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_THAT(report.warnings[0], HasSubstr("Stara rezervna kopija nije obrisana: "));
    EXPECT_EQ(host.finished.at(0).warnings, report.warnings);
}

class MissingDestinationTest : public DatabaseBackupRunTest, public ::testing::WithParamInterface<int>
{};

TEST_P(MissingDestinationTest, NothingIsCopiedNoRegisterIsReadAndTheStatusSaysSo)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "nije podesena"},
        {dir / "odspojeni", "\"" + (dir / "odspojeni") + "\" ne postoji"},
        {backup, "postoji, ali nije fascikla"}};
    const auto& [destination, reason] = cases[GetParam()];
    settings.BackupDir = destination;
    settings.NacinBackupa = 0;
    TestFiles::write(root, "a file where today's folder belongs");
    write({{"tezga.mdb", "read by the fake"}});
    FakeReader reader;

    const RunReport report = run(reader);

    EXPECT_EQ(reader.reads, 0);
    EXPECT_FALSE(TestFiles::exists(dir / "odspojeni"));
    ASSERT_EQ(sources(report), (Names{work}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("rezervna kopija nije napravljena: "));
    EXPECT_THAT(report.failed[0].reason, HasSubstr(reason));
    EXPECT_EQ(host.label1, "Rezervna kopija baza podataka nije izradjena 05.12.2026 u 08:00");
    EXPECT_TRUE(host.windowShown);
    EXPECT_TRUE(host.timer1Enabled);
    EXPECT_THAT(host.busyPointer, ElementsAre(true, false));
}

INSTANTIATE_TEST_SUITE_P(Destinations, MissingDestinationTest, ::testing::Values(0, 1, 2));

TEST_F(DatabaseBackupRunTest, SecondRunOnTheSameDayOverwritesAndAFailedCopyKeepsTheEarlierOne)
{
    FakeReader reader;
    reader.listing.registers = {{"1", "K1", "kase/k1/baza.mdb"}};
    write({{"tezga.mdb", "read by the fake"},
           {"a.txt", "first"},
           {"kase/k1/baza.mdb", "first"},
           {"kase/k1/log.txt", "first"}});
    ASSERT_THAT(run(reader).failed, IsEmpty());

    write({{"a.txt", "second"}, {"kase/k1/baza.mdb", "second"}, {"kase/k1/log.txt", "second"}});
    disk.beforeCopy = [](const std::string& source) -> std::optional<Result> {
        if (source.ends_with("k1/baza.mdb"))
            return Result::failure("injected: disk error");
        return std::nullopt;
    };
    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root + "/server/a.txt"), "second");
    EXPECT_EQ(TestFiles::read(root + "/kasa_K1/log.txt"), "second");
    EXPECT_EQ(TestFiles::read(root + "/kasa_K1/baza.mdb"), "first");
    EXPECT_EQ(entries(root + "/kasa_K1"), (Names{"baza.mdb", "log.txt"}));
    ASSERT_EQ(sources(report), (Names{"K1"}));
    EXPECT_EQ(report.failed[0].files.at(0).path, work + "/kase/k1/baza.mdb");
    EXPECT_THAT(report.failed[0].reason, HasSubstr("injected: disk error"));
}

class ChangingDatabaseTest : public DatabaseBackupRunTest, public ::testing::WithParamInterface<int>
{};

TEST_P(ChangingDatabaseTest, CopyWhoseSourceChangedIsMadeOnceMoreThenReportedAsPossiblyInconsistent)
{
    write({{"tezga.mdb", "v0"}});
    int writes = 0;
    // The point-of-sale program writes to its database while it is read.
    disk.beforeCopy = [&](const std::string& source) -> std::optional<Result> {
        if (writes < GetParam())
            TestFiles::write(source, "v" + std::to_string(++writes) + " longer");
        return std::nullopt;
    };

    const RunReport report = run(FakeReader{});

    EXPECT_EQ(TestFiles::read(root + "/server/tezga.mdb"), TestFiles::read(work + "/tezga.mdb"));
    if (GetParam() < 2) {
        EXPECT_THAT(report.failed, IsEmpty());
    } else {
        ASSERT_EQ(sources(report), (Names{work}));
        EXPECT_THAT(report.failed[0].reason, HasSubstr("kopija mozda nije ispravna"));
    }
}

INSTANTIATE_TEST_SUITE_P(Writes, ChangingDatabaseTest, ::testing::Values(0, 1, 2, 5));

class RegisterLabelTest : public DatabaseBackupRunTest,
                          public ::testing::WithParamInterface<std::pair<std::string, bool>>
{};

TEST_P(RegisterLabelTest, UnusableLabelIsReportedAndTheNextRegisterIsStillBackedUp)
{
    const auto& [label, usable] = GetParam();
    write({{"tezga.mdb", "read by the fake"}, {"kase/k1/baza.mdb", "k1"}, {"kase/k2/baza.mdb", "k2"}});
    FakeReader reader;
    reader.listing.registers = {{"1", label, "kase/k1/baza.mdb"}, {"2", "Dobra", "kase/k2/baza.mdb"}};

    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root + "/kasa_Dobra/baza.mdb"), "k2");
    if (usable) {
        EXPECT_EQ(TestFiles::read(root + "/kasa_" + label + "/baza.mdb"), "k1");
    } else {
        EXPECT_EQ(entries(root), (Names{"kasa_Dobra", "server"}));
        EXPECT_EQ(sources(report), (Names{label.empty() ? "kasa bez oznake (id 1)" : label}));
    }
}

INSTANTIATE_TEST_SUITE_P(Labels, RegisterLabelTest,
                         ::testing::Values(std::pair("", false), std::pair(".", false), std::pair("..", false),
                                           std::pair("/", false), std::pair("../../etc", false),
                                           std::pair("Kasa\t1", false), std::pair("Kasa\n1", false),
                                           std::pair("Kasa\x7f", false), std::pair("Šank čaša", true),
                                           std::pair(" Kasa #1 ", true), std::pair("...", true)));

TEST_F(DatabaseBackupRunTest, RegisterPathsEmptyFoldersAndRepeatedLabels)
{
    write({{"tezga.mdb", "read by the fake"},
           {"kase/k1/baza.mdb", "k1"},
           {"kase/k2/baza.mdb", "k2"},
           {"prazna/pod/x", "only a subfolder"}});
    TestFiles::write(dir / "daleko/baza.mdb", "absolute");
    FakeReader reader;
    reader.listing.registers = {{"5", "A", dir / "daleko/baza.mdb"},
                                {"1", "K", "kase/k1/baza.mdb"},
                                {"2", "K", "  kase/k2  /baza.mdb"},
                                {"3", "K", "kase/k1/baza.mdb"},
                                {"4", "P", "prazna/baza.mdb"}};

    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root + "/kasa_A/baza.mdb"), "absolute");
    // A second register under K would overwrite the first one's database; an empty folder is no backup.
    EXPECT_EQ(TestFiles::read(root + "/kasa_K/baza.mdb"), "k1");
    EXPECT_EQ(sources(report), (Names{"K", "P"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kase/k2\" nije kopirana"));
    EXPECT_THAT(report.failed[1].reason, HasSubstr("nema datoteka"));
    EXPECT_FALSE(TestFiles::exists(root + "/kasa_P"));
    EXPECT_THAT(report.backedUp, ElementsAre(work, "K", "A"));
}

TEST_F(DatabaseBackupRunTest, RunIsRefusedUntouchedWhileAnotherIsInProgress)
{
    write({{"a.txt", "a"}});
    const RunGuard other;

    EXPECT_TRUE(run().refused);
    EXPECT_FALSE(TestFiles::exists(root));
    EXPECT_THAT(host.busyPointer, IsEmpty());
    EXPECT_FALSE(host.windowShown);
}

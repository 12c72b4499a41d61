#include "AsNobody.h"
#include "DatabaseBackupFixture.h"
#include "FakeRegisterReader.h"
#include "RunGuard.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <random>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const std::string madeToday = "Rezervna kopija baza podataka je izradjena 05.12.2026 u 08:00";
const std::string nextRun = "Sledeća izrada rezervne kopije 06.12.2026 u 08:00";
const std::string fromServer = "Izrada rezervne kopije podataka sa servera";

std::string registerLine(const std::string& label)
{
    return "Izrada rezervne kopije sa kase " + label;
}

} // namespace

class DatabaseBackupRunTest : public DatabaseBackupFixture
{};

TEST_F(DatabaseBackupRunTest, WithoutServerDatabaseTheFilesGoStraightIntoTheRootAndNoDatabaseIsOpened)
{
    TestFiles::write(work + "/KOPIRKO.ini", "[BACKUP]\r\n");
    TestFiles::write(work + "/podaci.dat", std::string("\0\1\2binarno", 10));
    TestFiles::write(work + "/.skriveno", "h");
    TestFiles::write(work + "/pod/duboko.txt", "not copied");
    FakeRegisterReader reader;

    const RunReport report = run(reader);

    EXPECT_EQ(entries(root()), (std::vector<std::string>{".skriveno", "KOPIRKO.ini", "podaci.dat"}));
    EXPECT_EQ(TestFiles::read(root() + "/podaci.dat"), std::string("\0\1\2binarno", 10));
    EXPECT_EQ(reader.reads, 0);
    EXPECT_THAT(report.failed, IsEmpty());
    EXPECT_THAT(report.backedUp, ElementsAre(work));
    EXPECT_THAT(host.label1History, ElementsAre(madeToday));
    EXPECT_EQ(host.label2, nextRun);
    EXPECT_THAT(host.lampHistory, ElementsAre(LampColour::blue, LampColour::lightYellow));
    EXPECT_FALSE(host.manualButtonShown);
}

TEST_F(DatabaseBackupRunTest, SevenRegisterDatabaseBacksUpServerAndReachableRegistersInIdOrder)
{
    installServerDatabase("tezga-jet4.mdb");
    TestFiles::write(work + "/napomena.txt", "server");
    TestFiles::write(work + "/stari/ne.txt", "subfolder of the working folder");
    makeRegister("kase/k1", {{"baza.mdb", "kasa 1"}, {"log.txt", "l1"}});
    TestFiles::write(work + "/kase/k1/arhiva/stara.mdb", "subfolder of a register");
    makeRegister("kase/k3", {{"baza.mdb", "kasa 3"}});
    makeRegister("kase/šank", {{"baza.mdb", "šank"}});
    makeRegister("kase/k7", {{"baza.mdb", "kasa 7"}});

    const RunReport report = run();

    EXPECT_EQ(entries(root()), (std::vector<std::string>{"kasa_Kasa 1", "kasa_Kasa 3", "kasa_Šank", "server"}));
    EXPECT_EQ(entries(root() + "/server"), (std::vector<std::string>{"napomena.txt", "tezga.mdb"}));
    EXPECT_EQ(TestFiles::read(root() + "/server/tezga.mdb"), fixtureBytes("tezga-jet4.mdb"));
    EXPECT_EQ(entries(root() + "/kasa_Kasa 1"), (std::vector<std::string>{"baza.mdb", "log.txt"}));
    EXPECT_EQ(TestFiles::read(root() + "/kasa_Kasa 1/baza.mdb"), "kasa 1");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_Kasa 3/baza.mdb"), "kasa 3");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_Šank/baza.mdb"), "šank");

    // Kasa 2's folder is missing; "Kasa/7" cannot name a folder; K4 (8 characters) and K6 (null) pass silently.
    EXPECT_EQ(failedSources(report), (std::vector<std::string>{"Kasa 2", "Kasa/7"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kase/nema"));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("nije dostupna"));
    EXPECT_THAT(report.failed[1].reason, HasSubstr("ime fascikle"));
    EXPECT_THAT(report.backedUp, ElementsAre(work, "Kasa 1", "Kasa 3", "Šank"));
    EXPECT_TRUE(host.manualButtonShown);
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_EQ(failedSources(host.finished[0]), failedSources(report));

    EXPECT_THAT(host.label1History, ElementsAre(fromServer, registerLine("Kasa 1"), registerLine("Kasa 2"),
                                                registerLine("Kasa 3"), registerLine("K4"), registerLine("Šank"),
                                                registerLine("K6"), registerLine("Kasa/7"), madeToday));
    EXPECT_EQ(host.label2, nextRun);
}

TEST_F(DatabaseBackupRunTest, ThreeHundredRegistersAreHandledInAscendingIdOrder)
{
    installServerDatabase("tezga-300-registers.mdb");
    std::vector<std::string> unreachable;
    for (int i = 1; i <= 300; ++i) {
        if (i % 10 == 0)
            unreachable.push_back("K" + std::to_string(i));
        else
            makeRegister("kase/r" + std::to_string(i), {{"baza.mdb", "r" + std::to_string(i)}});
    }

    const RunReport report = run();

    EXPECT_EQ(failedSources(report), unreachable);
    EXPECT_EQ(entries(root()).size(), 270u + 1u);
    for (int i : {1, 9, 11, 151, 299})
        EXPECT_EQ(TestFiles::read(root() + "/kasa_K" + std::to_string(i) + "/baza.mdb"), "r" + std::to_string(i));
    ASSERT_EQ(host.label1History.size(), 1u + 300u + 1u);
    for (int i = 1; i <= 300; ++i)
        ASSERT_EQ(host.label1History[static_cast<size_t>(i)], registerLine("K" + std::to_string(i)));
}

struct DamagedDatabase
{
    const char* name;
    std::function<std::string()> bytes; ///< what "tezga.mdb" holds
    const char* reasonPart;
    friend void PrintTo(const DamagedDatabase& c, std::ostream* out) { *out << c.name; }
};

class DamagedServerDatabaseTest : public DatabaseBackupFixture, public ::testing::WithParamInterface<DamagedDatabase>
{};

TEST_P(DamagedServerDatabaseTest, WorkingFolderIsStillBackedUpAndTheRegistersAreReportedWithTheReason)
{
    const std::string database = GetParam().bytes();
    TestFiles::write(work + "/tezga.mdb", database);
    TestFiles::write(work + "/napomena.txt", "server");
    makeRegister("kase/k1");

    const RunReport report = run();

    EXPECT_EQ(entries(root()), (std::vector<std::string>{"server"}));
    EXPECT_EQ(entries(root() + "/server"), (std::vector<std::string>{"napomena.txt", "tezga.mdb"}));
    EXPECT_EQ(TestFiles::read(root() + "/server/tezga.mdb"), database);
    EXPECT_THAT(report.backedUp, ElementsAre(work));
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{"tezga.mdb"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kase nisu kopirane"));
    EXPECT_THAT(report.failed[0].reason, HasSubstr(GetParam().reasonPart));
    EXPECT_TRUE(host.windowShown);
    EXPECT_EQ(host.label1, madeToday);
}

INSTANTIATE_TEST_SUITE_P(
    Databases, DamagedServerDatabaseTest,
    ::testing::Values(
        DamagedDatabase{"NoKaseTable", [] { return DatabaseBackupFixture::fixtureBytes("tezga-no-kase.mdb"); },
                        "nema tabele kase"},
        DamagedDatabase{"NoPathColumn", [] { return DatabaseBackupFixture::fixtureBytes("tezga-no-path-column.mdb"); },
                        "nema kolone putanjadobazakasa"},
        DamagedDatabase{"Empty", [] { return std::string(); }, "tezga.mdb"},
        DamagedDatabase{"CutAfterFirstPage",
                        [] { return DatabaseBackupFixture::fixtureBytes("tezga-jet4.mdb").substr(0, 4096); },
                        "tezga.mdb"},
        DamagedDatabase{"HeaderOverwritten",
                        [] {
                            std::string bytes = DatabaseBackupFixture::fixtureBytes("tezga-jet4.mdb");
                            std::mt19937 random(7);
                            for (size_t i = 0; i < 4096; ++i)
                                bytes[i] = static_cast<char>(random());
                            return bytes;
                        },
                        "tezga.mdb"},
        DamagedDatabase{"Garbage",
                        [] {
                            std::string bytes(131072, '\0');
                            std::mt19937 random(11);
                            for (char& byte : bytes)
                                byte = static_cast<char>(random());
                            return bytes;
                        },
                        "tezga.mdb"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Retention
{
    const char* name;
    std::int16_t brisati;
    std::int16_t starost;
    const char* deleted; ///< the root that goes, or "" when all stay
    friend void PrintTo(const Retention& c, std::ostream* out) { *out << c.name; }
};

class RetentionTest : public DatabaseBackupFixture, public ::testing::WithParamInterface<Retention>
{};

TEST_P(RetentionTest, OnlyTheRootOfExactlyStarostDaysAgoIsDeleted)
{
    const std::vector<std::string> old{"27_11_2026_Kasa_backup", "28_11_2026_Kasa_backup", "28_11_2026_Drugi_backup",
                                       "04_12_2026_Kasa_backup", "12_12_2026_Kasa_backup"};
    for (const std::string& name : old)
        TestFiles::write(backup + "/" + name + "/stari.txt", "old");
    TestFiles::write(work + "/a.txt", "a");
    settings.Brisati = GetParam().brisati;
    settings.Starost = GetParam().starost;

    const RunReport report = run();

    std::vector<std::string> expected{"05_12_2026_Kasa_backup"};
    for (const std::string& name : old) {
        if (name != GetParam().deleted)
            expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(backup), expected);
    EXPECT_THAT(report.warnings, IsEmpty());
    EXPECT_THAT(report.failed, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Settings, RetentionTest,
                         ::testing::Values(Retention{"SevenDays", 1, 7, "28_11_2026_Kasa_backup"},
                                           Retention{"OneDay", 1, 1, "04_12_2026_Kasa_backup"},
                                           Retention{"AgeZero", 1, 0, ""}, Retention{"AgeNegative", 1, -7, ""},
                                           Retention{"DeletingOff", 0, 7, ""}, Retention{"DeletingTwo", 2, 7, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseBackupRunTest, OldRootWithAReadOnlyFileStaysAndTheRunGoesOnWithAWarning)
{
    const std::string old = backup + "/28_11_2026_Kasa_backup";
    TestFiles::write(old + "/zakljucano.mdb", "old");
    std::filesystem::permissions(old + "/zakljucano.mdb", std::filesystem::perms::owner_read |
                                                              std::filesystem::perms::group_read |
                                                              std::filesystem::perms::others_read);
    TestFiles::write(work + "/a.txt", "a");
    settings.Brisati = 1;
    settings.Starost = 7;

    const RunReport report = run();

    EXPECT_TRUE(TestFiles::exists(old + "/zakljucano.mdb"));
    EXPECT_EQ(TestFiles::read(root() + "/a.txt"), "a");
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_THAT(report.warnings[0], HasSubstr("Stara rezervna kopija nije obrisana"));
    EXPECT_THAT(report.warnings[0], HasSubstr("zakljucano.mdb"));
    EXPECT_THAT(report.failed, IsEmpty());
    ASSERT_EQ(host.finished.size(), 1u);
    EXPECT_EQ(host.finished[0].warnings, report.warnings);
}

struct MissingDestination
{
    const char* name;
    std::function<void(DatabaseBackupFixture&, BackupSettings&)> arrange;
    const char* reasonPart;
    friend void PrintTo(const MissingDestination& c, std::ostream* out) { *out << c.name; }
};

class MissingDestinationTest : public DatabaseBackupFixture, public ::testing::WithParamInterface<MissingDestination>
{};

TEST_P(MissingDestinationTest, NothingIsCopiedTheRegistersAreNotReadAndTheStatusSaysSo)
{
    installServerDatabase("tezga-jet4.mdb");
    makeRegister("kase/k1");
    GetParam().arrange(*this, settings);
    FakeRegisterReader reader;

    const RunReport report = run(reader);

    EXPECT_EQ(reader.reads, 0);
    EXPECT_FALSE(std::filesystem::is_directory(root()));
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{work}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("rezervna kopija nije napravljena"));
    EXPECT_THAT(report.failed[0].reason, HasSubstr(GetParam().reasonPart));
    EXPECT_EQ(host.label1, "Rezervna kopija baza podataka nije izradjena 05.12.2026 u 08:00");
    EXPECT_EQ(host.label2, nextRun);
    EXPECT_TRUE(host.windowShown);
    EXPECT_THAT(host.steps, ElementsAre("busy", "lamp", "lamp", "window", "finished", "pointer"));
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, MissingDestinationTest,
    ::testing::Values(
        MissingDestination{"NotSetUp", [](auto&, auto& settings) { settings.BackupDir.clear(); }, "nije podesena"},
        MissingDestination{"Unplugged",
                           [](auto& fixture, auto& settings) { settings.BackupDir = fixture.dir / "odspojeni-disk"; },
                           "odspojeni-disk\" ne postoji"},
        MissingDestination{
            "RootNameTakenByAFile",
            [](auto& fixture, auto&) { TestFiles::write(fixture.backup + "/05_12_2026_Kasa_backup", "file"); },
            "nije fascikla"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseBackupRunTest, SecondRunOnTheSameDayOverwritesAndAFailedCopyKeepsTheEarlierOne)
{
    TestFiles::write(work + "/tezga.mdb", "read by the fake");
    TestFiles::write(work + "/a.txt", "first");
    makeRegister("kase/k1", {{"baza.mdb", "first database"}, {"log.txt", "first log"}});
    FakeRegisterReader reader;
    reader.listing.registers = {{"1", "Kasa 1", "kase/k1/baza.mdb"}};
    ASSERT_THAT(run(reader).backedUp, ElementsAre(work, "Kasa 1"));
    TestFiles::write(root() + "/kasa_Kasa 1/samo-u-kopiji.txt", "left from before");

    TestFiles::write(work + "/a.txt", "second");
    makeRegister("kase/k1", {{"baza.mdb", "second database"}, {"log.txt", "second log"}});
    disk.beforeCopy = [](const std::string& source, const std::string&) -> std::optional<Result> {
        if (source.ends_with("kase/k1/baza.mdb"))
            return Result::failure("injected: disk error");
        return std::nullopt;
    };
    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root() + "/server/a.txt"), "second");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_Kasa 1/baza.mdb"), "first database");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_Kasa 1/log.txt"), "second log");
    EXPECT_EQ(entries(root() + "/kasa_Kasa 1"), (std::vector<std::string>{"baza.mdb", "log.txt", "samo-u-kopiji.txt"}));
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{"Kasa 1"}));
    ASSERT_EQ(report.failed[0].files.size(), 1u);
    EXPECT_EQ(report.failed[0].files[0].path, work + "/kase/k1/baza.mdb");
    EXPECT_THAT(report.failed[0].reason, HasSubstr("injected: disk error"));
}

TEST_F(DatabaseBackupRunTest, ServerDatabaseThatKeepsChangingIsCopiedButReportedAsPossiblyInconsistent)
{
    installServerDatabase("tezga-jet4.mdb");
    TestFiles::write(work + "/a.txt", "a");
    int writes = 0;
    // The point-of-sale program writes to its database while it is read, every time.
    disk.beforeCopy = [&](const std::string& source, const std::string&) -> std::optional<Result> {
        if (source.ends_with("/tezga.mdb"))
            TestFiles::write(source, fixtureBytes("tezga-jet4.mdb") + std::string(++writes, 'x'));
        return std::nullopt;
    };
    FakeRegisterReader reader;

    const RunReport report = run(reader);

    EXPECT_EQ(writes, 2);
    EXPECT_EQ(TestFiles::read(root() + "/server/a.txt"), "a");
    EXPECT_TRUE(TestFiles::exists(root() + "/server/tezga.mdb"));
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{work}));
    ASSERT_EQ(report.failed[0].files.size(), 1u);
    EXPECT_EQ(report.failed[0].files[0].path, work + "/tezga.mdb");
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kopija mozda nije ispravna"));
}

struct LabelCase
{
    const char* name;
    std::string label;
    bool usable;
    friend void PrintTo(const LabelCase& c, std::ostream* out) { *out << c.name; }
};

class RegisterLabelTest : public DatabaseBackupFixture, public ::testing::WithParamInterface<LabelCase>
{};

TEST_P(RegisterLabelTest, UnusableLabelIsReportedAndSkippedAndTheNextRegisterIsStillBackedUp)
{
    TestFiles::write(work + "/tezga.mdb", "read by the fake");
    makeRegister("kase/k1", {{"baza.mdb", "prva"}});
    makeRegister("kase/k2", {{"baza.mdb", "druga"}});
    FakeRegisterReader reader;
    reader.listing.registers = {{"1", GetParam().label, "kase/k1/baza.mdb"}, {"2", "Dobra", "kase/k2/baza.mdb"}};

    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root() + "/kasa_Dobra/baza.mdb"), "druga");
    if (GetParam().usable) {
        EXPECT_THAT(report.failed, IsEmpty());
        EXPECT_EQ(TestFiles::read(root() + "/kasa_" + GetParam().label + "/baza.mdb"), "prva");
    } else {
        EXPECT_EQ(entries(root()), (std::vector<std::string>{"kasa_Dobra", "server"}));
        ASSERT_EQ(report.failed.size(), 1u);
        EXPECT_EQ(report.failed[0].source,
                  GetParam().label.empty() ? std::string("kasa bez oznake (id 1)") : GetParam().label);
        EXPECT_THAT(report.failed[0].reason, HasSubstr("kasa nije kopirana"));
        EXPECT_FALSE(host.manualButtonShown);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Labels, RegisterLabelTest,
    ::testing::Values(LabelCase{"Empty", "", false}, LabelCase{"Dot", ".", false}, LabelCase{"DotDot", "..", false},
                      LabelCase{"Slash", "/", false}, LabelCase{"Climbing", "../../etc", false},
                      LabelCase{"Tab", "Kasa\t1", false}, LabelCase{"LineBreak", "Kasa\n1", false},
                      LabelCase{"Delete", "Kasa\x7f", false}, LabelCase{"NonAscii", "Šank čaša", true},
                      LabelCase{"BlanksAndSigns", " Kasa #1 (glavna) ", true}, LabelCase{"Dots", "...", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DatabaseBackupRunTest, RegisterPathsResolveFromTheWorkingFolderUnlessAbsolute)
{
    TestFiles::write(work + "/tezga.mdb", "read by the fake");
    makeRegister("kase/k1", {{"baza.mdb", "relative"}});
    TestFiles::write(dir / "daleko/kasa/baza.mdb", "absolute");
    TestFiles::write(dir / "prazna/.keep/x", "only a subfolder: nothing to back up");
    FakeRegisterReader reader;
    reader.listing.registers = {{"1", "R", "kase/k1/baza.mdb"},
                                {"2", "A", dir / "daleko/kasa/baza.mdb"},
                                {"3", "P", dir / "prazna/baza.mdb"},
                                {"4", "B", "  kase/k1  /baza.mdb"}};

    const RunReport report = run(reader);

    EXPECT_EQ(reader.lastFile, work + "/tezga.mdb");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_R/baza.mdb"), "relative");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_A/baza.mdb"), "absolute");
    EXPECT_EQ(TestFiles::read(root() + "/kasa_B/baza.mdb"), "relative");
    // A reachable register with nothing to copy is no backup: it is reported, not counted as done.
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{"P"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("nema datoteka"));
    EXPECT_FALSE(TestFiles::exists(root() + "/kasa_P"));
    EXPECT_THAT(report.backedUp, ElementsAre(work, "R", "A", "B"));
}

TEST_F(DatabaseBackupRunTest, SecondRegisterUnderTheSameLabelDoesNotOverwriteTheFirst)
{
    TestFiles::write(work + "/tezga.mdb", "read by the fake");
    makeRegister("kase/k1", {{"baza.mdb", "prva"}});
    makeRegister("kase/k2", {{"baza.mdb", "druga"}});
    FakeRegisterReader reader;
    reader.listing.registers = {
        {"2", "Kasa", "kase/k2/baza.mdb"}, {"1", "Kasa", "kase/k1/baza.mdb"}, {"3", "Kasa", "kase/k1/baza.mdb"}};

    const RunReport report = run(reader);

    EXPECT_EQ(TestFiles::read(root() + "/kasa_Kasa/baza.mdb"), "prva");
    ASSERT_EQ(failedSources(report), (std::vector<std::string>{"Kasa"}));
    EXPECT_THAT(report.failed[0].reason, HasSubstr("kase/k2"));
    EXPECT_THAT(report.backedUp, ElementsAre(work, "Kasa"));
}

TEST_F(DatabaseBackupRunTest, FilesAndFoldersTheUserMayNotReadAreReportedAndTheRestIsCopied)
{
    TestFiles::write(work + "/tezga.mdb", "read by the fake");
    makeRegister("kase/k1", {{"baza.mdb", "secret"}, {"log.txt", "log"}});
    makeRegister("kase/k3", {{"baza.mdb", "k3"}});
    namespace fs = std::filesystem;
    fs::permissions(work + "/kase/k1/baza.mdb", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(work + "/kase/k3", fs::perms::owner_all);
    openToEverybody(dir.path());
    openToEverybody(backup);
    FakeRegisterReader reader;
    reader.listing.registers = {{"1", "K1", "kase/k1/baza.mdb"}, {"3", "K3", "kase/k3/baza.mdb"}};

    // The child reports through its exit code which expectation failed.
    const int code = runAsNobody([&] {
        const RunReport report = run(reader);
        if (failedSources(report) != std::vector<std::string>{"K1", "K3"})
            return 1;
        if (report.failed[0].files.size() != 1 || report.failed[0].files[0].path != work + "/kase/k1/baza.mdb")
            return 2;
        if (report.failed[1].reason.find("se ne moze procitati") == std::string::npos)
            return 3;
        return 0;
    });

    if (code == 125)
        GTEST_SKIP() << "the test cannot switch to the user nobody here";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(entries(root() + "/kasa_K1"), (std::vector<std::string>{"log.txt"}));
    EXPECT_FALSE(TestFiles::exists(root() + "/kasa_K3"));
}

struct ModeCase
{
    std::int16_t mode;
    bool timer1;
    bool message;
    friend void PrintTo(const ModeCase& c, std::ostream* out) { *out << "NacinBackupa " << c.mode; }
};

class RunEndByModeTest : public DatabaseBackupFixture, public ::testing::WithParamInterface<ModeCase>
{};

TEST_P(RunEndByModeTest, EndStepsRunInOrderAndOnlyTheModeByHandShowsTheMessage)
{
    TestFiles::write(work + "/a.txt", "a");
    settings.NacinBackupa = GetParam().mode;

    run();

    std::vector<std::string> steps{"busy", "lamp"};
    if (GetParam().timer1)
        steps.push_back("timer1");
    for (const char* step : {"lamp", "window", "finished", "pointer"})
        steps.push_back(step);
    EXPECT_EQ(host.steps, steps);
    EXPECT_EQ(host.lamp, LampColour::lightYellow);
    if (GetParam().message)
        EXPECT_THAT(test.messages.texts(), ElementsAre("Izrada rezervne kopije je zavrsena"));
    else
        EXPECT_THAT(test.messages.texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, RunEndByModeTest,
                         ::testing::Values(ModeCase{0, true, false}, ModeCase{1, false, false},
                                           ModeCase{2, false, true}),
                         [](const auto& info) { return "Mode" + std::to_string(info.param.mode); });

TEST_F(DatabaseBackupRunTest, RunIsRefusedUntouchedWhileAnotherIsInProgress)
{
    TestFiles::write(work + "/a.txt", "a");
    const RunGuard other;

    const RunReport report = run();

    EXPECT_TRUE(report.refused);
    EXPECT_FALSE(TestFiles::exists(root()));
    EXPECT_THAT(host.steps, IsEmpty());
}

// The reader that runs kopirko-kase: what each way the program can end becomes, and that the text file it names
// never outlives the reading. The program is stood in for by a fake runner here; the real program is run in
// DatabaseBackupRunTest (Linux) and OdbcKaseProgramTest (Windows, under Wine).
#include "HelperRegisterReader.h"

#include "CommandRunner.h"
#include "KaseListText.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

/// Instead of running a program: writes `text` (unless it is nothing) into the file named by the last argument
/// and ends as `outcome` says.
struct FakeCommandRunner : CommandRunner
{
    std::optional<std::string> text;
    CommandOutcome outcome;
    std::vector<std::vector<std::string>> calls;

    CommandOutcome run(const std::string& program, const std::vector<std::string>& arguments,
                       std::chrono::milliseconds) override
    {
        calls.push_back(arguments);
        calls.back().insert(calls.back().begin(), program);
        if (text)
            TestFiles::write(arguments.back(), *text);
        return outcome;
    }
};

CommandOutcome finished(int exitCode, std::string output = {})
{
    return CommandOutcome{CommandOutcome::Status::Finished, exitCode, std::move(output), {}};
}

const std::string header = "kopirko-kase 1\n";

} // namespace

class HelperRegisterReaderTest : public ::testing::Test
{
protected:
    TempDir dir;
    FakeCommandRunner runner;
    SystemFileSystem disk;
    const std::string database = "C:/Kasa/tezga.mdb";
    HelperRegisterReader reader{runner, disk, "/opt/kopirko/kopirko-kase", dir.path(), std::chrono::seconds(2)};
};

TEST_F(HelperRegisterReaderTest, RowsComeThroughWholeFromATemporaryFileThatIsRemovedAfterwards)
{
    runner.text = header + "red\t2\tŠank\\x09ћ\tkase/šank/baza.mdb\nred\t\tK6\t\nkraj\t2\n";
    runner.outcome = finished(KaseListText::exitRows);

    const RegisterListing listing = reader.readRegisters(database);

    ASSERT_TRUE(listing.ok()) << listing.error;
    ASSERT_EQ(listing.registers.size(), 2u);
    EXPECT_EQ(listing.registers[0].label, "Šank\tћ");
    EXPECT_EQ(listing.registers[0].databasePath, "kase/šank/baza.mdb");
    EXPECT_EQ(listing.registers[1].id, "");
    ASSERT_THAT(runner.calls, ElementsAre(ElementsAre("/opt/kopirko/kopirko-kase", database, StartsWith(dir.path()))));
    EXPECT_THAT(TestFiles::names(dir.path()), IsEmpty());

    reader.readRegisters(database); // each reading has a file of its own
    EXPECT_NE(runner.calls[1][2], runner.calls[0][2]);
}

/// How the program ended and what it wrote, against the reason the run reports (`text` nothing: no file).
struct Ending
{
    const char* what;
    std::optional<std::string> text;
    CommandOutcome outcome;
    std::string reason;
    friend void PrintTo(const Ending& c, std::ostream* out) { *out << c.what; }
};

class HelperRegisterReaderEndingTest : public HelperRegisterReaderTest, public ::testing::WithParamInterface<Ending>
{};

TEST_P(HelperRegisterReaderEndingTest, EveryEndingGivesItsReasonAndLeavesNoFile)
{
    runner.text = GetParam().text;
    runner.outcome = GetParam().outcome;

    const RegisterListing listing = reader.readRegisters(database);

    EXPECT_THAT(listing.registers, IsEmpty());
    EXPECT_THAT(listing.error, HasSubstr(GetParam().reason));
    EXPECT_THAT(TestFiles::names(dir.path()), IsEmpty());
}

const std::string oneRow = header + "red\t1\tK1\tkase/k1/baza.mdb\nkraj\t1\n", problem = header + "greska\t";
const std::string baza = "baza \"C:/Kasa/tezga.mdb\" ", reading = baza + "je ostecena: citanje tabele kase ";
const CommandOutcome exit0 = finished(0), exit2 = finished(2);

// A text that parses but does not match the exit code is no listing; what does not parse at all is refused by
// KaseListText (KaseListTextTest), so one such text stands for all.
INSTANTIATE_TEST_SUITE_P(
    Endings, HelperRegisterReaderEndingTest,
    ::testing::Values(
        Ending{"CannotOpen", problem + "otvaranje\tNo such file\n", exit2, baza + "se ne moze otvoriti: No such file"},
        Ending{"Damaged", problem + "ostecena\tstranica 30 nedostaje\n", exit2,
               baza + "je ostecena: stranica 30 nedostaje"},
        Ending{"NoTable", problem + "tabela\t\n", exit2, "u bazi \"C:/Kasa/tezga.mdb\" nema tabele kase"},
        Ending{"NoColumn", problem + "kolona\tid, putanjadobazakasa\n", exit2, "nema kolone id, putanjadobazakasa"},
        Ending{"NoDriver", problem + "drajver\tMicrosoft Access Driver (*.mdb)\n", exit2,
               "nema 32-bitnog ODBC drajvera za Access baze (Microsoft Access Driver (*.mdb))"},
        Ending{"DriverError", problem + "odbc\tRecord is deleted.\n", exit2,
               baza + "se ne moze procitati: Record is deleted."},
        Ending{"Crash", header + "red\t1\t", finished(-1), reading + "se srusilo"},
        Ending{"CrashOnWindows", std::nullopt, finished(static_cast<int>(0xC0000005)),
               reading + "se prekinulo (izlazni kod -1073741819)"},
        Ending{"AbortOnWindows", oneRow, finished(3), reading + "se prekinulo (izlazni kod 3)"},
        Ending{"RowsButSaidItFailed", oneRow, exit2, reading + "dalo je neispravan rezultat"},
        Ending{"FailureButSaidRows", problem + "tabela\t\n", exit0, reading + "dalo je neispravan rezultat"},
        Ending{"Garbage",
               std::string("\x7F"
                           "ELF\x01\x02"),
               exit0, reading + "dalo je neispravan rezultat"},
        Ending{"NoTextAtAll", std::nullopt, exit0, reading + "dalo je neispravan rezultat"},
        Ending{"Hang", oneRow.substr(0, 20), CommandOutcome{CommandOutcome::Status::TimedOut, -1, {}, {}},
               reading + "nije zavrseno ni za 2 s"},
        Ending{"CannotWriteItsText", std::nullopt,
               finished(1, "libmdb noise\nkopirko-kase: \"x\" se ne moze napisati\n"),
               "program \"kopirko-kase\" nije predao kase: kopirko-kase: \"x\" se ne moze napisati"},
        Ending{"NotThere", std::nullopt, CommandOutcome{CommandOutcome::Status::NotStarted, -1, {}, "No such file"},
               "program \"kopirko-kase\" koji cita kase se ne moze pokrenuti: No such file"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(HelperRegisterReaderProcessTest, AReaderThatHangsIsEndedAtTheTimeLimitAndItsFileRemoved)
{
    TempDir dir;
    SystemCommandRunner runner;
    SystemFileSystem disk;
    // As a reading library may on a damaged database, kopirko_test_child's "hold" (given where kopirko-kase gets the
    // database) writes into the text file, then holds on for ten minutes.
    const HelperRegisterReader reader(runner, disk, TestFiles::programBeside("kopirko_test_child"), dir.path(),
                                      std::chrono::milliseconds(300));

    const RegisterListing listing = reader.readRegisters("hold");

    EXPECT_THAT(listing.error, HasSubstr("je ostecena: citanje tabele kase nije zavrseno ni za 300 ms"));
    // The stand-in writes its text file under "<name>.part" first; on a loaded machine the limit can end it before
    // its rename, and that leftover is its own, not a file kopirko-kase would leave. Every other name must be gone.
    std::vector<std::string> left = TestFiles::names(dir.path());
    std::erase_if(left, [](const std::string& name) { return name.ends_with(".txt.part"); });
    EXPECT_THAT(left, IsEmpty());
}

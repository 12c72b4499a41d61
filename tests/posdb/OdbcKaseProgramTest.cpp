// kopirko-kase.exe on the real database files through ODBC, under Wine only: its 64-bit twin (Windows gets a 32-bit
// one, for Jet) reaches Linux's unixODBC and mdbtools' driver through Wine's ODBC bridge, and that driver needs the
// database's Linux path. The driver comes from the odbcinst.ini that tests/posdb/CMakeLists.txt writes into the
// build and names in ODBCSYSINI: nothing of the machine's ODBC set-up is used or changed. Jet's own messages,
// SQLSTATEs and row order, and the 32-bit build, are not checked here.
#include "KaseListText.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "WineSide.h"

#include <windows.h>

#include <gmock/gmock.h>

#include <cstdlib>

using ::testing::HasSubstr;

namespace {

struct Ran
{
    int exitCode = 0;
    std::optional<KaseReadResult> read; ///< nothing when the text is missing or malformed
};

} // namespace

class OdbcKaseProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!WineSide::present())
            GTEST_SKIP() << "runs only under Wine: it reads through Linux's mdbtools ODBC driver";
        if (!std::string(std::getenv("ODBCSYSINI") ? std::getenv("ODBCSYSINI") : "").ends_with(drivers()))
            GTEST_SKIP() << "runs through ctest, which names the build's " << drivers() << " in ODBCSYSINI";
        ASSERT_TRUE(TestFiles::exists(WineSide::windowsPath(mdbtoolsDriver).value_or("")))
            << mdbtoolsDriver << " is missing: install odbc-mdbtools (scripts/windows-env.sh does)";
    }

    /// The folder of the odbcinst.ini these cases need: tests/posdb/CMakeLists.txt writes both.
    virtual std::string drivers() const { return "/odbc"; }

    static constexpr const char* mdbtoolsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so";

    /// Runs kopirko-kase.exe on `database` (as given: a Linux path for the driver), and reads the text it wrote.
    static Ran run(const std::string& database, const std::string& output)
    {
        const CommandOutcome outcome = SystemCommandRunner().run(TestFiles::programBeside("kopirko-kase"),
                                                                 {database, output}, std::chrono::seconds(60));
        EXPECT_EQ(outcome.status, CommandOutcome::Status::Finished) << outcome.error;
        return {outcome.exitCode,
                TestFiles::exists(output) ? KaseListText::parse(TestFiles::read(output)) : std::nullopt};
    }

    /// The Linux path of a fixture, for the driver.
    static std::string fixture(const std::string& name) { return KOPIRKO_POSDB_FIXTURES "/" + name; }

    TempDir dir;
};

/// A fixture, and what kopirko-kase.exe gives for it: the number of rows and the first ones (joined
/// "id|label|path;"), or the problem.
struct Listing
{
    const char* what;
    const char* file;
    std::size_t count;
    std::string rows;
    std::optional<KaseProblem::Kind> problem;
    const char* detail;
    const char* drivers = "/odbc";
    friend void PrintTo(const Listing& c, std::ostream* out) { *out << c.what; }
};

class OdbcKaseListingTest : public OdbcKaseProgramTest, public ::testing::WithParamInterface<Listing>
{
    std::string drivers() const override { return GetParam().drivers; }
};

TEST_P(OdbcKaseListingTest, GivesTheRowsInStoredOrderOrWhatIsMissing)
{
    const Ran ran = run(fixture(GetParam().file), dir / "kase.txt");

    ASSERT_TRUE(ran.read) << "exit code " << ran.exitCode;
    EXPECT_EQ(ran.exitCode, GetParam().problem ? KaseListText::exitProblem : KaseListText::exitRows);
    if (GetParam().problem) {
        ASSERT_TRUE(ran.read->problem);
        EXPECT_EQ(ran.read->problem->kind, *GetParam().problem);
        EXPECT_THAT(ran.read->problem->detail, HasSubstr(GetParam().detail));
        return;
    }
    ASSERT_FALSE(ran.read->problem) << ran.read->problem->detail;
    std::string rows;
    for (const CashRegister& row : ran.read->rows)
        rows += row.id + "|" + row.label + "|" + row.databasePath + ";";
    EXPECT_EQ(ran.read->rows.size(), GetParam().count);
    EXPECT_EQ(rows.substr(0, GetParam().rows.size()), GetParam().rows);
}

using enum KaseProblem::Kind;
INSTANTIATE_TEST_SUITE_P(
    Fixtures, OdbcKaseListingTest,
    ::testing::Values(Listing{"Jet4", "tezga-jet4.mdb", 7,
                              "3|Kasa 3|kase/k3/baza.mdb;1|Kasa 1|kase/k1/baza.mdb;2|Kasa 2|kase/nema/baza.mdb;"
                              "5|Šank|kase/šank/baza.mdb;4|K4|short.db;6|K6|;7|Kasa/7|kase/k7/baza.mdb;",
                              std::nullopt, ""},
                      Listing{"ThreeHundred", "tezga-300-registers.mdb", 300,
                              "300|K300|kase/r300/baza.mdb;299|K299|kase/r299/baza.mdb;", std::nullopt, ""},
                      Listing{"NoKase", "tezga-no-kase.mdb", 0, "", NoTable, ""},
                      Listing{"NoPathColumn", "tezga-no-path-column.mdb", 0, "", NoColumn, "putanjadobazakasa"},
                      Listing{"Missing", "nema.mdb", 0, "", CannotOpen, ""},
                      // The byte that makes libmdb dereference a null pointer on Linux; mdbtools' ODBC driver fails
                      // the fetch instead.
                      Listing{"RowTheDriverCannotRead", "tezga-crash-kase-usage-map.mdb", 0, "", Damaged,
                              "red 1 tabele kase se ne moze procitati"},
                      // With an odbcinst.ini that has mdbtools' driver under its own name only: ctest runs this case
                      // as an entry of its own, OdbcKaseWithoutAccessDriver. Both drivers are named.
                      Listing{"NoAccessDriver", "tezga-jet4.mdb", 0, "", NoDriver,
                              "Microsoft Access Driver (*.mdb), Microsoft Access Driver (*.mdb, *.accdb)",
                              "/odbc-bez-access-drajvera"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(OdbcKaseProgramTest, ArgumentsOutsideTheAnsiCodePageArriveWhole)
{
    // The database under a folder with č, š and Cyrillic letters; the text into another one.
    const std::string folder = dir / "Šank č ћирилица";
    TestFiles::write(folder + "\\tezga.mdb", TestFiles::read(*WineSide::windowsPath(fixture("tezga-jet4.mdb"))));

    const Ran ran = run(*WineSide::linuxPath(folder + "\\tezga.mdb"), dir / "izlaz đ ж\\kase.txt");

    // The text's folder is not made by the program: it fails to write, and says so by its exit code.
    EXPECT_EQ(ran.exitCode, KaseListText::exitUsage);
    TestFiles::makeFolder(dir / "izlaz đ ж");
    const Ran again = run(*WineSide::linuxPath(folder + "\\tezga.mdb"), dir / "izlaz đ ж\\kase.txt");
    ASSERT_TRUE(again.read && !again.read->problem) << "exit code " << again.exitCode;
    ASSERT_EQ(again.read->rows.size(), 7u);
    EXPECT_EQ(again.read->rows[3].label, "Šank");
}

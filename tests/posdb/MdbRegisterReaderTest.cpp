#include "MdbRegisterReader.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <functional>

using ::testing::HasSubstr;

namespace {

std::string fixture(const std::string& name)
{
    return std::string(KOPIRKO_POSDB_FIXTURES) + "/" + name;
}

std::vector<std::string> rows(const RegisterListing& listing)
{
    std::vector<std::string> lines;
    for (const CashRegister& r : listing.registers)
        lines.push_back(r.id + "|" + r.label + "|" + r.databasePath);
    return lines;
}

} // namespace

TEST(MdbRegisterReaderTest, ReadsTheRowsAsStoredWithNullsAsEmptyAndUtf8Texts)
{
    const RegisterListing listing = MdbRegisterReader().readRegisters(fixture("tezga-jet4.mdb"));

    ASSERT_TRUE(listing.ok()) << listing.error;
    EXPECT_EQ(rows(listing), (std::vector<std::string>{"3|Kasa 3|kase/k3/baza.mdb", "1|Kasa 1|kase/k1/baza.mdb",
                                                       "2|Kasa 2|kase/nema/baza.mdb", "5|Šank|kase/šank/baza.mdb",
                                                       "4|K4|short.db", "6|K6|", "7|Kasa/7|kase/k7/baza.mdb"}));
}

TEST(MdbRegisterReaderTest, ReadsThreeHundredRowsAndLeavesTheFileAsItWas)
{
    TempDir dir;
    const std::string copy = dir / "tezga.mdb";
    TestFiles::write(copy, TestFiles::read(fixture("tezga-300-registers.mdb")));
    const auto modified = std::filesystem::last_write_time(copy);

    const RegisterListing listing = MdbRegisterReader().readRegisters(copy);

    ASSERT_TRUE(listing.ok()) << listing.error;
    ASSERT_EQ(listing.registers.size(), 300u);
    for (int i = 300; i >= 1; --i) {
        const CashRegister& r = listing.registers[static_cast<size_t>(300 - i)];
        ASSERT_EQ(r.id + "|" + r.label + "|" + r.databasePath,
                  std::to_string(i) + "|K" + std::to_string(i) + "|kase/r" + std::to_string(i) + "/baza.mdb");
    }
    EXPECT_EQ(TestFiles::read(copy), TestFiles::read(fixture("tezga-300-registers.mdb")));
    EXPECT_EQ(std::filesystem::last_write_time(copy), modified);
}

struct Unreadable
{
    const char* name;
    std::function<void(const std::string& path)> make; ///< writes the database at `path`
    const char* errorPart;
    friend void PrintTo(const Unreadable& c, std::ostream* out) { *out << c.name; }
};

class UnreadableDatabaseTest : public ::testing::TestWithParam<Unreadable>
{};

TEST_P(UnreadableDatabaseTest, GivesAnErrorAndNoRows)
{
    TempDir dir;
    const std::string path = dir / "tezga.mdb";
    GetParam().make(path);

    const RegisterListing listing = MdbRegisterReader().readRegisters(path);

    EXPECT_FALSE(listing.ok());
    EXPECT_TRUE(listing.registers.empty());
    EXPECT_THAT(listing.error, HasSubstr(GetParam().errorPart));
}

namespace {

auto copyOf(const std::string& name)
{
    return [name](const std::string& path) { TestFiles::write(path, TestFiles::read(fixture(name))); };
}

auto cutCopyOf(const std::string& name, size_t size)
{
    return [name, size](const std::string& path) {
        TestFiles::write(path, TestFiles::read(fixture(name)).substr(0, size));
    };
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableDatabaseTest,
    ::testing::Values(
        Unreadable{"Missing", [](const std::string&) {}, "se ne moze otvoriti"},
        Unreadable{"Folder", [](const std::string& path) { TestFiles::makeFolder(path); }, "tezga.mdb"},
        Unreadable{"Empty", [](const std::string& path) { TestFiles::write(path, ""); }, "tezga.mdb"},
        Unreadable{"Text", [](const std::string& path) { TestFiles::write(path, "id;oznaka\n1;K1\n"); }, "tezga.mdb"},
        Unreadable{"CutAfterFirstPage", cutCopyOf("tezga-jet4.mdb", 4096), "tezga.mdb"},
        Unreadable{"CutInHalf", cutCopyOf("tezga-jet4.mdb", 32768), "kase"},
        Unreadable{"NoKaseTable", copyOf("tezga-no-kase.mdb"), "nema tabele kase"},
        Unreadable{"NoPathColumn", copyOf("tezga-no-path-column.mdb"), "u tabeli kase nema kolone putanjadobazakasa"}),
    [](const auto& info) { return std::string(info.param.name); });

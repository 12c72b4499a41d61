#include "RegisterRules.h"
#include "MdbRegisterReader.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

using FolderCase = std::pair<std::string, std::optional<std::string>>;

class DatabaseFolderTest : public ::testing::TestWithParam<FolderCase>
{};

TEST_P(DatabaseFolderTest, NineCharactersNotBytesAreCutOffPathsLongerThanEight)
{
    EXPECT_EQ(RegisterRules::databaseFolder(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Paths, DatabaseFolderTest,
                         ::testing::Values(FolderCase("", std::nullopt), FolderCase("short.db", std::nullopt),
                                           FolderCase("123456789", ""), FolderCase("kase/k1/baza.mdb", "kase/k1"),
                                           FolderCase("kase/k1/tezga.mdb", "kase/k1/"),
                                           // č, š, ž, € take two or three bytes each
                                           FolderCase("kase/šank/baza.mdb", "kase/šank"), FolderCase("čćžšđčćžš", ""),
                                           FolderCase("čćžšđčćž", std::nullopt), FolderCase("/x/šank.mdb", "/x"),
                                           FolderCase("/kase/€uro/€€€€.mdb", "/kase/€uro")));

TEST(RegisterRulesTest, OrderByIdPutsNullsFirstThenNumbersByValueThenTextAndKeepsEqualIdsInStoredOrder)
{
    std::vector<CashRegister> registers;
    for (const char* id : {"10", "", "x", "2", "-4", "2", "nan", "1.5"})
        registers.push_back(CashRegister{id, "row" + std::to_string(registers.size()), ""});
    RegisterRules::orderById(registers);
    std::vector<std::string> order;
    for (const CashRegister& r : registers)
        order.push_back(r.label);
    EXPECT_THAT(order, ElementsAre("row1", "row4", "row7", "row3", "row5", "row0", "row6", "row2"));
}

TEST(MdbRegisterReaderTest, ReadsTheRowsAsStoredWithNullAsEmptyAndUtf8Texts)
{
    const RegisterListing listing =
        MdbRegisterReader().readRegisters(std::string(KOPIRKO_POSDB_FIXTURES) + "/tezga-jet4.mdb");
    ASSERT_TRUE(listing.ok()) << listing.error;
    std::vector<std::string> rows;
    for (const CashRegister& r : listing.registers)
        rows.push_back(r.id + "|" + r.label + "|" + r.databasePath);
    EXPECT_THAT(rows,
                ElementsAre("3|Kasa 3|kase/k3/baza.mdb", "1|Kasa 1|kase/k1/baza.mdb", "2|Kasa 2|kase/nema/baza.mdb",
                            "5|Šank|kase/šank/baza.mdb", "4|K4|short.db", "6|K6|", "7|Kasa/7|kase/k7/baza.mdb"));
}

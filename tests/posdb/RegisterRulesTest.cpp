#include "RegisterRules.h"

#include <gmock/gmock.h>

using ::testing::ElementsAreArray;

struct FolderCase
{
    std::string path;
    std::optional<std::string> folder;
    friend void PrintTo(const FolderCase& c, std::ostream* out) { *out << '"' << c.path << '"'; }
};

class DatabaseFolderTest : public ::testing::TestWithParam<FolderCase>
{};

TEST_P(DatabaseFolderTest, NineCharactersAreCutOffPathsLongerThanEight)
{
    EXPECT_EQ(RegisterRules::databaseFolder(GetParam().path), GetParam().folder) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DatabaseFolderTest,
    ::testing::Values(FolderCase{"", std::nullopt}, FolderCase{"short.db", std::nullopt}, FolderCase{"123456789", ""},
                      FolderCase{"kase/k1/baza.mdb", "kase/k1"},
                      // The name is not looked at: always nine characters, whatever the file is called.
                      FolderCase{"kase/k1/tezga.mdb", "kase/k1/"}, FolderCase{"/srv/kasa1/BAZA.MDB", "/srv/kasa1"},
                      // Characters, not bytes: each č, š, ž is two bytes in UTF-8.
                      FolderCase{"kase/šank/baza.mdb", "kase/šank"}, FolderCase{"čćžšđčćžš", ""},
                      FolderCase{"čćžšđčćž", std::nullopt}, FolderCase{"/x/šank.mdb", "/x"},
                      FolderCase{"kase/k1/čaša.mdb", "kase/k1"}, FolderCase{"/kase/€uro/€€€€.mdb", "/kase/€uro"}));

TEST(RegisterRulesTest, CharacterCountCountsCodePoints)
{
    EXPECT_EQ(RegisterRules::characterCount(""), 0u);
    EXPECT_EQ(RegisterRules::characterCount("Šank"), 4u);
    EXPECT_EQ(RegisterRules::characterCount("a€b"), 3u);
}

namespace {

std::vector<std::string> idsAfterOrdering(const std::vector<std::string>& ids)
{
    std::vector<CashRegister> registers;
    for (size_t i = 0; i < ids.size(); ++i)
        registers.push_back(CashRegister{ids[i], "row" + std::to_string(i), ""});
    RegisterRules::orderById(registers);
    std::vector<std::string> ordered;
    for (const CashRegister& cashRegister : registers)
        ordered.push_back(cashRegister.id + "/" + cashRegister.label);
    return ordered;
}

} // namespace

TEST(RegisterRulesTest, OrderByIdIsNumericNullsFirstAndStableForEqualIds)
{
    EXPECT_THAT(idsAfterOrdering({"3", "1", "10", "2", "-4"}),
                ElementsAreArray({"-4/row4", "1/row1", "2/row3", "3/row0", "10/row2"}));
    EXPECT_THAT(idsAfterOrdering({"2", "", "x", "1.5", "2", "nan", ""}),
                ElementsAreArray({"/row1", "/row6", "1.5/row3", "2/row0", "2/row4", "nan/row5", "x/row2"}));
    EXPECT_THAT(idsAfterOrdering({}), ElementsAreArray(std::vector<std::string>{}));
}

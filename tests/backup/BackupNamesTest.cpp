#include "BackupNames.h"

#include "Paths.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

struct NameCase
{
    const char* source;
    const char* expectedName; ///< of the backup folder, under the destination
};

void PrintTo(const NameCase& c, std::ostream* out)
{
    *out << '"' << c.source << '"';
}

class BackupFolderNameTest : public ::testing::TestWithParam<NameCase>
{};

TEST_P(BackupFolderNameTest, NamesTheFolderAfterTheDateAndTheLastComponent)
{
    const year_month_day date{year{2026}, month{12}, day{5}};
    const std::string destination = Paths::join("Kopije", "Dnevne");
    EXPECT_EQ(BackupNames::backupFolder(destination, date, GetParam().source),
              Paths::join(destination, GetParam().expectedName));
}

INSTANTIATE_TEST_SUITE_P(Sources, BackupFolderNameTest,
                         ::testing::Values(NameCase{"/home/shop/Docs", "05_12_2026_Docs_backup"},
                                           NameCase{"/home/shop/Docs/", "05_12_2026__backup"},
                                           NameCase{"//SERVER/Share/Docs", "05_12_2026_Docs_backup"},
                                           NameCase{"/mnt/server/Računi 2026", "05_12_2026_Računi 2026_backup"},
#ifdef _WIN32
                                           // Both separators; a drive or share root goes by its letter or name.
                                           NameCase{"C:\\Prodaja\\Računi", "05_12_2026_Računi_backup"},
                                           NameCase{"C:/Prodaja/Računi", "05_12_2026_Računi_backup"},
                                           NameCase{"D:\\", "05_12_2026_D_backup"},
                                           NameCase{"D:", "05_12_2026_D_backup"},
                                           NameCase{"\\\\server\\Dokumenti\\", "05_12_2026_Dokumenti_backup"},
                                           NameCase{"\\\\server\\Dokumenti", "05_12_2026_Dokumenti_backup"},
                                           NameCase{"\\\\server\\Dokumenti\\2026", "05_12_2026_2026_backup"},
#endif
                                           NameCase{"/", "05_12_2026__backup"}));

TEST(BackupNamesTest, DatabaseRootCarriesTheProgramFolderSuffix)
{
    const year_month_day date{year{2026}, month{12}, day{5}};
    EXPECT_EQ(BackupNames::databaseBackupRoot("Kopije", date, "_Kasa"),
              Paths::join("Kopije", "05_12_2026_Kasa_backup"));
    EXPECT_EQ(BackupNames::SourceFolderSuffix("Docs"), "_Docs");
}

TEST(PathsTest, FullPathsOfThisPlatform)
{
    const std::pair<const char*, bool> cases[] = {
        {"/home/shop", true}, {"kase/k1", false}, {"", false},
#ifdef _WIN32
        {"C:\\Tezga", true},  {"c:/Tezga", true}, {"D:", true}, {"\\\\pc\\dijeljeno", true},
        {"C:Tezga", false},   {"\\Tezga", true}
#endif
    };
    for (const auto& [path, absolute] : cases)
        EXPECT_EQ(Paths::isAbsolute(path), absolute) << path;
#ifndef _WIN32
    EXPECT_FALSE(Paths::isAbsolute("C:\\Tezga")); // an ordinary name here
#endif
    EXPECT_EQ(Paths::join("/", "a"), "/a");
    EXPECT_EQ(Paths::lastComponent("a/b"), "b");
}

} // namespace

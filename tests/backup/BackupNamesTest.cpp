#include "BackupNames.h"

#include "Paths.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

TEST(BackupNamesTest, TheFolderIsNamedAfterTheDateAndTheLastComponent)
{
    std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/shop/Docs", "05_12_2026_Docs_backup"},
        {"/home/shop/Docs/", "05_12_2026__backup"},
        {"/", "05_12_2026__backup"},
        {"//SERVER/Share/Docs", "05_12_2026_Docs_backup"},
        {"/mnt/server/Računi 2026", "05_12_2026_Računi 2026_backup"}};
#ifdef _WIN32
    // Both separators; a drive or share root goes by its letter or name.
    cases.insert(cases.end(), {{"C:\\Prodaja\\Računi", "05_12_2026_Računi_backup"},
                               {"C:/Prodaja/Računi", "05_12_2026_Računi_backup"},
                               {"D:\\", "05_12_2026_D_backup"},
                               {"D:", "05_12_2026_D_backup"},
                               {"\\\\server\\Dokumenti\\", "05_12_2026_Dokumenti_backup"},
                               {"\\\\server\\Dokumenti", "05_12_2026_Dokumenti_backup"},
                               {"\\\\server\\Dokumenti\\2026", "05_12_2026_2026_backup"}});
#endif
    const year_month_day date{year{2026}, month{12}, day{5}};
    const std::string destination = Paths::join("Kopije", "Dnevne");
    for (const auto& [source, name] : cases)
        EXPECT_EQ(BackupNames::backupFolder(destination, date, source), Paths::join(destination, name)) << source;
}

TEST(PathsTest, FullPathsOfThisPlatform)
{
    std::vector<std::pair<std::string, bool>> cases = {{"/home/shop", true}, {"kase/k1", false}, {"", false}};
#ifdef _WIN32
    cases.insert(cases.end(), {{"C:\\Tezga", true},
                               {"c:/Tezga", true},
                               {"D:", true},
                               {"\\\\pc\\dijeljeno", true},
                               {"C:Tezga", false},
                               {"\\Tezga", true}});
#else
    cases.push_back({"C:\\Tezga", false}); // an ordinary name here
#endif
    for (const auto& [path, absolute] : cases)
        EXPECT_EQ(Paths::isAbsolute(path), absolute) << path;
}

} // namespace

#include "BackupNames.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono;

struct NameCase
{
    const char* source;
    const char* expectedFolder;
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
    EXPECT_EQ(BackupNames::backupFolder("/mnt/Kopije", date, GetParam().source), GetParam().expectedFolder);
}

INSTANTIATE_TEST_SUITE_P(Sources, BackupFolderNameTest,
                         ::testing::Values(NameCase{"/home/shop/Docs", "/mnt/Kopije/05_12_2026_Docs_backup"},
                                           NameCase{"/home/shop/Docs/", "/mnt/Kopije/05_12_2026__backup"},
                                           NameCase{"//SERVER/Share/Docs", "/mnt/Kopije/05_12_2026_Docs_backup"},
                                           NameCase{"/mnt/server/Računi 2026",
                                                    "/mnt/Kopije/05_12_2026_Računi 2026_backup"},
                                           NameCase{"/", "/mnt/Kopije/05_12_2026__backup"}));

TEST(BackupNamesTest, DatabaseRootCarriesTheProgramFolderSuffix)
{
    const year_month_day date{year{2026}, month{12}, day{5}};
    EXPECT_EQ(BackupNames::databaseBackupRoot("/mnt/Kopije", date, "_Kasa"), "/mnt/Kopije/05_12_2026_Kasa_backup");
    EXPECT_EQ(BackupNames::SourceFolderSuffix("Docs"), "_Docs");
}

} // namespace

// The last name of a listed folder becomes part of its backup's name and the top folder of its archive: a name this
// platform would read otherwise, or that leads out of where an archive is unpacked, gives no backup and is reported.
// Written once for both platforms; Windows refuses more names (its rules are the platform's).
#include "BackupNames.h"
#include "ZipFolder.h"

#include "BackupRunFixture.h"
#include "Paths.h"

#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;

const bool windows = Paths::separator == '\\';

TEST(SourceNameTest, ALastNameThatCannotBePartOfABackupsNameIsRefused)
{
    const struct
    {
        const char* source;
        bool refusedOnWindows, refusedElsewhere;
    } cases[] = {
        {"/shop/Docs", false, false},
        {"/shop/Docs/", false, false}, // the suffix "_" alone, as always; the archive's top folder "Docs"
        {"/", false, false},
        {"/shop/Računi 2026", false, false},
        {"/shop/..", true, true}, // an archive's "../" would be unpacked above its folder
        {"/shop/../", true, true},
        {"/shop/.", true, true},
        {"/shop/Docs.", true, false}, // Windows reads it as "Docs": another folder's backup under this name
        {"/shop/Docs ", true, false},
        {"/shop/CON", true, false}, // an archive's "CON/" cannot be unpacked on Windows
        {"/shop/aux.txt/", true, false},
        {"/shop/Docs:stream", true, false},
        {"/shop/Docs*", true, false},
    };
    for (const auto& c : cases) {
        const std::string source = TestFiles::native(c.source);
        const auto problem = BackupNames::sourceNameProblem(source);
        EXPECT_EQ(problem.has_value(), windows ? c.refusedOnWindows : c.refusedElsewhere) << source;
        if (problem) {
            EXPECT_THAT(*problem, HasSubstr("pa ne moze biti dio imena rezervne kopije")) << source;
        }
    }
}

// A whole drive or share listed in the system's own forms goes by its letter or share, as when written plainly: a
// colon cannot stand in a file name, and a backup named "..._C:_backup" would leave a stray file and fail.
TEST(SourceNameTest, ADriveOrShareWrittenInTheSystemsOwnFormsGoesByItsLetterOrShare)
{
    if (!windows)
        GTEST_SKIP() << "these forms name drives and shares on Windows only; elsewhere they are ordinary folder names";
    const struct
    {
        const char* source;
        const char* suffix;
    } cases[] = {
        {"\\\\?\\C:\\", "_C"},
        {"\\\\?\\C:", "_C"},
        {"\\\\.\\D:\\", "_D"},
        {"//?/E:/", "_E"},
        {"\\\\?\\UNC\\KASA1\\Dokumenti", "_Dokumenti"},
        {"\\\\?\\UNC\\KASA1\\Dokumenti\\", "_Dokumenti"},
        {"\\\\?\\C:\\Data", "_Data"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BackupNames::SourceFolderSuffix(c.source), c.suffix) << c.source;
        EXPECT_EQ(archiveTopName(c.source), std::string(c.suffix).substr(1)) << c.source;
        EXPECT_FALSE(BackupNames::sourceNameProblem(c.source)) << c.source;
    }
}

// BothRunsTest is instantiated in BackupRunTest.cpp.
TEST_P(BothRunsTest, AFolderListedUnderANameThatCannotNameItsBackupIsReportedAndGetsNone)
{
    TestFiles::write(dir / "shop/Docs/a.txt", "a");
    Names refused{dir / "shop/Docs/.."};
    if (windows) // both reach Docs on Windows, which drops the dot or blank at the end
        refused.insert(refused.end(), {dir / "shop/Docs.", dir / "shop/Docs "});
    host.folders = refused;
    host.folders.insert(host.folders.begin() + 1, dir / "shop/Docs");

    const RunReport report = run();

    EXPECT_EQ(failedSources(report), refused);
    for (const SourceFailure& failure : report.failed)
        EXPECT_THAT(failure.reason, HasSubstr("pa ne moze biti dio imena rezervne kopije")) << failure.source;
    EXPECT_EQ(report.backedUp, Names{dir / "shop/Docs"});
    EXPECT_EQ(backupFolders(), Names{"12_12_2026_Docs_backup" + ext});
}

} // namespace

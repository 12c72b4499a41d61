// Whatever a row of table `kase` holds, the database backup writes into today's root only, one folder per label, and
// never lets a second register's files replace a first's. The same test on both platforms: the names each platform's
// disks cannot hold, or take for one, differ (Windows: \ : and the other reserved characters, a dot or blank at the
// end, device names, letters in either case), so some rows are refused on Windows only.
#include "DatabaseRunFixture.h"
#include "Paths.h"

#include <gmock/gmock.h>

#include <map>

using ::testing::HasSubstr;

namespace {

const bool windows = Paths::separator == '\\';

/// The real disk, whose listing of a folder also shows names its own disk may hold and this one may not read as
/// they are (a share of another system).
struct ListingDisk : HookedDisk
{
    std::map<std::string, Names> extraNames; ///< folder -> names added to its listing
    FolderListing listFolder(const std::string& folder) const override
    {
        FolderListing listing = HookedDisk::listFolder(folder);
        const auto extra = extraNames.find(folder);
        if (extra != extraNames.end()) {
            for (const std::string& name : extra->second)
                listing.entries.push_back(FolderEntry{name, FolderEntry::Kind::File, 0, 0, 0644, {}});
        }
        return listing;
    }
};

/// The working folder holds "tezga.mdb", whose table `kase` the test sets.
class RegisterFoldersTest : public DatabaseRunFixture<ListingDisk>
{
protected:
    RegisterFoldersTest() { TestFiles::write(work + "/tezga.mdb", "read by the fake reader"); }

    /// A register row whose database "baza.mdb" lies in `folder` (below the working folder), holding `content`.
    CashRegister row(const std::string& id, const std::string& label, const std::string& folder,
                     const std::string& content)
    {
        TestFiles::write(work + "/" + folder + "/baza.mdb", content);
        return {id, label, folder + "/baza.mdb"};
    }
    RunReport run() { return RunDatabaseBackup(settings, host, platform, reader); }

    FakeReader reader;
};

TEST_F(RegisterFoldersTest, LabelsThatCannotBeFoldersOrWouldShareOneAreReportedAndNothingLeavesTheRoot)
{
    const std::string startup =
        "\\..\\..\\..\\Users\\Prodaja\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    const struct
    {
        std::string label;
        const char* refusedOnWindows; ///< nullptr: backed up; else what the report says
        const char* refusedHere = nullptr;
    } cases[] = {
        {"Kasa1", nullptr},
        {"KASA1", "daje istu fasciklu kao oznaka \"Kasa1\""},
        {"Kasa1 ", "zavrsava razmakom"},
        {"Kasa1.", "zavrsava tackom"},
        {startup, "sadrzi znak \\"},
        {"..\\izvan", "sadrzi znak \\"},
        {"../izvan", "sadrzi znak /", "sadrzi znak /"},
        {"..", "ne moze biti ime fascikle", "ne moze biti ime fascikle"},
        {"C:izvan", "sadrzi znak :"},
        {"CON", "je ime uredjaja u Windowsu"},
        {"nul.txt", "je ime uredjaja u Windowsu"},
        {"Kasa<2>", "sadrzi znak <"},
        {"Kasa\t3", "kontrolne znakove", "kontrolne znakove"},
        {"Šank", nullptr},
        {"ŠANK", "daje istu fasciklu kao oznaka \"Šank\""},
    };
    Names refused;
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        reader.rows.push_back(row(std::to_string(k + 1), cases[k].label, "kase/k" + std::to_string(k + 1),
                                  "kasa " + std::to_string(k + 1)));
        if (windows ? cases[k].refusedOnWindows : cases[k].refusedHere)
            refused.push_back(cases[k].label);
    }
    // The first register once more under the other case of its label: on Windows the same folder, backed up once.
    reader.rows.push_back({"99", "kasa1", "kase/k1/baza.mdb"});
    const auto workBefore = TestFiles::tree(work);

    const RunReport report = run();

    EXPECT_EQ(failedSources(report), refused);
    for (const SourceFailure& failure : report.failed) {
        const auto& c =
            *std::find_if(std::begin(cases), std::end(cases), [&](const auto& c) { return c.label == failure.source; });
        EXPECT_THAT(failure.reason, HasSubstr(windows ? c.refusedOnWindows : c.refusedHere)) << failure.source;
    }
    // Each register that was backed up has its own folder in the root, holding its own database; nothing else
    // was written anywhere.
    Names folders{"server"};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        if (windows ? cases[k].refusedOnWindows : cases[k].refusedHere)
            continue;
        folders.push_back("kasa_" + cases[k].label);
        EXPECT_EQ(TestFiles::read(root + "/kasa_" + cases[k].label + "/baza.mdb"), "kasa " + std::to_string(k + 1))
            << cases[k].label;
    }
    if (!windows)
        folders.push_back("kasa_kasa1");
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(TestFiles::names(root), folders);
    EXPECT_EQ(TestFiles::names(dir.path()), (Names{"Kasa", "kopije"}));
    EXPECT_EQ(TestFiles::names(backup), (Names{"05_12_2026_Kasa_backup"}));
    EXPECT_EQ(TestFiles::tree(work), workBefore);
}

TEST_F(RegisterFoldersTest, AFileNameTheRegistersDiskHoldsButThisOneWouldReadOtherwiseIsReportedAndNotCopied)
{
    reader.rows = {row("1", "Kasa1", "kase/k1", "kasa 1")};
    // "..": the folder above. On Windows "a:b" is a stream of "a", and "baza.mdb " would land on "baza.mdb".
    Names strange{".."};
    if (windows)
        strange.insert(strange.end(), {"a:b", "baza.mdb ", "CON"});
    disk.extraNames[Paths::join(work, "kase/k1")] = strange; // the register's folder as the run joins it

    const RunReport report = run();

    ASSERT_EQ(failedSources(report), (Names{"Kasa1"}));
    Names failedFiles;
    for (const FileFailure& file : report.failed[0].files) {
        failedFiles.push_back(Paths::lastComponent(file.path));
        EXPECT_THAT(file.reason, HasSubstr("pa se ne moze kopirati u")) << file.path;
    }
    EXPECT_EQ(failedFiles, strange);
    EXPECT_EQ(TestFiles::tree(root + "/kasa_Kasa1"), (std::map<std::string, std::string>{{"baza.mdb", "kasa 1"}}));
    EXPECT_EQ(TestFiles::names(root), (Names{"kasa_Kasa1", "server"}));
}

} // namespace

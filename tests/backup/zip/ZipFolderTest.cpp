#include "ZipFolder.h"

#include "TempDir.h"
#include "TestFiles.h"
#include "TmpfsMount.h"
#include "ZipReadBack.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using ZipReadBack::Entry;

std::string noise(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data)
        c = static_cast<char>(random() & 0xFF);
    return data;
}

std::string text(std::size_t size)
{
    std::string data;
    for (int line = 0; data.size() < size; ++line)
        data += "stavka " + std::to_string(line) + ";cijena " + std::to_string(line * 37 % 1000) + ",50 KM\n";
    data.resize(size);
    return data;
}

std::set<std::string> names(const std::vector<Entry>& entries)
{
    std::set<std::string> result;
    for (const Entry& entry : entries)
        result.insert(entry.name);
    return result;
}

const Entry* find(const std::vector<Entry>& entries, const std::string& name)
{
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

void setModified(const std::string& path, std::time_t when)
{
    fs::last_write_time(path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

class ZipFolderTest : public ::testing::Test
{
protected:
    TempDir dir;
    std::string source = dir / "podaci/Docs";
    std::string backups = dir / "kopije";
    std::string base = backups + "/05_12_2026_Docs_backup";
    std::string archive = base + ".zip";

    void SetUp() override
    {
        TestFiles::makeFolder(source);
        TestFiles::makeFolder(backups);
    }

    std::vector<std::string> backupFolderNames() const
    {
        std::vector<std::string> result;
        for (const auto& entry : fs::directory_iterator(backups))
            result.push_back(entry.path().filename().string());
        std::sort(result.begin(), result.end());
        return result;
    }
};

struct Layout
{
    const char* name;
    unsigned workers;
    std::size_t chunkSize;
};

class ZipLayoutTest : public ZipFolderTest, public ::testing::WithParamInterface<Layout>
{};

TEST_P(ZipLayoutTest, EveryReaderFindsTheSourceUnderOneTopFolderByteForByte)
{
    TestFiles::write(source + "/racun.txt", text(5000));
    TestFiles::write(source + "/Приходи/извјештај за март.txt", text(20000));
    TestFiles::write(source + "/čćšđž ČĆŠĐŽ.csv", "šifra;naziv\n1;đak\n");
    TestFiles::write(source + "/duboko/a/b/c/d.txt", "d");
    TestFiles::write(source + "/velika.bin", text(150000) + noise(120000, 1) + text(30001));
    TestFiles::write(source + "/nasumicno.bin", noise(70000, 2));
    TestFiles::write(source + "/tacno.bin", text(65536));
    TestFiles::write(source + "/prazna.txt", "");
    TestFiles::makeFolder(source + "/prazna fascikla");
    ::chmod((source + "/racun.txt").c_str(), 0640);
    setModified(source + "/racun.txt", 1710494430); // 15 March 2024, in the afternoon UTC

    const ZipOptions options{GetParam().workers, GetParam().chunkSize, 6};
    const ZipOutcome outcome = ZipFolder(source, base, options);

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    ASSERT_EQ(outcome.sources.size(), 1u);
    EXPECT_TRUE(outcome.sources[0].complete());
    EXPECT_EQ(outcome.sources[0].files, 8u);
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    EXPECT_TRUE(ZipReadBack::pythonTestPasses(archive));

    const std::vector<Entry> entries = ZipReadBack::entries(archive);
    const std::set<std::string> expected = {"Docs/",
                                            "Docs/racun.txt",
                                            "Docs/Приходи/",
                                            "Docs/Приходи/извјештај за март.txt",
                                            "Docs/čćšđž ČĆŠĐŽ.csv",
                                            "Docs/duboko/",
                                            "Docs/duboko/a/",
                                            "Docs/duboko/a/b/",
                                            "Docs/duboko/a/b/c/",
                                            "Docs/duboko/a/b/c/d.txt",
                                            "Docs/velika.bin",
                                            "Docs/nasumicno.bin",
                                            "Docs/tacno.bin",
                                            "Docs/prazna.txt",
                                            "Docs/prazna fascikla/"};
    EXPECT_EQ(names(entries), expected);
    const std::vector<std::string> unzipNames = ZipReadBack::unzipNames(archive);
    EXPECT_EQ(std::set<std::string>(unzipNames.begin(), unzipNames.end()), expected) << "unzip reads other names";

    for (const Entry& entry : entries) {
        const bool ascii = std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return c >= 0; });
        EXPECT_EQ((entry.flags & 0x800) != 0, !ascii) << entry.name << ": UTF-8 flag";
        EXPECT_EQ(entry.hostSystem, 3) << entry.name;
    }
    const Entry* racun = find(entries, "Docs/racun.txt");
    ASSERT_NE(racun, nullptr);
    EXPECT_EQ(racun->mode, 0100640u);
    EXPECT_EQ(racun->method, 8);
    std::tm local{};
    const std::time_t when = 1710494430;
    ::localtime_r(&when, &local);
    char expectedTime[32];
    std::strftime(expectedTime, sizeof expectedTime, "%Y-%m-%d %H:%M:%S", &local);
    EXPECT_EQ(racun->localTime, expectedTime);
    if (GetParam().chunkSize > 70000) {
        EXPECT_EQ(find(entries, "Docs/nasumicno.bin")->method, 0) << "noise in one piece is stored, not inflated";
    }

    ZipReadBack::extractWithPython(archive, dir / "raspakovano");
    EXPECT_EQ(ZipReadBack::treeContents(dir / "raspakovano/Docs"), ZipReadBack::treeContents(source));
    EXPECT_EQ(backupFolderNames(), std::vector<std::string>{"05_12_2026_Docs_backup.zip"}) << "a temporary is left";
}

INSTANTIATE_TEST_SUITE_P(Workers, ZipLayoutTest,
                         ::testing::Values(Layout{"OneWorkerWholeFiles", 1, 1024 * 1024},
                                           Layout{"ThreeWorkersChunksSmallerThanTheWindow", 3, 4096},
                                           Layout{"TwoWorkersChunksOfAFileExactly", 2, 65536},
                                           Layout{"FourWorkersOddChunks", 4, 100003}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ZipFolderTest, AnEmptySourceGivesAValidArchiveWithItsTopFolder)
{
    const ZipOutcome outcome = ZipFolder(source, base);

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    EXPECT_EQ(ZipReadBack::unzipNames(archive), std::vector<std::string>{"Docs/"});
}

TEST_F(ZipFolderTest, ASecondRunKeepsTheEarlierArchiveUntilItReplacesItWithWhatTheSourceHoldsNow)
{
    TestFiles::write(source + "/a.txt", "prvi");
    TestFiles::write(source + "/b.txt", "obrisan poslije");
    ASSERT_TRUE(ZipFolder(source, base).archive.ok());
    const std::string earlier = TestFiles::read(archive);
    fs::remove(source + "/b.txt");
    TestFiles::write(source + "/a.txt", "drugi");
    TestFiles::write(source + "/c.txt", text(10000));

    std::vector<std::string> seenDuringTheRun;
    const ZipOutcome outcome = ZipFolder(source, base, {}, [&](const ZipProgress&) {
        seenDuringTheRun.push_back(TestFiles::read(archive) == earlier ? "earlier" : "changed");
    });

    ASSERT_TRUE(outcome.archive.ok());
    EXPECT_EQ(seenDuringTheRun, (std::vector<std::string>{"earlier", "earlier"}));
    EXPECT_EQ(names(ZipReadBack::entries(archive)), (std::set<std::string>{"Docs/", "Docs/a.txt", "Docs/c.txt"}));
    ZipReadBack::extractWithPython(archive, dir / "raspakovano");
    EXPECT_EQ(TestFiles::read(dir / "raspakovano/Docs/a.txt"), "drugi");
}

TEST_F(ZipFolderTest, AFullDiskKeepsTheEarlierArchiveAndLeavesNoTemporary)
{
    TmpfsMount disk(backups, "1m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.error();
    TestFiles::write(source + "/a.txt", text(20000));
    ASSERT_TRUE(ZipFolder(source, base).archive.ok());
    const std::string earlier = TestFiles::read(archive);
    TestFiles::write(source + "/snimak.mp4", noise(3 * 1024 * 1024, 4));

    const ZipOutcome outcome = ZipFolder(source, base);

    ASSERT_FALSE(outcome.archive.ok());
    EXPECT_NE(outcome.archive.error().find("No space left"), std::string::npos) << outcome.archive.error();
    EXPECT_EQ(TestFiles::read(archive), earlier);
    EXPECT_EQ(backupFolderNames(), std::vector<std::string>{"05_12_2026_Docs_backup.zip"});
}

TEST_F(ZipFolderTest, AnUnreachableSourceWritesNoArchiveAndKeepsTheEarlierOne)
{
    TestFiles::write(archive, "the archive of this morning");
    fs::remove_all(source);

    const ZipOutcome outcome = ZipFolder(source, base);

    EXPECT_FALSE(outcome.archive.ok());
    EXPECT_FALSE(outcome.sources[0].reachable);
    EXPECT_EQ(TestFiles::read(archive), "the archive of this morning");
}

TEST_F(ZipFolderTest, TemporariesLeftByACutOffRunAreRemovedButNotOneBeingWritten)
{
    const std::string stale = backups + "/.05_12_2026_Docs_backup.zip.kopirko-tmp-dead-1";
    const std::string fresh = backups + "/.05_12_2026_Docs_backup.zip.kopirko-tmp-other-1";
    const std::string foreign = backups + "/.04_12_2026_Docs_backup.zip.kopirko-tmp-dead-1";
    for (const std::string& path : {stale, fresh, foreign})
        TestFiles::write(path, "half an archive");
    setModified(stale, std::time(nullptr) - 2 * 3600);
    setModified(foreign, std::time(nullptr) - 2 * 3600);

    ASSERT_TRUE(ZipFolder(source, base).archive.ok());

    EXPECT_FALSE(TestFiles::exists(stale));
    EXPECT_TRUE(TestFiles::exists(fresh));
    EXPECT_TRUE(TestFiles::exists(foreign)) << "another day's archive is none of this run's business";
}

TEST_F(ZipFolderTest, SymbolicLinksAreStoredAsLinksAndNeverFollowed)
{
    TestFiles::write(dir / "vani/tajna.txt", "ne pripada kopiji");
    TestFiles::write(source + "/racun.txt", "racun");
    fs::create_directory_symlink(dir / "vani", source + "/vani");
    fs::create_symlink("racun.txt", source + "/pokazivac.txt");
    fs::create_symlink(dir / "nema", source + "/slomljen");

    const ZipOutcome outcome = ZipFolder(source, base);

    ASSERT_TRUE(outcome.archive.ok());
    EXPECT_TRUE(outcome.sources[0].complete());
    const std::vector<Entry> entries = ZipReadBack::entries(archive);
    EXPECT_EQ(names(entries),
              (std::set<std::string>{"Docs/", "Docs/racun.txt", "Docs/vani", "Docs/pokazivac.txt", "Docs/slomljen"}));
    EXPECT_EQ(find(entries, "Docs/vani")->mode & 0170000, 0120000u);
    ZipReadBack::extractWithUnzip(archive, dir / "raspakovano");
    EXPECT_EQ(fs::read_symlink(dir / "raspakovano/Docs/pokazivac.txt"), "racun.txt");
    EXPECT_EQ(fs::read_symlink(dir / "raspakovano/Docs/vani"), dir / "vani");
}

TEST_F(ZipFolderTest, AnArchiveInsideItsOwnSourceDoesNotHoldItselfOrItsPredecessor)
{
    const std::string inner = source + "/kopije/05_12_2026_Docs_backup";
    TestFiles::write(source + "/a.txt", text(3000));
    TestFiles::makeFolder(source + "/kopije");
    ASSERT_TRUE(ZipFolder(source, inner).archive.ok());

    ASSERT_TRUE(ZipFolder(source, inner).archive.ok());

    EXPECT_TRUE(ZipReadBack::unzipTestPasses(inner + ".zip"));
    EXPECT_EQ(names(ZipReadBack::entries(inner + ".zip")),
              (std::set<std::string>{"Docs/", "Docs/a.txt", "Docs/kopije/"}));
}

TEST_F(ZipFolderTest, APipeIsListedAsNotArchivedWithoutBeingOpened)
{
    TestFiles::write(source + "/a.txt", "a");
    ASSERT_EQ(::mkfifo((source + "/cijev").c_str(), 0644), 0);

    const ZipOutcome outcome = ZipFolder(source, base);

    ASSERT_TRUE(outcome.archive.ok());
    ASSERT_EQ(outcome.sources[0].failures.size(), 1u);
    EXPECT_EQ(outcome.sources[0].failures[0].path, source + "/cijev");
    EXPECT_EQ(names(ZipReadBack::entries(archive)), (std::set<std::string>{"Docs/", "Docs/a.txt"}));
}

TEST_F(ZipFolderTest, AFileThatShrinksWhileArchivedKeepsWhatWasReadAndIsReported)
{
    const std::string original = text(400000) + noise(400000, 5);
    TestFiles::write(source + "/a.txt", "a");
    TestFiles::write(source + "/b.bin", original);

    // One worker with small chunks: when a.txt is in, at most a few chunks of b.bin have been read.
    const ZipOutcome outcome = ZipFolder(source, base, ZipOptions{1, 4096, 6}, [&](const ZipProgress& progress) {
        if (progress.currentFile == source + "/a.txt")
            fs::resize_file(source + "/b.bin", 0);
    });

    ASSERT_TRUE(outcome.archive.ok());
    ASSERT_EQ(outcome.sources[0].failures.size(), 1u);
    EXPECT_NE(outcome.sources[0].failures[0].reason.find("shorter"), std::string::npos);
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    EXPECT_TRUE(ZipReadBack::pythonTestPasses(archive));
    ZipReadBack::extractWithPython(archive, dir / "raspakovano");
    if (TestFiles::exists(dir / "raspakovano/Docs/b.bin")) {
        const std::string kept = TestFiles::read(dir / "raspakovano/Docs/b.bin");
        EXPECT_LT(kept.size(), original.size());
        EXPECT_EQ(kept, original.substr(0, kept.size()));
    }
}

TEST(ArchiveTopNameTest, TheLastNonEmptyPartNamesTheTopFolder)
{
    EXPECT_EQ(archiveTopName("/data/Docs"), "Docs");
    EXPECT_EQ(archiveTopName("/data/Docs/"), "Docs");
    EXPECT_EQ(archiveTopName("/mnt/server/Прodaja"), "Прodaja");
    EXPECT_EQ(archiveTopName("/"), "");
}

} // namespace

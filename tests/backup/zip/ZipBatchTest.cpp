#include "ZipFolder.h"

#include "HookedDisk.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "ZipReadBack.h"

#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

// Small files are read and compressed a batch at a time. Around a file that changes at every reading and one whose
// reading stands still, each among the files of a batch, every other file of a tree of many comes out whole and in
// its place (the batch given up is made again without the one that stood still); the two are reported, the one that
// stood still left out.
TEST(ZipBatchTest, ManySmallFilesComeOutWholeAroundOneThatChangesAndOneThatStandsStill)
{
    TempDir dir;
    HookedDisk disk;
    const std::string source = dir / "Docs";
    std::mt19937 random(26);
    std::map<std::string, std::string> expected;
    for (int k = 0; k < 600; ++k) {
        const std::string name = "f" + std::to_string(k / 100) + "/" + std::to_string(1000 + k) + ".txt";
        std::string content(random() % 3 == 0 ? random() % 70000 : random() % 3000, 'x');
        for (std::size_t at = 0; at < content.size(); ++at)
            content[at] = static_cast<char>(k % 2 == 0 ? 'a' + (at * 7 + k) % 13 : random() & 0xFF);
        TestFiles::write(source + "/" + name, content);
        expected["Docs/" + name] = content;
        expected["Docs/f" + std::to_string(k / 100)] = "<folder>";
    }
    const std::string changing = dir / "Docs/f2/1250.txt";
    const std::string stalling = dir / "Docs/f4/1440.txt";
    disk.afterRead = [&](const std::string& path, std::uint64_t) {
        if (path == changing)
            TestFiles::write(path, "changed again " + std::to_string(random()));
    };
    disk.stallOn = "1440.txt";
    disk.limit = std::chrono::seconds(1);

    const ZipOutcome outcome = ZipFolder(disk, source, dir / "05_12_2026_Docs_backup", ZipOptions{2, 65536, 6});
    disk.release();

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    ASSERT_EQ(outcome.sources[0].failures.size(), 2u);
    EXPECT_EQ(outcome.sources[0].failures[0].path, changing);
    EXPECT_NE(outcome.sources[0].failures[0].reason.find(ZipTexts::changedWhileArchived), std::string::npos);
    EXPECT_EQ(outcome.sources[0].failures[1].path, stalling);
    EXPECT_NE(outcome.sources[0].failures[1].reason.find("citanje je stalo"), std::string::npos);
    EXPECT_EQ(outcome.sources[0].files, 599u);
    ZipReadBack::extract(dir / "05_12_2026_Docs_backup.zip", dir / "raspakovano");
    std::map<std::string, std::string> unpacked = TestFiles::tree(dir / "raspakovano");
    EXPECT_EQ(unpacked.erase("Docs/f2/1250.txt"), 1u);
    expected.erase("Docs/f2/1250.txt");
    expected.erase("Docs/f4/1440.txt");
    expected["Docs"] = "<folder>";
    EXPECT_EQ(unpacked, expected);
}

/// The real disk, whose listings show every file as 100 bytes: as if each had grown since it was listed.
struct ListedSmallDisk : SystemFileSystem
{
    FolderListing listFolder(const std::string& folder) const override
    {
        FolderListing listing = SystemFileSystem::listFolder(folder);
        for (FolderEntry& entry : listing.entries)
            entry.size = entry.kind == FolderEntry::Kind::File ? 100 : entry.size;
        return listing;
    }
};

// Files listed small but far larger when read are batched as listed; the batch is cut short where holding more would
// take too much memory, and its rest follows in order.
TEST(ZipBatchTest, FilesThatGrewSinceTheirListingComeOutWholeAndInOrder)
{
    TempDir dir;
    ListedSmallDisk disk;
    std::map<std::string, std::string> expected{{"Docs", "<folder>"}};
    for (int k = 0; k < 40; ++k) {
        const std::string content = TestFiles::noise(200 * 1024 + k, k);
        TestFiles::write(dir / ("Docs/" + std::to_string(100 + k) + ".bin"), content);
        expected["Docs/" + std::to_string(100 + k) + ".bin"] = content;
    }

    const ZipOutcome outcome = ZipFolder(disk, dir / "Docs", dir / "05_12_2026_Docs_backup", ZipOptions{2});

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    EXPECT_TRUE(outcome.sources[0].failures.empty());
    ZipReadBack::extract(dir / "05_12_2026_Docs_backup.zip", dir / "raspakovano");
    EXPECT_EQ(TestFiles::tree(dir / "raspakovano"), expected);
}

} // namespace

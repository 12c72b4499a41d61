// Archives past the classic ZIP limits. Slow (gigabytes are compressed and checked): ctest label "slow".
#include "ZipFolder.h"

#include "SystemPlatform.h"

#include "TestFiles.h"
#include "ZipReadBack.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

SystemFileSystem disk;

namespace fs = std::filesystem;

TEST(Zip64Test, EntriesAndArchivesPastFourGigabytesAreReadBackWhole)
{
    // Level 6 shrinks the zeros, so only the entry's size passes 4 GiB; level 0 stores them, so its compressed
    // size, the archive and the offset of the entry after it pass 4 GiB too.
    for (const int level : {6, 0}) {
        TempDir dir;
        const std::uint64_t large = (4ull << 30) + (300ull << 20);
        // Sparse: zeros except a marker near the end, so a wrong offset or a cut-off shows in the CRC.
        TestFiles::write(dir / "Docs/a.img", "pocetak");
        fs::resize_file(dir / "Docs/a.img", large);
        std::fstream(dir / "Docs/a.img", std::ios::in | std::ios::out | std::ios::binary)
                .seekp(static_cast<std::streamoff>(large - 4096))
            << "kraj";
        TestFiles::write(dir / "Docs/z.txt", "iza granice");

        const ZipOutcome outcome =
            ZipFolder(disk, dir / "Docs", dir / "05_12_2026_Docs_backup", ZipOptions{2, 1 << 20, level});

        ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
        const std::string archive = dir / "05_12_2026_Docs_backup.zip";
        EXPECT_EQ(fs::file_size(archive) > large, level == 0);
        EXPECT_NO_THROW(ZipReadBack::unzipTest(archive)) << "level " << level; // z.txt's CRC too, past 4 GiB
        const std::vector<ZipReadBack::Entry> entries = ZipReadBack::entries(archive);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[1].name, "Docs/a.img");
        EXPECT_EQ(entries[1].size, large);
        EXPECT_EQ(entries[2].name, "Docs/z.txt");
        for (const ZipReadBack::Entry& entry : entries) // made on Unix, or readers would drop the modes and links
            EXPECT_EQ(entry.host, 3u) << entry.name << ", level " << level;
    }
}

TEST(Zip64Test, MoreThan65535EntriesAreAllListed)
{
    TempDir dir;
    const int folders = 70;
    const int filesPerFolder = 1000;
    for (int f = 0; f < folders; ++f) {
        const std::string folder = dir / ("Docs/fascikla_" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < filesPerFolder; ++i)
            std::ofstream(folder + "/" + std::to_string(i) + ".txt") << i;
    }

    const ZipOutcome outcome = ZipFolder(disk, dir / "Docs", dir / "05_12_2026_Docs_backup");

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    const std::string archive = dir / "05_12_2026_Docs_backup.zip";
    const std::size_t expected = 1 + folders + folders * filesPerFolder;
    EXPECT_NO_THROW(ZipReadBack::unzipTest(archive));
    EXPECT_EQ(ZipReadBack::entries(archive).size(), expected);
}

} // namespace

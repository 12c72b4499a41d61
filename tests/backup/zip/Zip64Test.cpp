// Archives past the classic ZIP limits. Slow (gigabytes are compressed and checked): ctest label "slow".
#include "ZipFolder.h"

#include "TempDir.h"
#include "TestFiles.h"
#include "ZipReadBack.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

/// A sparse file of `size` bytes: zeros except a marker near its end, so a wrong offset shows in the CRC.
void makeSparse(const std::string& path, std::uint64_t size)
{
    TestFiles::write(path, "pocetak");
    fs::resize_file(path, size);
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(size - 4096));
    file << "kraj";
}

TEST(Zip64Test, EntriesOfFourGigabytesAndMoreAreReadBackWhole)
{
    TempDir dir;
    const std::uint64_t large = 5ull << 30;
    // Just under 4 GiB: small enough for 32-bit sizes, so close that the sizes are declared as zip64 ahead.
    const std::uint64_t nearLimit = 0xFFFFFFFFull - (16ull << 20);
    makeSparse(dir / "Docs/velika.img", large);
    makeSparse(dir / "Docs/skoro.img", nearLimit);
    TestFiles::write(dir / "Docs/mala.txt", "mala");

    const ZipOutcome outcome = ZipFolder(dir / "Docs", dir / "05_12_2026_Docs_backup");

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    EXPECT_TRUE(outcome.sources[0].complete());
    const std::string archive = dir / "05_12_2026_Docs_backup.zip";
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    for (const ZipReadBack::Entry& entry : ZipReadBack::entries(archive)) {
        if (entry.name == "Docs/velika.img") {
            EXPECT_EQ(entry.size, large);
        } else if (entry.name == "Docs/skoro.img") {
            EXPECT_EQ(entry.size, nearLimit);
        }
    }
    const std::string listing = ZipReadBack::run("unzip -l " + ZipReadBack::quoted(archive));
    EXPECT_NE(listing.find(std::to_string(large)), std::string::npos) << listing;
}

TEST(Zip64Test, EntriesBeyondFourGigabytesOfArchiveAreFound)
{
    TempDir dir;
    const std::uint64_t large = (4ull << 30) + (300ull << 20);
    makeSparse(dir / "Docs/a.img", large);
    TestFiles::write(dir / "Docs/z.txt", "iza granice");

    // Level 0 stores the zeros as they are, so the archive itself passes 4 GiB.
    const ZipOutcome outcome = ZipFolder(dir / "Docs", dir / "05_12_2026_Docs_backup", ZipOptions{2, 1 << 20, 0});

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    const std::string archive = dir / "05_12_2026_Docs_backup.zip";
    ASSERT_GT(fs::file_size(archive), large);
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    EXPECT_EQ(ZipReadBack::entries(archive).size(), 3u);
    EXPECT_EQ(ZipReadBack::run("unzip -p " + ZipReadBack::quoted(archive) + " Docs/z.txt"), "iza granice");
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

    const ZipOutcome outcome = ZipFolder(dir / "Docs", dir / "05_12_2026_Docs_backup");

    ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
    const std::string archive = dir / "05_12_2026_Docs_backup.zip";
    const std::size_t expected = 1 + folders + folders * filesPerFolder;
    EXPECT_TRUE(ZipReadBack::unzipTestPasses(archive));
    EXPECT_EQ(ZipReadBack::entries(archive).size(), expected);
    EXPECT_EQ(ZipReadBack::unzipNames(archive).size(), expected);
}

} // namespace

#include "ZipFolder.h"

#include "HookedDisk.h"
#include "SystemPlatform.h"
#include "TestFiles.h"
#include "Utf8Path.h"
#include "ZipReadBack.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using ZipReadBack::unzipNames;
using Names = std::multiset<std::string>;

using TestFiles::noise;

std::string text(std::size_t size)
{
    std::string data;
    for (int line = 0; data.size() < size; ++line)
        data += "stavka " + std::to_string(line) + ";cijena " + std::to_string(line * 37 % 1000) + ",50 KM\n";
    return data.substr(0, size);
}

/// The real disk, on which no file grows past 1 MiB: writes beyond fail part-way, as on a full disk.
struct SmallDisk : SystemFileSystem
{
    std::unique_ptr<OutputFile> createFile(const std::string& path, std::string& error) override
    {
        struct Limited : OutputFile
        {
            std::unique_ptr<OutputFile> file;
            Result write(const void* data, std::size_t size) override
            {
                if (file->position() + size > 1024 * 1024)
                    return Result::failure("no space left on the small disk");
                return file->write(data, size);
            }
            Result seek(std::uint64_t position) override { return file->seek(position); }
            std::uint64_t size() const override { return file->size(); }
            std::uint64_t position() const override { return file->position(); }
            Result close() override { return file->close(); }
        };
        auto limited = std::make_unique<Limited>();
        limited->file = SystemFileSystem::createFile(path, error);
        return limited->file ? std::move(limited) : nullptr;
    }
};

class ZipFolderTest : public ::testing::Test
{
protected:
    TempDir dir;
    HookedDisk disk;
    std::string source = dir / "podaci/Docs";
    std::string backups = dir / "kopije";
    std::string base = backups + "/05_12_2026_Docs_backup";
    std::string archive = base + ".zip";

    void SetUp() override
    {
        TestFiles::makeFolder(source);
        TestFiles::makeFolder(backups);
    }
};

TEST_F(ZipFolderTest, EveryReaderFindsTheSourceUnderOneTopFolderByteForByteWithLinksNotFollowed)
{
    const std::map<std::string, std::string> files = {{"racun.txt", text(5000)},
                                                      {"Приходи/извјештај за март.txt", text(20000)},
                                                      {"čćšđž ČĆŠĐŽ.csv", "šifra;naziv\n1;đak\n"},
                                                      {"duboko/a/b/c/d.txt", "d"},
                                                      {"velika.bin", text(150000) + noise(120000, 1) + text(30001)},
                                                      {"nasumicno.bin", noise(70000, 2)},
                                                      {"tacno.bin", text(65536)},
                                                      {"prazna.txt", ""}};
    for (const auto& [name, content] : files)
        TestFiles::write(source + "/" + name, content);
    TestFiles::makeFolder(source + "/prazna fascikla");
    TestFiles::write(dir / "vani/tajna.txt", "ne pripada kopiji");
    // Where the platform makes links (not Wine): a folder link out of the source, a file link, a dangling one.
    const bool links = TestFiles::makeLink(dir / "vani", source + "/vani", true) &&
                       TestFiles::makeLink("racun.txt", source + "/pokazivac.txt", false) &&
                       TestFiles::makeLink(dir / "nema", source + "/slomljen", false);
    const auto expected = TestFiles::tree(source);
#ifdef _WIN32
    const std::size_t pipes = 0; // no named pipes among a folder's files on Windows
#else
    ::chmod((source + "/racun.txt").c_str(), 0640);
    ASSERT_EQ(::mkfifo((source + "/cijev").c_str(), 0644), 0); // never opened: that would wait for a writer
    const std::size_t pipes = 1;
#endif

    // Whole files, chunks smaller than the window, a file of exactly one chunk, odd chunks; fastest and best; the
    // tree walked and written one, two or five items at a time; the central directory in memory, or one or a few
    // of its records at a time in the file beside the archive.
    for (const ZipOptions& options : {ZipOptions{1, 1 << 20, 6}, ZipOptions{3, 4096, 1, 1, 1},
                                      ZipOptions{2, 65536, 6, 2, 200}, ZipOptions{4, 100003, 12, 5}}) {
        SCOPED_TRACE(std::to_string(options.workers) + " workers, chunks of " + std::to_string(options.chunkSize) +
                     ", items at a time " + std::to_string(options.itemsAtATime));
        // A trailing separator does not change the top folder's name.
        const ZipOutcome outcome = ZipFolder(disk, source + "/", base, options);

        ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
        ASSERT_EQ(outcome.sources.at(0).failures.size(), pipes);
        EXPECT_EQ(outcome.sources[0].files, files.size());
        for (const FileFailure& failure : outcome.sources[0].failures) // the pipe's
            EXPECT_EQ(failure.path, source + "/cijev");
        Names pythonNames;
        for (const ZipReadBack::Entry& entry : ZipReadBack::entries(archive)) {
            const bool ascii = std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return c >= 0; });
            EXPECT_EQ((entry.flags & 0x800) != 0, !ascii) << entry.name << ": the UTF-8 flag";
            pythonNames.insert(entry.name);
        }
        EXPECT_EQ(pythonNames, unzipNames(archive));
        EXPECT_EQ(pythonNames.size(), links ? 18u : 15u) << "one entry for each file, folder and link, the top too";
        fs::remove_all(Utf8Path::toPath(dir / "raspakovano"));
        ZipReadBack::extract(archive, dir / "raspakovano");
        EXPECT_EQ(TestFiles::tree(dir / "raspakovano/Docs"), expected);
#ifndef _WIN32
        EXPECT_EQ(fs::status(dir / "raspakovano/Docs/racun.txt").permissions(), fs::perms(0640));
#endif
        EXPECT_EQ(TestFiles::names(backups).size(), 1u) << "a temporary is left beside the archive";
    }
}

// Whole files up to the small size are compressed at the small level when it is lower (0: stored), every other file
// and every piece of a file of several chunks (the last one small too) at the archive's level (0: stored blocks in a
// deflate stream); each reads back whole.
TEST_F(ZipFolderTest, OnlyWholeFilesUpToTheSmallSizeTakeTheLowerSmallLevel)
{
    const std::size_t sizes[] = {300, 999, 1000, 1001, 4096, 5000};
    for (const std::size_t size : sizes)
        TestFiles::write(source + "/" + std::to_string(size) + ".txt", text(size));
    struct Case
    {
        int level;
        int smallLevel;
        std::vector<unsigned> methods; // in the order of `sizes`
    };
    const Case cases[] = {{6, 0, {0, 0, 0, 8, 8, 8}}, {0, 1, {0, 0, 0, 0, 0, 8}}, {6, 1, {8, 8, 8, 8, 8, 8}}};
    for (const Case& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + ", small files " + std::to_string(c.smallLevel));
        ZipOptions options{2, 4096, c.level};
        options.smallFileLevel = c.smallLevel;
        options.smallFileSize = 1000;

        const ZipOutcome outcome = ZipFolder(disk, source, base, options);

        ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
        std::map<std::string, unsigned> methods;
        for (const ZipReadBack::Entry& entry : ZipReadBack::entries(archive))
            methods[entry.name] = entry.method;
        for (std::size_t k = 0; k < std::size(sizes); ++k)
            EXPECT_EQ(methods["Docs/" + std::to_string(sizes[k]) + ".txt"], c.methods[k]) << sizes[k] << " bytes";
        fs::remove_all(Utf8Path::toPath(dir / "raspakovano"));
        ZipReadBack::extract(archive, dir / "raspakovano");
        for (const std::size_t size : sizes)
            EXPECT_EQ(TestFiles::read(dir / ("raspakovano/Docs/" + std::to_string(size) + ".txt")), text(size));
    }
}

// No file is left out for its date; each keeps its exact time where the reader can (unzip: 1970 to 2106).
TEST_F(ZipFolderTest, EveryDateKeepsItsExactTimeWhereTheReaderCanHoldIt)
{
    const std::tuple<const char*, std::int64_t, std::int64_t> cases[] = {
        {"1960.txt", -301233600, -301233600},               // 1960-06-15 12:00 UTC
        {"2024.txt", 1710494430, 1710494430},               // 2024-03-15 09:20:30 UTC
        {"2040.txt", 2223374400, 2223374400},               // 2040-06-15 12:00 UTC
        {"2300.txt", 10413792000, INT64_MAX / 1000000000}}; // 2300-01-01, kept as 2262-04-11 23:47:16
    for (const auto& [name, time, kept] : cases) {
        TestFiles::write(source + "/" + name, name);
        TestFiles::setModified(source + "/" + name, time);
    }
    ASSERT_TRUE(ZipFolder(disk, source, base).archive.ok());
    for (const std::string unpacker : {"unzip", "7z"}) {
        ZipReadBack::extract(archive, dir / unpacker, unpacker);
        for (const auto& [name, time, kept] : cases) {
            const std::int64_t got = disk.statFile(dir / unpacker + "/Docs/" + name).value().modifiedNs / 1000000000;
            EXPECT_TRUE(got == kept || (unpacker == "unzip" && (time < 0 || time > UINT32_MAX))) << unpacker << name;
        }
    }
}

// A second run replaces the archive only when it is complete, even inside its own source; one that fails part-way
// (a full disk) keeps the earlier archive and leaves no temporary.
TEST_F(ZipFolderTest, AnArchiveIsReplacedOnlyByACompleteOneEvenInsideItsOwnSource)
{
    const std::string inner = source + "/kopije/05_12_2026_Docs_backup";
    TestFiles::write(source + "/b.txt", "obrisan poslije");
    TestFiles::makeFolder(source + "/kopije");
    ASSERT_TRUE(ZipFolder(disk, source, inner).archive.ok());
    const std::string earlier = TestFiles::read(inner + ".zip");
    fs::remove(Utf8Path::toPath(source + "/b.txt"));
    TestFiles::write(source + "/a.txt", "drugi");
    TestFiles::write(source + "/c.txt", text(10000));

    std::vector<bool> earlierSeen;
    const ZipOutcome outcome = ZipFolder(disk, source, inner, {}, [&](const ZipProgress&) {
        earlierSeen.push_back(TestFiles::read(inner + ".zip") == earlier);
    });

    ASSERT_TRUE(outcome.archive.ok());
    EXPECT_EQ(earlierSeen, (std::vector<bool>{true, true}));
    EXPECT_NO_THROW(ZipReadBack::unzipTest(inner + ".zip"));
    EXPECT_EQ(unzipNames(inner + ".zip"), (Names{"Docs/", "Docs/a.txt", "Docs/c.txt"}))
        << "the archive holds neither itself, nor its predecessor, nor the folder they lie in";

    const std::string complete = TestFiles::read(inner + ".zip");
    TestFiles::write(source + "/snimak.mp4", noise(3 * 1024 * 1024, 4));
    SmallDisk small;
    ZipOptions spilling; // the central directory in the file beside the archive, which goes too
    spilling.centralDirectoryHeld = 1;
    const ZipOutcome failed = ZipFolder(small, source, inner, spilling);
    EXPECT_NE(failed.archive.error().find("no space left"), std::string::npos) << failed.archive.error();
    EXPECT_EQ(TestFiles::read(inner + ".zip"), complete);
    EXPECT_EQ(TestFiles::names(source + "/kopije").size(), 1u) << "a temporary is left beside the archive";
}

// The file changes (as the program that owns it would) right after its first chunk of 64 KiB is read. Whatever it
// does, its entry is whole to every reader, holding what was read; a file read in one chunk is read once more,
// and what may not be one version of the file is reported.
TEST_F(ZipFolderTest, AFileThatChangesWhileArchivedGivesAReadableEntryAndIsReported)
{
    const std::string original = noise(3 * 65536, 6);
    const std::string small = text(1000);
    std::string otherSmall = small;
    otherSmall[500] = '!';
    const struct
    {
        const char* what;
        std::string content;
        std::function<void(const std::string& path)> change;
        bool everyTime;
        std::string archived;
        bool reported;
    } cases[] = {
        {"cut to two chunks", original, [](auto& path) { fs::resize_file(Utf8Path::toPath(path), 2 * 65536); }, false,
         original.substr(0, 2 * 65536), true},
        {"cut within a chunk", original, [](auto& path) { fs::resize_file(Utf8Path::toPath(path), 100000); }, false,
         original.substr(0, 100000), true},
        {"grown", original, [&](auto& path) { TestFiles::write(path, original + text(100000)); }, false, original,
         true},
        {"read whole, changed once", small, [&](auto& path) { TestFiles::write(path, otherSmall); }, false, otherSmall,
         false},
        {"read whole, changed at every reading", small, [&](auto& path) { TestFiles::write(path, otherSmall); }, true,
         otherSmall, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Utf8Path::toPath(source));
        TestFiles::write(source + "/a.txt", "a");
        TestFiles::write(source + "/b.bin", c.content);
        int changes = 0;
        disk.afterRead = [&](const std::string& path, std::uint64_t) {
            if (path.ends_with("b.bin") && (c.everyTime || changes++ == 0))
                c.change(path);
        };

        const ZipOutcome outcome = ZipFolder(disk, source, base, ZipOptions{1, 65536, 6});

        ASSERT_TRUE(outcome.archive.ok()) << outcome.archive.error();
        EXPECT_EQ(outcome.sources[0].failures.size(), c.reported ? 1u : 0u);
        for (const FileFailure& failure : outcome.sources[0].failures)
            EXPECT_EQ(failure.path, dir / "podaci/Docs/b.bin");
        EXPECT_NO_THROW(ZipReadBack::unzipTest(archive));
        fs::remove_all(Utf8Path::toPath(dir / "raspakovano"));
        ZipReadBack::extract(archive, dir / "raspakovano");
        EXPECT_EQ(TestFiles::read(dir / "raspakovano/Docs/b.bin"), c.archived);
        EXPECT_EQ(TestFiles::read(dir / "raspakovano/Docs/a.txt"), "a");
    }
}

} // namespace

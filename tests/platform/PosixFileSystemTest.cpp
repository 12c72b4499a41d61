#include "PosixFileSystem.h"

#include "AsNobody.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TmpfsMount.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::int64_t modifiedNs(const std::string& path)
{
    struct stat info
    {};
    ::lstat(path.c_str(), &info);
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

void setModified(const std::string& path, std::time_t seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> temporaryLeftovers(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().find(".kopirko-tmp-") != std::string::npos)
            found.push_back(entry.path().string());
    return found;
}

class PosixFileSystemTest : public ::testing::Test
{
protected:
    TempDir dir;
    PosixFileSystem fileSystem;
    std::string source = dir / "source";
    std::string target = dir / "target";

    void SetUp() override
    {
        TestFiles::makeFolder(source);
        TestFiles::makeFolder(target);
    }
};

TEST_F(PosixFileSystemTest, CopiesATreeWithContentsTimesAndEmptyFolders)
{
    TestFiles::write(source + "/a.txt", "alpha");
    TestFiles::write(source + "/sub/deeper/b.bin", std::string("\0\x01\x02 binary", 10));
    TestFiles::write(source + "/sub/Čačak šđž.txt", "diacritics");
    TestFiles::makeFolder(source + "/empty");
    setModified(source + "/a.txt", 1000000000);

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(outcome.filesCopied, 3u);
    EXPECT_EQ(TestFiles::read(target + "/a.txt"), "alpha");
    EXPECT_EQ(TestFiles::read(target + "/sub/deeper/b.bin"), std::string("\0\x01\x02 binary", 10));
    EXPECT_EQ(TestFiles::read(target + "/sub/Čačak šđž.txt"), "diacritics");
    EXPECT_TRUE(fs::is_directory(target + "/empty"));
    EXPECT_EQ(modifiedNs(target + "/a.txt"), modifiedNs(source + "/a.txt"));
    EXPECT_TRUE(temporaryLeftovers(target).empty());
}

TEST_F(PosixFileSystemTest, SecondCopyOverwritesAndKeepsFilesTheSourceNoLongerHas)
{
    TestFiles::write(source + "/kept.txt", "first");
    TestFiles::write(source + "/removed.txt", "soon gone");
    ASSERT_TRUE(fileSystem.copyTreeContents(source, target, {}).complete());
    TestFiles::write(source + "/kept.txt", "second, longer");
    fs::remove(source + "/removed.txt");
    ::chmod((target + "/kept.txt").c_str(), 0444); // an earlier copy made read-only is still replaced

    ASSERT_TRUE(fileSystem.copyTreeContents(source, target, {}).complete());
    EXPECT_EQ(TestFiles::read(target + "/kept.txt"), "second, longer");
    EXPECT_EQ(TestFiles::read(target + "/removed.txt"), "soon gone");
}

TEST_F(PosixFileSystemTest, SymbolicLinksAreCopiedAsLinksAndNeverFollowed)
{
    TestFiles::write(dir / "outside/secret.txt", "not part of the source");
    TestFiles::write(source + "/real.txt", "real");
    fs::create_directory_symlink(source, source + "/loop");         // a loop back to the source
    fs::create_directory_symlink(dir / "outside", source + "/out"); // a way out of the source
    fs::create_symlink("real.txt", source + "/alias.txt");
    fs::create_symlink("missing.txt", source + "/dangling.txt");

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    EXPECT_TRUE(outcome.complete());
    EXPECT_TRUE(fs::is_symlink(target + "/loop"));
    EXPECT_EQ(fs::read_symlink(target + "/loop"), fs::path(source));
    EXPECT_TRUE(fs::is_symlink(target + "/out"));
    EXPECT_EQ(fs::read_symlink(target + "/alias.txt"), fs::path("real.txt"));
    EXPECT_TRUE(fs::is_symlink(target + "/dangling.txt"));
    std::size_t entries = 0;
    for (auto it = fs::recursive_directory_iterator(target); it != fs::recursive_directory_iterator(); ++it)
        ++entries;
    EXPECT_EQ(entries, 5u);
}

TEST_F(PosixFileSystemTest, BackupFolderInsideTheSourceIsNotCopiedIntoItself)
{
    TestFiles::write(source + "/data.txt", "data");
    const std::string inside = source + "/backups";
    TestFiles::makeFolder(inside);
    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, inside, {});
    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(TestFiles::read(inside + "/data.txt"), "data");
    EXPECT_FALSE(fs::exists(inside + "/backups"));
}

TEST_F(PosixFileSystemTest, UnreadableFileAndFolderDoNotStopTheRest)
{
    TestFiles::write(source + "/a.txt", "a");
    TestFiles::write(source + "/locked.txt", "secret");
    TestFiles::write(source + "/closed/inner.txt", "inner");
    TestFiles::write(source + "/z/last.txt", "last");
    ::chmod((source + "/locked.txt").c_str(), 0000);
    ::chmod((source + "/closed").c_str(), 0000);
    for (const std::string& open : {dir.path(), source, target, source + "/z"})
        openToEverybody(open);

    const int code = runAsNobody([&] {
        const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});
        if (outcome.failures.size() != 2)
            return 1;
        if (outcome.failures[0].path != source + "/closed" || outcome.failures[1].path != source + "/locked.txt")
            return 2;
        if (TestFiles::read(target + "/a.txt") != "a" || TestFiles::read(target + "/z/last.txt") != "last")
            return 3;
        return fs::exists(target + "/locked.txt") ? 4 : 0;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(PosixFileSystemTest, FullDiskLeavesTheEarlierCopyIntactAndNoTemporaryFile)
{
    TmpfsMount disk(target, "1m");
    if (!disk.mounted())
        GTEST_SKIP() << disk.error();
    TestFiles::write(source + "/big.bin", std::string(400 * 1024, 'a'));
    ASSERT_TRUE(fileSystem.copyTreeContents(source, target, {}).complete());
    TestFiles::write(source + "/big.bin", std::string(900 * 1024, 'b'));

    const TreeCopyOutcome outcome = fileSystem.copyTreeContents(source, target, {});

    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_NE(outcome.failures[0].reason.find("No space left"), std::string::npos) << outcome.failures[0].reason;
    EXPECT_EQ(TestFiles::read(target + "/big.bin"), std::string(400 * 1024, 'a'));
    EXPECT_TRUE(temporaryLeftovers(target).empty());
}

TEST_F(PosixFileSystemTest, NotForcedRemovalRefusesAFolderWithAReadOnlyFileAndRemovesNothing)
{
    TestFiles::write(target + "/a/writable.txt", "w");
    TestFiles::write(target + "/b/readonly.txt", "r");
    ::chmod((target + "/b/readonly.txt").c_str(), 0444);

    const Result refused = fileSystem.removeTree(target, RemoveMode::NotForced);
    EXPECT_FALSE(refused);
    EXPECT_NE(refused.error().find("readonly.txt"), std::string::npos);
    EXPECT_TRUE(fs::exists(target + "/a/writable.txt"));

    TestFiles::write(source + "/precious.txt", "keep me");
    fs::create_directory_symlink(source, target + "/link"); // removed as a link, never followed
    EXPECT_TRUE(fileSystem.removeTree(target, RemoveMode::Forced));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(TestFiles::read(source + "/precious.txt"), "keep me");
}

} // namespace

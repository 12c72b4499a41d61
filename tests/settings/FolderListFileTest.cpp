#include "FolderListFile.h"

#include "FileProbes.h"
#include "SystemPlatform.h"
#include "TempDir.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using Entries = std::vector<std::string>;

struct ParseCase
{
    const char* name;
    std::string content;
    Entries expected;
};

class FolderListParseTest : public ::testing::TestWithParam<ParseCase>
{};

TEST_P(FolderListParseTest, Parses)
{
    EXPECT_EQ(FolderListFile::parse(GetParam().content), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Formats, FolderListParseTest,
                         ::testing::Values(ParseCase{"CrLf", "/a\r\n/b\r\n", {"/a", "/b"}},
                                           ParseCase{"EmptyLineAndNoFinalTerminator", "/a\r\n\r\n/b", {"/a", "/b"}},
                                           ParseCase{"CrOnly", "/a\r/b\r", {"/a", "/b"}},
                                           ParseCase{"LfOnly", "/a\n/b\n", {"/a", "/b"}},
                                           ParseCase{"BlanksKept", " /a \r\n", {" /a "}},
                                           ParseCase{"CrCrLf", "/a\r\r\n/b", {"/a", "/b"}}, ParseCase{"Empty", "", {}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FolderListFileTest, RoundTripWritesCrLfAfterEveryLine)
{
    TempDir dir;
    SystemFileSystem fileSystem;
    TestFiles::write(dir / "backuplista.ini", " /a\r\n\r\n/b");
    const auto loaded = FolderListFile::load(fileSystem, dir.path());
    ASSERT_TRUE(loaded.result);
    EXPECT_EQ(loaded.entries, (Entries{" /a", "/b"}));
    ASSERT_TRUE(FolderListFile::save(fileSystem, dir.path(), loaded.entries));
    EXPECT_EQ(TestFiles::read(dir / "backuplista.ini"), " /a\r\n/b\r\n");

    ASSERT_TRUE(FolderListFile::save(fileSystem, dir.path(), {}));
    EXPECT_EQ(TestFiles::read(dir / "backuplista.ini"), "");
}

TEST(FolderListFileTest, EntryWithALineBreakIsRefusedAndTheOldFileStays)
{
    TempDir dir;
    SystemFileSystem fileSystem;
    TestFiles::write(dir / "backuplista.ini", "/old\r\n");
    EXPECT_FALSE(FolderListFile::save(fileSystem, dir.path(), {"/a", "/b\r\n/etc"}));
    EXPECT_FALSE(FolderListFile::save(fileSystem, dir.path(), {"/a", ""}));
    EXPECT_EQ(TestFiles::read(dir / "backuplista.ini"), "/old\r\n");
}

TEST(FileProbesTest, FolderAndFileProbes)
{
    TempDir dir;
    SystemFileSystem fileSystem;
    TestFiles::makeFolder(dir / "Data");
    TestFiles::write(dir / "file.txt", "x");
    EXPECT_TRUE(FolderExists(fileSystem, "  " + (dir / "Data") + "  "));
    EXPECT_FALSE(FolderExists(fileSystem, dir / "file.txt"));
    EXPECT_FALSE(FolderExists(fileSystem, "   "));
    EXPECT_TRUE(FileExists(fileSystem, dir / "file.txt"));
    EXPECT_FALSE(FileExists(fileSystem, dir / "Data"));
    EXPECT_FALSE(FileExists(fileSystem, dir / "missing"));
}

} // namespace

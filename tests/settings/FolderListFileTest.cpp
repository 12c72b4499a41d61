#include "FolderListFile.h"

#include "FileProbes.h"
#include "SystemPlatform.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

using Entries = std::vector<std::string>;

// Writing the list back (CR LF after every entry) is checked through the window: WindowTest.FolderPageRoundTrip.
TEST(FolderListFileTest, LinesEndInCrLfCrOrLfAndEmptyOnesAreLeftOut)
{
    for (const char* content : {"/a\r\n/b\r\n", "/a\r\n\r\n/b", "/a\r/b\r", "/a\n/b\n", "/a\r\r\n/b"})
        EXPECT_EQ(FolderListFile::parse(content), (Entries{"/a", "/b"})) << testing::PrintToString(content);
    EXPECT_EQ(FolderListFile::parse(" /a \r\n"), Entries{" /a "});
    EXPECT_EQ(FolderListFile::parse(""), Entries{});
}

TEST(FolderListFileTest, EntryWithAControlCharacterIsRefusedAndTheProbesTellFoldersFromFiles)
{
    TempDir dir;
    SystemFileSystem fileSystem;
    TestFiles::write(dir / "backuplista.ini", "/old\r\n");
    for (const std::string& entry : {std::string("/b\r\n/etc"), std::string(), std::string("/b\0", 3)})
        EXPECT_FALSE(FolderListFile::save(fileSystem, dir.path(), {"/a", entry}));
    EXPECT_EQ(TestFiles::read(dir / "backuplista.ini"), "/old\r\n");

    TestFiles::makeFolder(dir / "Data"); // what the window's checks of a path stand on
    EXPECT_TRUE(FolderExists(fileSystem, "  " + (dir / "Data") + "  "));
    EXPECT_FALSE(FolderExists(fileSystem, dir / "backuplista.ini") || FolderExists(fileSystem, "   "));
    EXPECT_TRUE(FileExists(fileSystem, dir / "backuplista.ini"));
    EXPECT_FALSE(FileExists(fileSystem, dir / "Data") || FileExists(fileSystem, dir / "missing"));
}

} // namespace

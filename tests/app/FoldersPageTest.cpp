// The page "Fascikle" alone: message boxes, the folder dialog and the file manager are fakes; the list file is a
// real one in a temporary folder.
#include "FoldersPage.h"

#include "AppContext.h"
#include "FakeWindowParts.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <QAbstractButton>

#include <gtest/gtest.h>

namespace {

struct FoldersPageTest : ::testing::Test
{
    TempDir temp;
    const std::string folder = temp / "Kasa", listFile = folder + "/backuplista.ini";
    TestPlatform platform;
    FakeFolderPicker picker;
    AppContext context{platform.services};
    std::unique_ptr<FoldersPage> page;

    void SetUp() override
    {
        context.programFolder = folder;
        page = std::make_unique<FoldersPage>(context, picker);
    }
    void click(const char* name) { page->findChild<QAbstractButton*>(name)->click(); }
};

// The runs read the list on the page as it is, saved or not; the file changes only with "Prihvati".
TEST_F(FoldersPageTest, TheListTheRunsReadIsTheOneOnThePage)
{
    TestFiles::write(listFile, "/data/A\r\n/data/B\r\n");
    page->loadFolderList();
    picker.answers = {"/data/C"};
    click("addFolderButton");
    EXPECT_EQ(page->folderEntries(), (std::vector<std::string>{"/data/A", "/data/B", "/data/C"}));
    EXPECT_EQ(page->folderCount(), 3);
    EXPECT_EQ(page->folderEntry(2), "/data/C");
    EXPECT_EQ(page->folderEntry(3), ""); // the list became shorter than the run expected
    EXPECT_EQ(TestFiles::read(listFile), "/data/A\r\n/data/B\r\n");
    EXPECT_TRUE(platform.messages.shown.empty());
}

TEST_F(FoldersPageTest, AListFileThatCannotBeReadIsSaidAndLeavesTheListEmpty)
{
    TestFiles::makeFolder(listFile);
    page->loadFolderList();
    EXPECT_EQ(page->folderCount(), 0);
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    EXPECT_TRUE(platform.messages.shown[0].starts_with("Popis fascikli se ne moze procitati: "))
        << platform.messages.shown[0];
}

TEST_F(FoldersPageTest, TheDestinationOpensInTheFileManagerOrTheUserHearsWhyNot)
{
    click("openDestinationButton");
    page->setDestination("/mnt/usb/Kopije");
    click("openDestinationButton");
    platform.web.failure = "nema programa za fascikle";
    click("openDestinationButton");
    EXPECT_EQ(platform.web.openedFolders, (std::vector<std::string>{"/mnt/usb/Kopije", "/mnt/usb/Kopije"}));
    EXPECT_EQ(platform.messages.shown,
              (std::vector<std::string>{"Fascikla za rezervne kopije nije odredjena.",
                                        "Fascikla se ne moze otvoriti: nema programa za fascikle"}));
}

} // namespace

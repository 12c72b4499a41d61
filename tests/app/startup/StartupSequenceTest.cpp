#include "StartupSequence.h"

#include "AppContext.h"
#include "FakeBackupHost.h"
#include "FolderListFile.h"
#include "IniFile.h"
#include "StartupWindow.h"
#include "TestFiles.h"
#include "TestPlatform.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

/// The window as the start sees it: loads the folder list like the real one and records when it was
/// loaded and shown, counted in message boxes shown before.
struct FakeStartupWindow : StartupWindow
{
    FakeStartupWindow(AppContext& context, FakeMessageBoxes& messages) : context(context), messages(messages) {}
    void load() override
    {
        loadedAfterMessages = static_cast<int>(messages.shown.size());
        host.folders = FolderListFile::load(context.platform.fileSystem, context.programFolder).entries;
    }
    BackupHost& backupHost() override { return host; }
    void showWindow() override { shownAfterMessages = static_cast<int>(messages.shown.size()); }
    void removeTrayIcon() override {}

    AppContext& context;
    FakeMessageBoxes& messages;
    FakeBackupHost host;
    int loadedAfterMessages = -1, shownAfterMessages = -1;
};

class StartupSequenceTest : public ::testing::Test
{
protected:
    TempDir programFolder;
    TempDir workingFolder;
    TestPlatform platform;
    fs::path previousFolder = fs::current_path();
    std::unique_ptr<AppContext> context;
    FakeStartupWindow* window = nullptr;

    void SetUp() override
    {
        fs::current_path(workingFolder.path());
        platform.appInfo.folder = programFolder.path();
        platform.clock.set(2026, 12, 5);
        context = std::make_unique<AppContext>(platform.services);
    }
    void TearDown() override { fs::current_path(previousFolder); }

    std::unique_ptr<StartupWindow> started; ///< what the latest start returned, `window` in it

    bool start()
    {
        StartupSequence sequence(*context, "updates.example/kopirko", [this]() -> std::unique_ptr<StartupWindow> {
            auto created = std::make_unique<FakeStartupWindow>(*context, platform.messages);
            window = created.get();
            return created;
        });
        return (started = sequence.run()) != nullptr;
    }

    void writeIni(const std::string& backupSection)
    {
        TestFiles::write(programFolder / "KOPIRKO.ini", "[BACKUP]\r\n" + backupSection);
    }
};

TEST_F(StartupSequenceTest, FirstStartWritesVersionAndAddressAndShowsTheWindow)
{
    ASSERT_TRUE(start());
    EXPECT_EQ(TestFiles::read(workingFolder / "version.txt"), "1016\r\n");
    EXPECT_EQ(StartupSequence::versionLine(2, 3, 0), "230\r\n");
    EXPECT_EQ(IniFile::valueIn(TestFiles::read(programFolder / "KOPIRKO.ini"), "POD", "URLUpdate"),
              "updates.example/kopirko");
    EXPECT_EQ(context->URLUpdate, "updates.example/kopirko");
    EXPECT_EQ(platform.instanceLock.askedTitle, "Izrada rezervnih kopija podataka");
    EXPECT_EQ(context->WindowTitle, platform.instanceLock.askedTitle);
    EXPECT_EQ(window->shownAfterMessages, 0);
    EXPECT_FALSE(platform.terminator.ended());
}

TEST_F(StartupSequenceTest, SecondInstanceIsRefusedAfterTheVersionFileAndBeforeAnyWindow)
{
    TestFiles::write(workingFolder / "version.txt", "999\r\n");
    platform.instanceLock.otherInstanceRuns = true;
    EXPECT_FALSE(start());
    EXPECT_EQ(platform.messages.shown, (std::vector<std::string>{"Program je vec pokrenut"}));
    EXPECT_EQ(platform.terminator.exitCode, 0);
    EXPECT_EQ(window, nullptr); // none was made
    EXPECT_EQ(TestFiles::read(workingFolder / "version.txt"), "1016\r\n");
}

// Only mode 1 ("Po startovanju programa") runs at start: it copies the folders, says so, then shows the window.
TEST_F(StartupSequenceTest, StartModeCopiesTheFoldersThenSaysSoThenShowsTheWindowAndTheOtherModesRunNothing)
{
    TestFiles::write(programFolder / "data/Docs/racun.txt", "racun");
    FolderListFile::save(platform.fileSystem, programFolder.path(),
                         {programFolder / "data/Docs", programFolder / "offline/Share"});
    for (const int mode : {0, 2, 1}) {
        TestFiles::makeFolder(programFolder / "backups");
        writeIni("VrijemeBackupa=08:00\r\nBackupDir=" + (programFolder / "backups") + "\r\nNacinBackupa=" +
                 std::to_string(mode) + "\r\nOpsegBackupa=1\r\nZIPOVANJE=1\r\nGasitiRacunar=1\r\n");
        ASSERT_TRUE(start());
        EXPECT_EQ(window->loadedAfterMessages, 0);
        EXPECT_EQ(window->shownAfterMessages, mode == 1 ? 1 : 0);
        EXPECT_EQ(platform.power.shutdowns, 0);
    }

    // ZIPOVANJE does not count at start: a folder copy, not an archive.
    EXPECT_EQ(TestFiles::names(programFolder / "backups"), std::vector<std::string>{"05_12_2026_Docs_backup"});
    EXPECT_EQ(TestFiles::read(programFolder / "backups/05_12_2026_Docs_backup/racun.txt"), "racun");
    ASSERT_EQ(platform.messages.shown.size(), 1u);
    const std::string& message = platform.messages.shown[0];
    EXPECT_EQ(message.rfind("Izrada rezervne kopije je zavrsena", 0), 0u);
    EXPECT_NE(message.find(programFolder / "offline/Share"), std::string::npos);
}

TEST_F(StartupSequenceTest, DamagedSettingsOrUnwritableFoldersDoNotStopTheStart)
{
    writeIni("BackupDir=/mnt/b\r\nNacinBackupa=Po startovanju\r\nOpsegBackupa=1\r\n");
    ASSERT_TRUE(start());
    EXPECT_EQ(context->backupSettings.BackupDir, "/mnt/b");
    EXPECT_EQ(context->backupSettings.NacinBackupa, 0);
    EXPECT_EQ(context->backupSettings.OpsegBackupa, 0);
    EXPECT_EQ(window->shownAfterMessages, 0);

    // Nothing can be written: not the settings, not "version.txt".
    platform.appInfo.folder = "/nonexistent-kopirko-program-folder";
    context = std::make_unique<AppContext>(platform.services);
    fs::current_path("/proc");
    ASSERT_TRUE(start());
    EXPECT_EQ(window->shownAfterMessages, 0);
}

} // namespace

// The update check as the start of the program meets it: whatever the server does, the start goes on unless
// the user accepts an update.
#include "AppContext.h"
#include "FakeBackupHost.h"
#include "StartupSequence.h"
#include "StartupWindow.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class RecordedWindow : public StartupWindow
{
public:
    explicit RecordedWindow(bool& shown) : m_shown(shown) {}
    void load() override {}
    BackupHost& backupHost() override { return m_host; }
    void showWindow() override { m_shown = true; }

private:
    bool& m_shown;
    FakeBackupHost m_host;
};

class StartupUpdateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_oldFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder.path());
        platform.appInfo.folder = folder.path(); // version 1.0.16
        platform.connectivity.answer.state = 1;
        server.serve("/kopirko/versionu.txt", "0\r\n");
    }
    void TearDown() override { std::filesystem::current_path(m_oldFolder); }

    /// Runs the start against `address`; true when the window was shown.
    bool start(const std::string& address)
    {
        AppContext context(platform.services);
        bool shown = false;
        StartupSequence startup(context, address, [&shown] { return std::make_unique<RecordedWindow>(shown); });
        EXPECT_EQ(startup.run() != nullptr, shown);
        return shown;
    }

    TempDir folder;
    TestPlatform platform;
    TestHttpServer server;

private:
    std::filesystem::path m_oldFolder;
};

TEST_F(StartupUpdateTest, ANewerVersionIsOfferedAndYesHandsOverBeforeTheWindow)
{
    server.serve("/kopirko/version.txt", "1017\r\n");
    platform.messages.answers.push_back(true);

    EXPECT_FALSE(start(server.hostAndPort() + "/kopirko"));

    ASSERT_FALSE(platform.messages.shown.empty());
    EXPECT_TRUE(platform.messages.shown[0].text.starts_with("Na raspolaganju je nova verzija programa."));
    EXPECT_TRUE(TestFiles::exists(folder / "update.ini"));
    EXPECT_EQ(platform.launcher.starts.size(), 1u);
    EXPECT_TRUE(platform.terminator.ended());
}

TEST_F(StartupUpdateTest, AVersionFileThatIsNoNumberGoesOnWithTheStartWithoutAMessage)
{
    for (const char* body : {"", "abc", "99999999999"}) {
        server.serve("/kopirko/version.txt", body);
        EXPECT_TRUE(start(server.hostAndPort() + "/kopirko")) << body;
        EXPECT_TRUE(platform.messages.shown.empty()) << body;
    }
}

TEST_F(StartupUpdateTest, AServerThatHangsStillLetsTheProgramStart)
{
    SilentServer silent;
    EXPECT_TRUE(start(silent.hostAndPort() + "/kopirko"));
    EXPECT_TRUE(silent.wasConnected());
    EXPECT_TRUE(platform.messages.shown.empty());
}

} // namespace

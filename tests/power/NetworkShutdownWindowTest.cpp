// The network shutdown as the user meets it: the button, and Timer2 after a backup run.
#include "AppContext.h"
#include "FakeWindowParts.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "frmMain.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <future>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class NetworkShutdownWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestFiles::makeFolder(folder());
        TestFiles::makeFolder(destination());
        TestFiles::write(source() + "/racun.txt", "1");
        platform.appInfo.folder = folder();
        platform.clock.set(2026, 12, 5, 7, 59, 0);
    }
    void TearDown() override
    {
        if (window)
            window->hide();
    }

    std::string folder() const { return temp / "Kasa"; }
    std::string destination() const { return temp / "Kopije"; }
    std::string source() const { return temp / "Docs"; }

    void start(const std::string& settings, const std::vector<std::string>& list)
    {
        TestFiles::write(folder() + "/KOPIRKO.ini",
                         "[BACKUP]\r\nVrijemeBackupa=08:00\r\nBackupDir=" + destination() + "\r\n" + settings);
        std::string listFile;
        for (const std::string& entry : list)
            listFile += entry + "\r\n";
        TestFiles::write(folder() + "/backuplista.ini", listFile);
        context = std::make_unique<AppContext>(platform.services);
        context->settingsStore.setIniFilePath(folder() + "/KOPIRKO.ini");
        context->WindowTitle = "Izrada rezervnih kopija podataka";
        context->settingsStore.LoadSettings(context->backupSettings, context->programFolder);
        WindowServices services{picker, tray};
        services.databaseRun = [](const BackupSettings&, BackupHost&, const PlatformServices&) { return RunReport{}; };
        window = std::make_unique<frmMain>(*context, services);
        window->load();
    }

    /// Handles window events until `done` or `limit` has passed.
    static bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }

    TempDir temp;
    TestPlatform platform;
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<frmMain> window;
};

TEST_F(NetworkShutdownWindowTest, TheButtonAsksEveryNetworkComputerWhileTheWindowStaysUsable)
{
    start("NacinBackupa=2\r\n", {source(), "\\\\PC1\\Docs", "\\\\PC2\\D"});
    auto* button = window->findChild<QPushButton*>("Command10");
    ASSERT_NE(button, nullptr);

    // While PC1 is being asked, the window handles a second click; that one must not start another round.
    std::atomic<bool> windowAnswered{false};
    platform.remoteShutdown.onRequest = [&](const std::string& host) {
        if (host != "PC1" || windowAnswered)
            return;
        std::promise<void> handled;
        QMetaObject::invokeMethod(
            button,
            [&] {
                button->click();
                handled.set_value();
            },
            Qt::QueuedConnection);
        windowAnswered = handled.get_future().wait_for(10s) == std::future_status::ready;
    };

    button->click();

    EXPECT_TRUE(windowAnswered);
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "PC2"}));
    EXPECT_TRUE(platform.messages.shown.empty());
}

TEST_F(NetworkShutdownWindowTest, AfterATimedRunTheComputersAreAskedOnceThenThisComputerGoesDown)
{
    start("NacinBackupa=0\r\nGasitiRacunar=1\r\nGasenjeRacunaraMreze=1\r\n",
          {source(), "\\\\PC1\\Docs", "//nas/backup"});
    auto* timer2 = window->findChild<QTimer*>("Timer2");
    ASSERT_NE(timer2, nullptr);
    timer2->setInterval(50); // instead of a minute
    std::vector<int> shutdownsWhenAsked;
    platform.remoteShutdown.onRequest = [&](const std::string&) {
        shutdownsWhenAsked.push_back(platform.power.shutdowns);
    };

    platform.clock.set(2026, 12, 5, 8, 0, 0);
    window->Timer1_Timer();
    ASSERT_TRUE(TestFiles::exists(destination() + "/05_12_2026_Docs_backup/racun.txt"));
    EXPECT_EQ(platform.power.shutdowns, 0); // not before the network computers

    ASSERT_TRUE(spinUntil([&] { return platform.power.shutdowns > 0; }));
    // Long enough for further ticks of a timer that failed to stop.
    spinUntil([] { return false; }, 500ms);

    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "nas"}));
    EXPECT_EQ(shutdownsWhenAsked, (std::vector<int>{0, 0}));
    EXPECT_EQ(platform.power.shutdowns, 1);
}

} // namespace

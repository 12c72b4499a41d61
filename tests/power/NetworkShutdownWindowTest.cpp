#include "AppContext.h"
#include "FakeWindowParts.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "frmMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The window as the user meets it: Timer2 as a timed run that shuts this computer down leaves it, and the button.
TEST(NetworkShutdownWindow, Timer2AsksEveryComputerOnceThenThisOneGoesDownWhileTheWindowStaysUsable)
{
    static int argc = 1;
    static char name[] = "power_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv); // for the rest of the run
    TempDir folder;
    TestPlatform platform;
    platform.appInfo.folder = folder.path();
    TestFiles::write(folder / "KOPIRKO.ini", "[BACKUP]\r\nNacinBackupa=2\r\n");
    TestFiles::write(folder / "backuplista.ini", "C:\\Data\r\n\\\\PC1\\Docs\r\n//nas/backup\r\n");
    AppContext context(platform.services);
    context.settingsStore.setIniFilePath(folder / "KOPIRKO.ini");
    context.settingsStore.LoadSettings(context.backupSettings, context.programFolder);
    FakeFolderPicker picker;
    FakeNotificationIcon tray;
    frmMain window(context, WindowServices{picker, tray});
    window.load();
    auto* button = window.findChild<QPushButton*>("Command10");
    auto* timer2 = window.findChild<QTimer*>("Timer2");
    ASSERT_TRUE(button && timer2);

    // While PC1 is asked, the window handles a click; with a round under way that one must not start another.
    std::atomic<bool> clickSent{false}, clicked{false};
    QObject::connect(button, &QPushButton::clicked, [&] { clicked = true; });
    std::vector<int> shutdownsWhenAsked;
    platform.remoteShutdown.onRequest = [&](const std::string& host) {
        shutdownsWhenAsked.push_back(platform.power.shutdowns);
        if (host == "PC1" && !clickSent.exchange(true)) {
            QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
            for (int waited = 0; waited < 1000 && !clicked; ++waited)
                std::this_thread::sleep_for(10ms);
        }
        return Result::success();
    };
    timer2->setInterval(50); // instead of a minute
    window.switchOnTimer2(true);
    const auto spin = [](std::chrono::milliseconds limit, const std::function<bool()>& done) {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             !done() && std::chrono::steady_clock::now() < end;)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    spin(10s, [&] { return platform.power.shutdowns > 0; });
    spin(300ms, [] { return false; }); // further ticks of a timer that failed to stop

    EXPECT_TRUE(clicked);
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "nas"}));
    EXPECT_EQ(shutdownsWhenAsked, (std::vector<int>{0, 0}));
    EXPECT_EQ(platform.power.shutdowns, 1);

    button->click(); // on its own: every computer again, and this one stays on
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "nas", "PC1", "nas"}));
    EXPECT_EQ(platform.power.shutdowns, 1);
}

} // namespace

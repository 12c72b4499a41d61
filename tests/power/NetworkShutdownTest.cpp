#include "NetworkShutdown.h"
#include "AppContext.h"
#include "FakeWindowParts.h"
#include "NetworkShutdownGate.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TestPlatform.h"
#include "frmMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The real rules of this platform: a folder of this computer is passed over; a network folder's computer is asked
// once per entry, in list order, unless no plain computer name can be read from it; a refusal or an error fails
// that entry alone. The user is told nothing.
TEST(ShutDownNetworkComputers, AsksTheComputerOfEveryNetworkEntryInListOrderWhateverTheOthersDo)
{
    TestPlatform platform;
    // As the kernel writes it: optional fields, an escaped blank, /mnt/pc1 beside /mnt/pc10, a local disk mounted
    // inside a share, a share hidden by a later mount.
    platform.networkHosts.mountInfo = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                      "40 22 0:41 / /mnt/pc1 rw,relatime shared:20 - cifs //PC1/Docs rw,vers=3.1.1\n"
                                      "41 22 0:42 / /mnt/pc10 rw - cifs //pc10/x rw\n"
                                      "42 40 8:17 / /mnt/pc1/usb rw - vfat /dev/sdb1 rw\n"
                                      "43 22 0:43 / /mnt/with\\040space rw - cifs //pc4/s rw\n"
                                      "44 22 0:44 / /mnt/over rw - cifs //old/s rw\n"
                                      "45 22 0:45 / /mnt/over rw - tmpfs tmpfs rw\n"
                                      "46 22 0:46 / /media/nas rw master:7 - smb3 //nas.local/share rw\n"
                                      "48 22 0:48 / /mnt/broken rw - cifs nonsense rw\n";
    platform.remoteShutdown.onRequest = [](const std::string& host) {
        if (host == "PC4")
            throw std::runtime_error("connection reset");
        return host == "PC2" ? Result::failure("refused") : Result::success();
    };
    using enum NetworkShutdownEntry::Outcome;
    const std::pair<std::string, NetworkShutdownEntry::Outcome> list[] = {
        {"C:\\Data", PassedOver},
        {"/run/user/1000/gvfs/sftp:host=pc3/x", PassedOver},
        {"/mnt/pc1x", PassedOver},
        {"/mnt/pc1/usb/data", PassedOver},
        {"/mnt/over/a", PassedOver},
        {"/home/ana", PassedOver},
        {"\\\\PC1", Failed}, // no share
        {"\\\\\\Share", Failed},
        {"//nas", Failed},
        {"/run/user/1000/gvfs/smb-share:share=docs/a", Failed},
        {"/mnt/broken/x", Failed},
        {"\\\\PC1\\Share\\Docs", Asked},
        {"//nas/backup/2024", Asked},
        {"/run/user/1000/gvfs/smb-share:server=pc2,share=docs/a", Asked},
        {"/run/user/1000/gvfs/smb-share:domain=WG,server=192.168.1.7,share=d,user=ana", Asked},
        {"/run/user/1000/gvfs/smb-share:server=pc%2D5,share=x", Asked},
        {"/mnt/pc1/Racuni/2024", Asked},
        {"/mnt/pc10/a", Asked},
        {"/mnt/pc1/../pc10/a", Asked},
        {"/mnt/with space/a", Asked},
        {"/media/nas/x", Asked},
        {"\\\\PC2\\D", Failed},
        {"\\\\PC4\\A", Failed},
        {"\\\\-rf\\x", Failed},
        {"\\\\pc 1\\x", Failed},
        {"/run/user/1000/gvfs/smb-share:server=a%3Bb,share=x", Failed},
        {"\\\\PC1\\B", Asked},
    };
    std::vector<std::string> entries;
    for (const auto& line : list)
        entries.push_back(line.first);

    const NetworkShutdownReport report = ShutDownNetworkComputers(entries, platform.services);

    EXPECT_EQ(platform.remoteShutdown.asked(),
              (std::vector<std::string>{"PC1", "nas", "pc2", "192.168.1.7", "pc-5", "PC1", "pc10", "pc10", "pc4",
                                        "nas.local", "PC2", "PC4", "PC1"}));
    ASSERT_EQ(report.entries.size(), std::size(list));
    for (size_t i = 0; i < std::size(list); ++i)
        EXPECT_EQ(report.entries[i].outcome, list[i].second) << list[i].first;
    EXPECT_TRUE(platform.messages.shown.empty());
}

// Timer2 fires while a click's shutdown still waits for PC1: its round must come after, not beside it, because
// this computer's shutdown follows Timer2's round.
TEST(NetworkShutdownGate, Timer2WaitsForAShutdownUnderWayAndThenAsksItself)
{
    TestPlatform platform;
    std::promise<void> reached, release;
    std::shared_future<void> released = release.get_future().share();
    platform.remoteShutdown.onRequest = [&](const std::string& host) {
        if (host == "PC1") {
            reached.set_value();
            released.wait();
        }
        return Result::success();
    };
    NetworkShutdownGate gate([](const std::function<void()>& work) { std::thread(work).join(); });
    using enum NetworkShutdownGate::WhenBusy;

    auto click = std::async(std::launch::async, [&] { return gate.run({"\\\\PC1\\A"}, platform.services, Skip); });
    reached.get_future().wait();
    auto timer = std::async(std::launch::async, [&] { return gate.run({"\\\\PC2\\B"}, platform.services, Wait); });
    EXPECT_EQ(timer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_FALSE(gate.run({"\\\\PC3\\C"}, platform.services, Skip).has_value());

    release.set_value();
    EXPECT_EQ(click.get()->askedHosts(), std::vector<std::string>{"PC1"});
    EXPECT_EQ(timer.get()->askedHosts(), std::vector<std::string>{"PC2"});
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "PC2"}));
    EXPECT_FALSE(gate.busy());
}

// A click's round has asked its computers, but its wait returns only after Timer2's round, which runs in an event
// loop nested above it: Timer2 must get the gate without waiting for the click's wait (this hung for good).
TEST(NetworkShutdownGate, Timer2NestedInAClicksWaitIsNotHeldUpByIt)
{
    TestPlatform platform;
    std::optional<NetworkShutdownReport> timer;
    int runs = 0;
    NetworkShutdownGate gate([&](const std::function<void()>& work) {
        std::thread(work).join();
        if (++runs == 1)
            timer = gate.run({"\\\\PC2\\B"}, platform.services, NetworkShutdownGate::WhenBusy::Wait);
    });
    const auto click = gate.run({"\\\\PC1\\A"}, platform.services, NetworkShutdownGate::WhenBusy::Skip);
    ASSERT_TRUE(click && timer);
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "PC2"}));
    EXPECT_FALSE(gate.busy());
}

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

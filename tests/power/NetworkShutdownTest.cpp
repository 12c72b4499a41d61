#include "NetworkShutdown.h"
#include "NetworkShutdownGate.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

/// One folder list entry, what should become of it, and the computer asked for it (none: nobody is asked).
struct Row
{
    std::string entry;
    NetworkShutdownEntry::Outcome outcome;
    std::string asked;
};

// The real rules of this platform: a folder of this computer is passed over; a network folder's computer is asked
// once per entry, in list order, unless no plain computer name can be read from it; a refusal or an error fails
// that entry alone. The user is told nothing. Network paths are read the same on every platform; how a share
// is reached otherwise is this platform's own (mounts on Linux, mapped drives on Windows).
TEST(ShutDownNetworkComputers, AsksTheComputerOfEveryNetworkEntryInListOrderWhateverTheOthersDo)
{
    TestPlatform platform;
    using enum NetworkShutdownEntry::Outcome;
    std::vector<Row> rows;
    // Entries that ask nobody.
    const auto none = [&rows](NetworkShutdownEntry::Outcome outcome, std::initializer_list<std::string> entries) {
        for (const std::string& entry : entries)
            rows.push_back({entry, outcome, ""});
    };
    none(PassedOver, {"relative\\folder"});
    none(Failed, {"\\\\PC1", "\\\\\\Share", "//nas"}); // no share
    rows.insert(rows.end(), {{"\\\\PC1\\Share\\Docs", Asked, "PC1"}, {"//nas/backup/2024", Asked, "nas"}});
#ifdef _WIN32
    platform.networkHosts.mappedDrives = {{"P:", "\\\\pc7\\racuni"},
                                          {"Q:", "\\\\nas.local\\backup"},
                                          {"W:", "\\\\server@SSL\\DavWWWRoot"},
                                          {"M:", "\\\\\\broken"}};
    none(PassedOver, {"C:\\Data", "D:/Data", "\\\\?\\D:\\Data", "1:\\x"});
    none(Failed, {"W:\\x", "M:\\x"}); // no plain computer name
    rows.insert(rows.end(), {{"P:\\Racuni\\2024", Asked, "pc7"},
                             {"p:/racuni", Asked, "pc7"},
                             {"P:", Asked, "pc7"},
                             {"Q:relative", Asked, "nas.local"},
                             {"\\\\?\\P:\\x", Asked, "pc7"},
                             {"\\\\?\\UNC\\pc8\\share\\x", Asked, "pc8"}});
#else
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
    none(PassedOver, {"C:\\Data", "/run/user/1000/gvfs/sftp:host=pc3/x", "/mnt/pc1x", "/mnt/pc1/usb/data",
                      "/mnt/over/a", "/home/ana"});
    none(Failed, {"/run/user/1000/gvfs/smb-share:share=docs/a", "/mnt/broken/x",
                  "/run/user/1000/gvfs/smb-share:server=a%3Bb,share=x"});
    rows.insert(rows.end(),
                {{"/run/user/1000/gvfs/smb-share:server=pc2,share=docs/a", Asked, "pc2"},
                 {"/run/user/1000/gvfs/smb-share:domain=WG,server=192.168.1.7,share=d,user=ana", Asked, "192.168.1.7"},
                 {"/run/user/1000/gvfs/smb-share:server=pc%2D5,share=x", Asked, "pc-5"},
                 {"/mnt/pc1/Racuni/2024", Asked, "PC1"},
                 {"/mnt/pc10/a", Asked, "pc10"},
                 {"/mnt/pc1/../pc10/a", Asked, "pc10"},
                 {"/mnt/with space/a", Asked, "pc4"},
                 {"/media/nas/x", Asked, "nas.local"}});
#endif
    // PC2 refuses, PC4 throws; then names that are no plain computer names, and one more that is.
    rows.insert(rows.end(), {{"\\\\PC2\\D", Failed, "PC2"}, {"\\\\PC4\\A", Failed, "PC4"}});
    none(Failed, {"\\\\-rf\\x", "\\\\pc 1\\x"});
    rows.push_back({"\\\\PC1\\B", Asked, "PC1"});
    platform.remoteShutdown.onRequest = [](const std::string& host) {
        if (host == "PC4")
            throw std::runtime_error("connection reset");
        return host == "PC2" ? Result::failure("refused") : Result::success();
    };
    std::vector<std::string> entries, asked;
    for (const Row& row : rows) {
        entries.push_back(row.entry);
        if (!row.asked.empty())
            asked.push_back(row.asked);
    }

    const NetworkShutdownReport report = ShutDownNetworkComputers(entries, platform.services);

    EXPECT_EQ(platform.remoteShutdown.asked(), asked);
    ASSERT_EQ(report.entries.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(report.entries[i].outcome, rows[i].outcome) << rows[i].entry;
    EXPECT_TRUE(platform.messages.shown.empty());
}

// The network-shutdown timer fires while a click's shutdown still waits for PC1: its round must come after, not beside
// it, because this computer's shutdown follows the timer's round.
TEST(NetworkShutdownGate, TheTimersRoundWaitsForAShutdownUnderWayAndThenAsksItself)
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

// A click's round has asked its computers, but its wait returns only after the timer's round, which runs in an event
// loop nested above it: the timer must get the gate without waiting for the click's wait (this hung for good).
TEST(NetworkShutdownGate, TheTimersRoundNestedInAClicksWaitIsNotHeldUpByIt)
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

} // namespace

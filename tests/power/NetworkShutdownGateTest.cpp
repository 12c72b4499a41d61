#include "NetworkShutdownGate.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

// Timer2 fires while a click's shutdown still waits for PC1: its own round must come after, not beside it,
// because this computer's shutdown follows Timer2's round.
TEST(NetworkShutdownGate, Timer2WaitsForAShutdownUnderWayAndThenAsksItself)
{
    TestPlatform platform;
    std::promise<void> reached;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    platform.remoteShutdown.onRequest = [&](const std::string& host) {
        if (host == "PC1") {
            reached.set_value();
            released.wait();
        }
    };
    NetworkShutdownGate gate([](const std::function<void()>& work) { std::thread(work).join(); });

    auto click = std::async(std::launch::async, [&] {
        return gate.run({"\\\\PC1\\A"}, platform.services, NetworkShutdownGate::WhenBusy::Skip);
    });
    reached.get_future().wait();
    auto timer = std::async(std::launch::async, [&] {
        return gate.run({"\\\\PC2\\B"}, platform.services, NetworkShutdownGate::WhenBusy::Wait);
    });
    // Give the waiting round every chance to overtake; it must not.
    EXPECT_EQ(timer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_FALSE(gate.run({"\\\\PC3\\C"}, platform.services, NetworkShutdownGate::WhenBusy::Skip).has_value());

    release.set_value();
    EXPECT_EQ(click.get()->askedHosts(), std::vector<std::string>{"PC1"});
    EXPECT_EQ(timer.get()->askedHosts(), std::vector<std::string>{"PC2"});
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "PC2"}));
    EXPECT_FALSE(gate.busy());
}

} // namespace

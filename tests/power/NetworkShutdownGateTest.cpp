#include "NetworkShutdownGate.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <thread>

namespace {

/// Runs the work on a thread of its own, as runOffThread does, and waits for it.
void onWorkerThread(const std::function<void()>& work)
{
    std::thread worker(work);
    worker.join();
}

/// Holds the request to one computer until released, so that a shutdown stays under way.
class HeldComputer
{
public:
    explicit HeldComputer(std::string host) : m_host(std::move(host)) {}

    void operator()(const std::string& host)
    {
        if (host != m_host)
            return;
        std::unique_lock lock(m_mutex);
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
    }
    void waitUntilReached()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_reached; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::string m_host;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_reached = false;
    bool m_released = false;
};

TEST(NetworkShutdownGate, ASecondClickWhileTheComputersAreAskedDoesNothing)
{
    TestPlatform platform;
    HeldComputer held("PC1");
    platform.remoteShutdown.onRequest = [&held](const std::string& host) { held(host); };
    NetworkShutdownGate gate(onWorkerThread);

    auto first = std::async(std::launch::async, [&] {
        return gate.run({"\\\\PC1\\A"}, platform.services, NetworkShutdownGate::WhenBusy::Skip);
    });
    held.waitUntilReached();
    EXPECT_TRUE(gate.busy());

    const auto second = gate.run({"\\\\PC2\\B"}, platform.services, NetworkShutdownGate::WhenBusy::Skip);
    EXPECT_FALSE(second.has_value());

    held.release();
    const auto firstReport = first.get();
    ASSERT_TRUE(firstReport.has_value());
    EXPECT_EQ(firstReport->askedHosts(), std::vector<std::string>{"PC1"});
    EXPECT_EQ(platform.remoteShutdown.asked(), std::vector<std::string>{"PC1"});
    EXPECT_FALSE(gate.busy());
}

TEST(NetworkShutdownGate, Timer2WaitsForAShutdownUnderWayAndThenAsksItself)
{
    TestPlatform platform;
    HeldComputer held("PC1");
    platform.remoteShutdown.onRequest = [&held](const std::string& host) { held(host); };
    NetworkShutdownGate gate(onWorkerThread);

    auto click = std::async(std::launch::async, [&] {
        return gate.run({"\\\\PC1\\A"}, platform.services, NetworkShutdownGate::WhenBusy::Skip);
    });
    held.waitUntilReached();
    std::atomic<bool> timerDone{false};
    auto timer = std::async(std::launch::async, [&] {
        auto report = gate.run({"\\\\PC2\\B"}, platform.services, NetworkShutdownGate::WhenBusy::Wait);
        timerDone = true;
        return report;
    });
    // Give the waiting request every chance to overtake; it must not.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(timerDone);

    held.release();
    click.get();
    const auto timerReport = timer.get();
    ASSERT_TRUE(timerReport.has_value());
    EXPECT_EQ(timerReport->askedHosts(), std::vector<std::string>{"PC2"});
    EXPECT_EQ(platform.remoteShutdown.asked(), (std::vector<std::string>{"PC1", "PC2"}));
}

TEST(NetworkShutdownGate, AWorkRunnerThatFailsLeavesTheGateOpen)
{
    TestPlatform platform;
    NetworkShutdownGate failing([](const std::function<void()>&) { throw std::runtime_error("no thread"); });
    EXPECT_THROW(failing.run({"\\\\PC1\\A"}, platform.services, NetworkShutdownGate::WhenBusy::Skip),
                 std::runtime_error);
    EXPECT_FALSE(failing.busy());
}

} // namespace

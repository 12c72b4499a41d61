#include "NetworkShutdownGate.h"

#include "NetworkShutdown.h"
#include "PlatformServices.h"

#include <atomic>

namespace {

/// Frees the gate however the work ends.
class Release
{
public:
    explicit Release(std::function<void()> release) : m_release(std::move(release)) {}
    ~Release()
    {
        if (m_release)
            m_release();
    }
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;

private:
    std::function<void()> m_release;
};

} // namespace

NetworkShutdownGate::NetworkShutdownGate(WorkRunner runWork) : m_runWork(std::move(runWork)) {}

std::optional<NetworkShutdownReport> NetworkShutdownGate::run(const std::vector<std::string>& entries,
                                                              const PlatformServices& platform, WhenBusy whenBusy)
{
    NetworkShutdownReport report;
    if (whenBusy == WhenBusy::Skip) {
        {
            std::lock_guard lock(m_mutex);
            if (m_busy)
                return std::nullopt;
            m_busy = true;
        }
        // Freed on the worker as soon as the computers are asked: the window's wait for this round may sit under
        // the timer's round in nested event loops, and the timer must not wait for that wait to return.
        std::atomic<bool> freedByWork{false};
        Release fallback([&] {
            if (!freedByWork)
                this->release();
        });
        m_runWork([&] {
            Release release([&] {
                freedByWork = true;
                this->release();
            });
            report = ShutDownNetworkComputers(entries, platform);
        });
        return report;
    }
    // Waiting happens on the worker, so the window stays usable while the other shutdown finishes.
    m_runWork([&] {
        {
            std::unique_lock lock(m_mutex);
            m_free.wait(lock, [this] { return !m_busy; });
            m_busy = true;
        }
        Release release([this] { this->release(); });
        report = ShutDownNetworkComputers(entries, platform);
    });
    return report;
}

bool NetworkShutdownGate::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_busy;
}

void NetworkShutdownGate::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_busy = false;
    }
    m_free.notify_all();
}

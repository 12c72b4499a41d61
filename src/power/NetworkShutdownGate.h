#pragma once

#include "NetworkShutdownReport.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct PlatformServices;

/// Lets one shutdown of the network computers at a time ask the computers, on a worker thread, while the
/// window stays usable. The window keeps one gate for the button "Pogasi ostale racunare" and the network-shutdown
/// timer.
class NetworkShutdownGate
{
public:
    /// Runs the work to its end and returns then; the window's events keep being handled meanwhile (in the
    /// program: runOffThread). The work must run on another thread than the caller's, or a request that waits
    /// for its turn could wait for itself.
    using WorkRunner = std::function<void(const std::function<void()>&)>;

    enum class WhenBusy {
        Skip, ///< a request that finds a shutdown under way does nothing (a second click on the button)
        Wait  ///< it waits for that one to end, then asks the computers itself (the timer after a run: this computer's
             ///< own shutdown, which comes after, must not cut an earlier request off)
    };

    explicit NetworkShutdownGate(WorkRunner runWork);

    /// ShutDownNetworkComputers for `entries` through the work runner. Nothing when skipped.
    std::optional<NetworkShutdownReport> run(const std::vector<std::string>& entries, const PlatformServices& platform,
                                             WhenBusy whenBusy);

    /// True while a shutdown is asking the computers.
    bool busy() const;

private:
    void release();

    WorkRunner m_runWork;
    mutable std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_busy = false;
};

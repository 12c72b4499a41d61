#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/// Gives up calls that stand still. A read from a share that stopped answering, or from a device file that never
/// delivers, can hold its thread for good, and on Linux nothing can take it out of such a read. A watched call
/// tells of its progress now and then; one that told nothing for the limit is given up: its `onStall` runs (on
/// the watch's own thread), and whoever waits for it goes on without it. On Windows the call's thread is asked to
/// cancel its read as well (CancelSynchronousIo), which frees it where the driver allows. Otherwise the thread is
/// left to itself: when its call returns at last, finish() says that it was given up, and the thread drops what it
/// made and ends, touching nothing of its owner but what it holds a share of.
class StallWatch
{
public:
    /// One watched call: made on the thread that works, shared with the watch.
    class Call
    {
    public:
        /// The call made progress now.
        void progressed();
        /// Ends the call: true when it ended in time, false when it was given up before (its result must then
        /// be dropped). Exactly one of finish() and the giving up wins.
        bool finish();
        bool givenUp() const { return m_state.load() == givenUpState; }

    private:
        friend class StallWatch;
        static constexpr int runningState = 0, finishedState = 1, givenUpState = 2;
        std::atomic<std::int64_t> m_lastProgress{0}; ///< steady-clock nanoseconds
        std::atomic<int> m_state{runningState};
        std::function<void()> m_onStall;
        std::function<void()> m_interrupt; ///< asks the working thread to leave its read, where it can
    };

    explicit StallWatch(std::chrono::milliseconds limit);
    /// Stops watching; calls still running are not given up any more.
    ~StallWatch();
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;

    /// Starts watching a call made on the calling thread. `onStall` runs once, on the watch's thread, if the call
    /// is given up; it must not wait for the call.
    std::shared_ptr<Call> watch(std::function<void()> onStall);

private:
    void run();

    const std::chrono::milliseconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::vector<std::shared_ptr<Call>> m_calls;
    std::thread m_thread;
};

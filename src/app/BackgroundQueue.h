#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

/// Runs jobs one after the other on a thread of its own, so that neither a run nor the window waits for them. When
/// the queue goes, what still waits is dropped and the job in hand is told to stop (stopping()) and waited for.
class BackgroundQueue
{
public:
    BackgroundQueue();
    ~BackgroundQueue();
    BackgroundQueue(const BackgroundQueue&) = delete;
    BackgroundQueue& operator=(const BackgroundQueue&) = delete;

    /// `job` runs on the queue's thread after those posted before it; what it throws is its own to catch.
    void post(std::function<void()> job);
    /// True while a job waits or is in hand.
    bool busy() const;
    /// True once the queue is going: the job in hand should end soon.
    bool stopping() const { return m_stop; }

private:
    void work();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_working = false;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
};

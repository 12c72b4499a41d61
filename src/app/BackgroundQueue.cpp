#include "BackgroundQueue.h"

BackgroundQueue::BackgroundQueue() : m_worker([this] { work(); }) {}

BackgroundQueue::~BackgroundQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

void BackgroundQueue::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
}

bool BackgroundQueue::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_working || !m_jobs.empty();
}

void BackgroundQueue::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_working = true;
        lock.unlock();
        job();
        lock.lock();
        m_working = false;
    }
}

#include "OffsiteCourier.h"

#include <QMetaObject>

#include <exception>

OffsiteCourier::OffsiteCourier(Progress progress, QObject* parent)
    : QObject(parent), m_progress(std::move(progress)), m_worker([this] { work(); })
{}

OffsiteCourier::~OffsiteCourier()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

void OffsiteCourier::post(Job job, Done done)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.emplace_back(std::move(job), std::move(done));
    }
    m_wake.notify_all();
}

bool OffsiteCourier::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_sending || !m_jobs.empty();
}

void OffsiteCourier::progressed(const OffsiteProgress& progress)
{
    {
        std::lock_guard lock(m_progressMutex);
        m_pendingProgress = progress;
    }
    if (m_progressPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            OffsiteProgress latest;
            {
                std::lock_guard lock(m_progressMutex);
                latest = m_pendingProgress;
            }
            m_progressPosted = false;
            if (m_progress)
                m_progress(latest);
        },
        Qt::QueuedConnection);
}

void OffsiteCourier::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_stop)
            return;
        auto [job, done] = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_sending = true;
        lock.unlock();
        OffsiteOutcome outcome;
        // An exception may not leave the thread (that ends the program): it becomes the sending's failure.
        try {
            outcome = job([this](const OffsiteProgress& progress) { progressed(progress); },
                          [this] { return m_stop.load(); });
        } catch (const std::exception& error) {
            outcome.problems.push_back(std::string("Slanje van lokala nije uspjelo: ") + error.what());
        } catch (...) {
            outcome.problems.push_back("Slanje van lokala nije uspjelo.");
        }
        // Queued to this object: dropped with it when the window goes first.
        QMetaObject::invokeMethod(
            this, [done = std::move(done), outcome = std::move(outcome)] { done(outcome); }, Qt::QueuedConnection);
        lock.lock();
        m_sending = false;
    }
}

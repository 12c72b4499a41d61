#include "MailOutbox.h"

#include <QMetaObject>

#include <exception>

MailOutbox::MailOutbox(QObject* parent) : QObject(parent), m_worker([this] { work(); }) {}

MailOutbox::~MailOutbox()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_worker.join();
}

void MailOutbox::post(Job job, Done done)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.emplace_back(std::move(job), std::move(done));
    }
    m_wake.notify_all();
}

bool MailOutbox::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_sending || !m_jobs.empty();
}

void MailOutbox::work()
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
        std::optional<MailDelivery> delivery;
        // An exception may not leave the thread (that ends the program): it becomes the sending's failure.
        try {
            delivery = job();
        } catch (const std::exception& error) {
            delivery = MailDelivery{Result::failure(error.what()), {}};
        } catch (...) {
            delivery = MailDelivery{Result::failure("unknown error"), {}};
        }
        // Queued to this object: dropped with it when the window goes first.
        if (delivery)
            QMetaObject::invokeMethod(
                this, [done = std::move(done), result = *delivery] { done(result); }, Qt::QueuedConnection);
        lock.lock();
        m_sending = false;
    }
}

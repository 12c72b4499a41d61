#include "OffsiteCourier.h"

#include <QMetaObject>

#include <exception>

OffsiteCourier::OffsiteCourier(Progress progress, QObject* parent) : QObject(parent), m_progress(std::move(progress)) {}

void OffsiteCourier::post(Job job, Done done)
{
    m_queue.post([this, job = std::move(job), done = std::move(done)] {
        OffsiteOutcome outcome;
        // An exception may not leave the thread (that ends the program): it becomes the sending's failure.
        try {
            outcome = job([this](const OffsiteProgress& progress) { progressed(progress); },
                          [this] { return m_queue.stopping(); });
        } catch (const std::exception& error) {
            outcome.problems.push_back(std::string("Slanje van lokala nije uspjelo: ") + error.what());
        } catch (...) {
            outcome.problems.push_back("Slanje van lokala nije uspjelo.");
        }
        // Queued to this object: dropped with it when the window goes first.
        QMetaObject::invokeMethod(
            this, [done, outcome = std::move(outcome)] { done(outcome); }, Qt::QueuedConnection);
    });
}

bool OffsiteCourier::busy() const
{
    return m_queue.busy();
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

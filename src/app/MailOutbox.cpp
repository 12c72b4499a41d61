#include "MailOutbox.h"

#include <QMetaObject>

#include <exception>

MailOutbox::MailOutbox(QObject* parent) : QObject(parent) {}

MailOutbox::~MailOutbox() = default;

void MailOutbox::post(Job job, Done done)
{
    m_queue.post([this, job = std::move(job), done = std::move(done)] {
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
                this, [done, result = *delivery] { done(result); }, Qt::QueuedConnection);
    });
}

bool MailOutbox::busy() const
{
    return m_queue.busy();
}

#pragma once

#include "BackgroundQueue.h"
#include "MailSender.h"

#include <QObject>

#include <functional>
#include <optional>

/// Sends the reports one after the other on a thread of its own, so that neither a run nor the window waits for a
/// mail server. What a sending gave is handed back on the window's thread. Nothing is ever sent twice: a failure
/// is handed back, never retried.
class MailOutbox : public QObject
{
    Q_OBJECT
public:
    /// Sends, on the outbox's thread; nothing when there was nothing to send. Must not touch widgets.
    using Job = std::function<std::optional<MailDelivery>()>;
    /// Takes what the job gave, on the window's thread.
    using Done = std::function<void(const MailDelivery&)>;

    explicit MailOutbox(QObject* parent = nullptr);
    /// Drops what still waits and lets the sending in hand end (within its time limit).
    ~MailOutbox() override;

    void post(Job job, Done done);
    /// True while a job waits or is in hand.
    bool busy() const;

private:
    BackgroundQueue m_queue; ///< last: it goes first, before what its jobs use
};

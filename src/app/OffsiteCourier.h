#pragma once

#include "BackgroundQueue.h"
#include "OffsiteSender.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <mutex>

/// Sends the days to the store one after the other on a thread of its own, beside the window: neither a run nor the
/// window waits for the store. Where a sending stands and what it gave are handed back on the window's thread. When
/// the courier goes (the program ends), what waits is dropped and the sending in hand is asked to stop; it aborts
/// its unfinished uploads and ends within its requests' time limits.
class OffsiteCourier : public QObject
{
    Q_OBJECT
public:
    /// Sends, on the courier's thread, reporting through `progress` and ending early when `stop` says so. Must not
    /// touch widgets.
    using Job = std::function<OffsiteOutcome(const std::function<void(const OffsiteProgress&)>& progress,
                                             const std::function<bool()>& stop)>;
    /// Takes what the job gave, on the window's thread.
    using Done = std::function<void(const OffsiteOutcome&)>;
    /// Takes where the sending stands, on the window's thread; at most one update on its way at a time.
    using Progress = std::function<void(const OffsiteProgress&)>;

    explicit OffsiteCourier(Progress progress, QObject* parent = nullptr);

    void post(Job job, Done done);
    /// True while a job waits or is in hand.
    bool busy() const;

private:
    void progressed(const OffsiteProgress& progress);

    Progress m_progress;
    std::mutex m_progressMutex;
    OffsiteProgress m_pendingProgress;
    std::atomic<bool> m_progressPosted{false};
    BackgroundQueue m_queue; ///< last: it goes first, before what its jobs use
};

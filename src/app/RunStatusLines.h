#pragma once

#include "BackupHost.h"

#include <QObject>

#include <atomic>
#include <mutex>
#include <string>

class StatusPage;

/// The two status lines of the page "Backup" as the program sets them and, while a run works, its progress in
/// their place (RunProgressText). Lines set meanwhile are kept and come back when the progress ends.
class RunStatusLines : public QObject
{
    Q_OBJECT
public:
    explicit RunStatusLines(StatusPage& page, QObject* parent = nullptr);

    void setStatusLine(const std::string& text);
    void setNextRunLine(const std::string& text);
    /// The lines as the program set them, whatever the page shows now.
    const std::string& statusLine() const { return m_statusLine; }
    const std::string& nextRunLine() const { return m_nextRunLine; }

    /// Where the run stands; may be called from any thread. Shown on the window's thread, at most one update on
    /// its way at a time, and only while a run holds RunGuard (news of a run that is over is dropped).
    void reportProgress(const RunProgress& progress);
    /// The run's work is over: the page shows the lines as the program set them again.
    void endProgress();

private:
    void showPendingProgress();

    StatusPage& m_page;
    std::string m_statusLine;
    std::string m_nextRunLine;
    bool m_progressShown = false;
    std::mutex m_progressMutex;
    RunProgress m_pendingProgress;
    std::atomic<bool> m_progressPosted{false};
};

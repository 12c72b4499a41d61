#include "RunStatusLines.h"

#include "RunGuard.h"
#include "RunProgressText.h"
#include "StatusPage.h"

RunStatusLines::RunStatusLines(StatusPage& page, QObject* parent) : QObject(parent), m_page(page) {}

void RunStatusLines::setStatusLine(const std::string& text)
{
    m_statusLine = text;
    if (!m_progressShown)
        m_page.setStatusLine(QString::fromStdString(text));
}

void RunStatusLines::setNextRunLine(const std::string& text)
{
    m_nextRunLine = text;
    if (!m_progressShown)
        m_page.setNextRunLine(QString::fromStdString(text));
}

void RunStatusLines::reportProgress(const RunProgress& progress)
{
    {
        std::lock_guard lock(m_progressMutex);
        m_pendingProgress = progress;
    }
    // One update on its way at a time: a run of many small files must not flood the window with events.
    if (!m_progressPosted.exchange(true))
        QMetaObject::invokeMethod(this, &RunStatusLines::showPendingProgress, Qt::QueuedConnection);
}

void RunStatusLines::showPendingProgress()
{
    m_progressPosted = false;
    RunProgress progress;
    {
        std::lock_guard lock(m_progressMutex);
        progress = m_pendingProgress;
    }
    if (!RunGuard::busy())
        return; // news of a run that is already over
    m_progressShown = true;
    m_page.setStatusLine(QString::fromStdString(RunProgressText::sourceLine(progress)));
    m_page.showProgressLine(QString::fromStdString(RunProgressText::countsLine(progress)),
                            QString::fromStdString(progress.currentFile));
}

void RunStatusLines::endProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    m_page.setStatusLine(QString::fromStdString(m_statusLine));
    m_page.setNextRunLine(QString::fromStdString(m_nextRunLine));
}

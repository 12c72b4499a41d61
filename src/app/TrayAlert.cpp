#include "TrayAlert.h"

#include "AppIcon.h"
#include "NotificationIcon.h"
#include "RunReport.h"

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

TrayAlert::TrayAlert(NotificationIcon& icon, QIcon ordinary, const std::string& title,
                     std::function<std::string()> statusLine)
    : m_icon(icon), m_ordinary(std::move(ordinary)), m_title(title), m_statusLine(std::move(statusLine))
{}

void TrayAlert::runProblemsUnseen(const RunReport& report, const std::vector<std::string>& lines)
{
    QString text = qs(report.runFailure);
    if (!lines.empty())
        text += (text.isEmpty() ? "" : "\n") + QString::fromUtf8(RunTexts::notBackedUpHeading);
    for (const std::string& line : lines)
        text += '\n' + qs(line);
    m_icon.showMessage(qs(m_title), text);
    m_runProblems = true;
    refresh();
}

void TrayAlert::offsiteProblemsUnseen(const std::vector<std::string>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << qs(line);
    m_icon.showMessage(qs(m_title), text.join('\n'));
    m_runProblems = true;
    refresh();
}

void TrayAlert::seen()
{
    if (!m_runProblems)
        return;
    m_runProblems = false;
    refresh();
}

void TrayAlert::setWarning(bool overdue, bool started, const std::string& line)
{
    m_overdue = overdue;
    refresh();
    if (started)
        m_icon.showMessage(qs(m_title), qs(line));
}

void TrayAlert::refresh()
{
    if (m_runProblems || m_overdue)
        m_icon.setLook(AppIcon::create(true), qs(m_title + "\n" + m_statusLine()));
    else
        m_icon.setLook(m_ordinary, qs(m_title));
}

#pragma once

#include <QIcon>

#include <functional>
#include <string>
#include <vector>

class NotificationIcon;
struct RunReport;

/// What the notification icon says about the backups: the failure picture, with the first status line as its tip,
/// while a run's problems have not been seen (until the window is) or the warning about old backups stands (until
/// a whole backup is made); the ordinary look otherwise. Each starts with a message beside the icon.
class TrayAlert
{
public:
    /// `title` and `statusLine` are read at every change of the look.
    TrayAlert(NotificationIcon& icon, QIcon ordinary, const std::string& title,
              std::function<std::string()> statusLine);

    /// A run ended with `report` (its failure lines `lines`) while nobody looked at the window: the message lists
    /// them, and the icon keeps the failure picture after it is gone.
    void runProblemsUnseen(const RunReport& report, const std::vector<std::string>& lines);
    /// The copy away from the shop failed (`lines`) while nobody looked at the window: as runProblemsUnseen.
    void offsiteProblemsUnseen(const std::vector<std::string>& lines);
    /// The window is seen: the run's problems no longer need the icon.
    void seen();
    /// The warning about old backups stands (`overdue`) or not; `started`: it begins now, with `line` as message.
    void setWarning(bool overdue, bool started, const std::string& line);

private:
    void refresh();

    NotificationIcon& m_icon;
    QIcon m_ordinary;
    const std::string& m_title;
    std::function<std::string()> m_statusLine;
    bool m_runProblems = false;
    bool m_overdue = false;
};

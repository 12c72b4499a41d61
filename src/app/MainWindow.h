#pragma once

#include "BackupHost.h"
#include "DailySchedule.h"
#include "StartupWindow.h"
#include "WindowServices.h"

#include <QSize>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class MainWindow;
}
class AboutPage;
class BackupWatch;
class FoldersPage;
class MailPage;
class NetworkShutdownTimer;
class OffsitePage;
class OptionsPage;
class QAction;
class QMenu;
class QTimer;
class RestorePage;
class RunStatusLines;
class StatusPage;
class TrayAlert;
struct AppContext;
struct OffsiteOutcome;

/// The program's one window. It holds the pages (StatusPage "Backup"; "Podesavanja" with FoldersPage "Fascikle",
/// OptionsPage "Opcije", MailPage "Posta" and OffsitePage "Van lokala"; RestorePage "Vracanje"; AboutPage
/// "O programu") and owns what is the whole program's: the notification icon with its menu, closing, hiding and
/// "Izlaz", the daily timer with its schedule, the network-shutdown timer, the runs it starts and the window's side of
/// every run (BackupHost). Closing the window only hides it; the program ends through "Izlaz" in the icon's menu.
///
/// The handlers are public so that tests drive them the way the toolkit does.
class MainWindow : public QWidget, public StartupWindow, public BackupHost
{
    Q_OBJECT
public:
    MainWindow(AppContext& context, WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // StartupWindow
    /// The window's initialisation: caption, notification icon, folder list, version line, the set-up check,
    /// the saved settings in the controls, and per mode the status lines, the catch-up database backup, the
    /// daily timer and the button by hand. A saved setting that no control can show ends it at that step with
    /// a message that names the setting.
    void load() override;
    BackupHost& backupHost() override { return *this; }
    void showWindow() override;
    void removeTrayIcon() override;

    // BackupHost
    int folderCount() const override;
    std::string folderEntry(int index) const override;
    std::vector<std::string> refusedFolderEntries() const override;
    void setBusyPointer(bool busy) override;
    void processEvents() override;
    void runWork(const std::function<void()>& work) override;
    void reportProgress(const RunProgress& progress) override;
    void setStatusLine(const std::string& text) override;
    void setNextRunLine(const std::string& text) override;
    void setLampColour(std::uint32_t bgr) override;
    void runFinished(const RunReport& report) override;
    void showBackUpNowButton() override;
    void startDailySchedule() override;
    void armNetworkShutdown(bool thenThisComputer) override;

    /// Sizes and places the window inside `available` (the screen less its task bar), never larger than it was
    /// made; the pages scroll where the screen is smaller than they are.
    void fitInto(const QRect& available);

public slots:
    /// A mouse message of the notification icon: 514 (left button up) and 515 (double click) bring the window
    /// back in normal size, in front; 517 (right button up) leaves the window as it is while the menu opens;
    /// every other number is ignored.
    void onTrayIconMessage(int message);
    void onBackUpNow(); ///< "Izradi rezervne kopije": refused while another run works
    /// "Sakri prozor": hides the window to the notification area, or minimises it where the desktop has none.
    void hideWindow();
    void onShutDownNetwork();        ///< "Pogasi ostale racunare"; nothing while a shutdown is under way
    void onDailyTick();              ///< the daily schedule, once a second
    void onNetworkShutdownTimeout(); ///< the network shutdown, once, a minute after a run
    void onExit();                   ///< "Izlaz"; during a backup it says so and, on Yes, stops it before the end

protected:
    /// Every close request hides the window; the program goes on in the notification area.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// The pages' part of load(): everything but the watch over the backups.
    void loadPages();
    void restoreWindow();
    /// The saved settings in the pages' controls, then what the mode asks for at start; a saved setting that no
    /// control can show ends it with a message.
    void showSettingsInControls();
    /// After "Prihvati" on "Opcije": the daily timer, the button by hand and the next-run line follow the saved
    /// mode; the mode at start ends the program, to be started again.
    void applySavedOptions();
    void showSettingsPage(int page);
    /// Starts the run by hand or by the timer: the archive run when ZIPOVANJE is 1, the copy run otherwise.
    void startButtonOrTimerRun();
    /// The catch-up run: a timed run, started the way the daily timer starts one, the schedule left as it is.
    void startTimedRun();
    /// A report that could not be mailed joins the latest run's list of what went wrong.
    void showMailFailure(const std::string& line);
    /// The sending to the store ended: its line on the page "Backup"; what went wrong joins the latest run's list
    /// (and the icon, when nobody looks).
    void showOffsiteOutcome(const OffsiteOutcome& outcome);
    void runSafely(const WindowServices::Run& run);
    /// The next-run line: when the next timed run is due while the daily schedule is armed, else nothing.
    void refreshNextRunLine();
    /// The icon's ordinary look again once the window is seen (unless the warning about old backups stands).
    void clearAlert();
    /// Ends the program once the run in progress has stopped (after "Izlaz" during a backup).
    void endWhenRunHasStopped();
    /// The icon goes, then the process ends.
    void endProgram();
    void message(const std::string& text);

    AppContext& m_context;
    WindowServices m_services;
    std::unique_ptr<Ui::MainWindow> ui;
    StatusPage* m_statusPage;
    FoldersPage* m_foldersPage;
    OptionsPage* m_optionsPage;
    MailPage* m_mailPage;
    RestorePage* m_restorePage;
    OffsitePage* m_offsitePage;
    AboutPage* m_aboutPage;
    RunStatusLines* m_statusLines; ///< the status page's lines, and the progress of a run in their place
    NetworkShutdownTimer* m_networkShutdown;
    QTimer* m_dailyTimer;
    QMenu* m_trayMenu;
    QAction* m_exitAction;
    QTimer* m_endTimer; ///< waits for a stopped run before the program ends
    BackupWatch* m_watch;
    std::unique_ptr<TrayAlert> m_trayAlert;

    DailySchedule m_schedule;
    bool m_busyPointer = false;
    bool m_latestRunHasProblems = false;
    std::vector<std::string> m_failureLines; ///< the list under the status lines: the latest run's, mail failures
    bool m_nextRunTimed = false;             ///< the run about to start is a timed one (or catches one up)
    bool m_runWroteStatusLine = false; ///< the run in progress set the first status line itself (the database backup)
    bool m_fitted = false;
    QSize m_designedSize; ///< what the pages need without scrolling (the size the window opens at)
};

#pragma once

#include "BackupHost.h"
#include "DailySchedule.h"
#include "NetworkShutdownGate.h"
#include "OffThreadWork.h"
#include "StartupWindow.h"
#include "WindowServices.h"

#include <QSize>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Ui {
class frmMain;
}
class QAbstractButton;
class QButtonGroup;
class QMenu;
class QAction;
class QTimer;
struct AppContext;

/// The program's one window: the status page "Backup", the settings pages "Fascikle" and "Opcije", the page
/// "O programu", the notification icon with its menu, and the two timers. Controls carry the names the rest
/// of the program knows them by (Command1, List2, Timer1, ...). Closing the window only hides it; the program
/// ends through "Izlaz" in the icon's menu.
///
/// The handlers keep the names of the events they answer and are public so that tests drive them the way
/// the toolkit does.
class frmMain : public QWidget, public StartupWindow, public BackupHost
{
    Q_OBJECT
public:
    frmMain(AppContext& context, WindowServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    // StartupWindow
    /// The window's initialisation (Form_Load): caption, notification icon, folder list, version line, the 24
    /// hours, the set-up check, the saved settings in the controls, and per mode the status lines, the
    /// catch-up database backup, Timer1 and Command1. A saved setting that no control can show ends it at that
    /// step with a message that names the setting.
    void load() override;
    BackupHost& backupHost() override { return *this; }
    void showWindow() override;
    void removeTrayIcon() override;

    // BackupHost
    int folderCount() const override;
    std::string folderEntry(int index) const override;
    std::vector<std::string> refusedFolderEntries() const override { return m_refusedFolderEntries; }
    void setBusyPointer(bool busy) override;
    void processEvents() override;
    void runWork(const std::function<void()>& work) override;
    void reportProgress(const RunProgress& progress) override;
    void setStatusLine1(const std::string& text) override;
    void setStatusLine2(const std::string& text) override;
    void setLampColour(std::uint32_t bgr) override;
    void runFinished(const RunReport& report) override;
    void showManualBackupButton() override;
    void enableTimer1() override;
    void switchOnTimer2(bool thenShutDownThisComputer) override;

    /// Sizes and places the window inside `available` (the screen less its task bar), never larger than it was
    /// made; the pages scroll where the screen is smaller than they are.
    void fitInto(const QRect& available);

public slots:
    /// A mouse message of the notification icon: 514 (left button up) and 515 (double click) bring the window
    /// back in normal size, in front; 517 (right button up) leaves the window as it is while the menu opens;
    /// every other number is ignored.
    void Form_MouseMove(int message);
    void Command1_Click();       ///< backup by hand
    void Command2_Click();       ///< "Sakri prozor"
    void Command3_Click();       ///< choose the destination folder
    void Command5_Click();       ///< "Prihvati" on "Opcije"
    void Command6_Click();       ///< "Prihvati" on "Fascikle"
    void Command7_Click();       ///< add a folder to the list
    void Command8_Click();       ///< clear the list, after asking
    void Command9_Click();       ///< open the destination folder
    void Command10_Click();      ///< shut down the network computers
    void Timer1_Timer();         ///< the daily schedule, once a second
    void Timer2_Timer();         ///< the network shutdown, once, a minute after a run
    void mnuIzlaz_Click();       ///< "Izlaz"; during a backup it says so and, on Yes, stops it before the end
    void Label24_Click();        ///< the web page
    void removeSelectedFolder(); ///< Delete, or the list's menu: the selected entry leaves List2

protected:
    /// Form_Unload: every close request hides the window; the program goes on in the notification area.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadFolderList();
    std::string BrowseForFolder(const std::string& title);
    void addTrayIcon();
    /// Hides the window to the notification area, or minimises it where the desktop has none.
    void hideWindow();
    void restoreWindow();
    /// Steps 8 to 14 of the initialisation; false when a saved setting ended it.
    bool showSettingsInControls();
    void failInitialisation(const std::string& key, int value);
    /// Starts the run by hand or by the timer: the archive run when ZIPOVANJE is 1, the copy run otherwise.
    void startButtonOrTimerRun();
    void runSafely(const WindowServices::Run& run);
    void shutDownNetwork(NetworkShutdownGate::WhenBusy whenBusy);
    void placeText2InCheck1Gap();
    void showPendingProgress();
    void endProgressDisplay();
    void refreshStatusLines();
    /// Label2: when the next timed run is due while the daily schedule is armed, else nothing.
    void refreshNextRunLine();
    /// The icon's ordinary look again once the window is seen.
    void clearAlert();
    /// Ends the program once the run in progress has stopped (after "Izlaz" during a backup).
    void endWhenRunHasStopped();
    void message(const std::string& text);

    AppContext& m_context;
    WindowServices m_services;
    std::unique_ptr<Ui::frmMain> ui;
    QTimer* Timer1;
    QTimer* Timer2;
    QMenu* mnuGlavni;
    QAction* mnuIzlaz;
    QAction* mnuUkloni; ///< List2's menu: remove the selected folder
    QTimer* m_endTimer; ///< waits for a stopped run before the program ends

    DailySchedule m_schedule;
    /// Entries of the list file refused at load; reported by every run until "Prihvati" saves the list.
    std::vector<std::string> m_refusedFolderEntries;
    bool m_shutDownAfterNetwork = false;
    NetworkShutdownGate m_networkShutdown{runOffThread};
    bool m_busyPointer = false;
    bool m_latestRunHasProblems = false;
    bool m_runWroteLine1 = false; ///< the run in progress set the first status line itself (the database backup)
    bool m_alert = false;         ///< the icon shows a failure nobody has seen yet
    bool m_fitted = false;
    QSize m_designedSize; ///< what the pages need without scrolling (the size the window opens at)

    // The status lines as the program set them; while a run works they show its progress instead.
    std::string m_statusLine1;
    std::string m_statusLine2;
    bool m_progressShown = false;
    std::mutex m_progressMutex;
    RunProgress m_pendingProgress;
    std::atomic<bool> m_progressPosted{false};
};

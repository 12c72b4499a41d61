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
class MainWindow;
}
class QAbstractButton;
class QButtonGroup;
class QMenu;
class QAction;
class QTimer;
struct AppContext;

/// The program's one window: the status page "Backup", the settings pages "Fascikle" and "Opcije", the page
/// "O programu", the notification icon with its menu, and the two timers. Controls, handlers and timers are named
/// by their role (backUpNowButton, onBackUpNow, dailyTimer, ...). Closing the window only hides it; the program
/// ends through "Izlaz" in the icon's menu.
///
/// The handlers are public so that tests drive them the way the toolkit does.
class MainWindow : public QWidget, public StartupWindow, public BackupHost
{
    Q_OBJECT
public:
    MainWindow(AppContext& context, WindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // StartupWindow
    /// The window's initialisation: caption, notification icon, folder list, version line, the 24
    /// hours, the set-up check, the saved settings in the controls, and per mode the status lines, the
    /// catch-up database backup, dailyTimer and backUpNowButton. A saved setting that no control can show ends it at
    /// that step with a message that names the setting.
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
    void onBackUpNow();              ///< backup by hand
    void onHideWindow();             ///< "Sakri prozor"
    void onChooseDestination();      ///< choose the destination folder
    void onSaveOptions();            ///< "Prihvati" on "Opcije"
    void onSaveFolders();            ///< "Prihvati" on "Fascikle"
    void onAddFolder();              ///< add a folder to the list
    void onClearFolderList();        ///< clear the list, after asking
    void onOpenDestination();        ///< open the destination folder
    void onShutDownNetwork();        ///< shut down the network computers
    void onDailyTick();              ///< the daily schedule, once a second
    void onNetworkShutdownTimeout(); ///< the network shutdown, once, a minute after a run
    void onExit();                   ///< "Izlaz"; during a backup it says so and, on Yes, stops it before the end
    void onWebLink();                ///< the web page
    void removeSelectedFolder();     ///< Delete, or the list's menu: the selected entry leaves folderList

protected:
    /// Every close request hides the window; the program goes on in the notification area.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadFolderList();
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
    void placeKeepDaysEditInCaptionGap();
    void showPendingProgress();
    void endProgressDisplay();
    void refreshStatusLines();
    /// nextRunLine: when the next timed run is due while the daily schedule is armed, else nothing.
    void refreshNextRunLine();
    /// The icon's ordinary look again once the window is seen.
    void clearAlert();
    /// Ends the program once the run in progress has stopped (after "Izlaz" during a backup).
    void endWhenRunHasStopped();
    void message(const std::string& text);

    AppContext& m_context;
    WindowServices m_services;
    std::unique_ptr<Ui::MainWindow> ui;
    QTimer* dailyTimer;
    QTimer* networkShutdownTimer;
    QMenu* trayMenu;
    QAction* exitAction;
    QAction* removeFolderAction; ///< folderList's menu: remove the selected folder
    QTimer* m_endTimer;          ///< waits for a stopped run before the program ends

    DailySchedule m_schedule;
    /// Entries of the list file refused at load; reported by every run until "Prihvati" saves the list.
    std::vector<std::string> m_refusedFolderEntries;
    bool m_shutDownAfterNetwork = false;
    NetworkShutdownGate m_networkShutdown{runOffThread};
    bool m_busyPointer = false;
    bool m_latestRunHasProblems = false;
    bool m_runWroteStatusLine = false; ///< the run in progress set the first status line itself (the database backup)
    bool m_alert = false;              ///< the icon shows a failure nobody has seen yet
    bool m_fitted = false;
    QSize m_designedSize; ///< what the pages need without scrolling (the size the window opens at)

    // The status lines as the program set them; while a run works they show its progress instead.
    std::string m_statusLine;
    std::string m_nextRunLine;
    bool m_progressShown = false;
    std::mutex m_progressMutex;
    RunProgress m_pendingProgress;
    std::atomic<bool> m_progressPosted{false};
};

#include "MainWindow.h"

#include "ui_MainWindow.h"

#include "AboutPage.h"
#include "AppContext.h"
#include "AppIcon.h"
#include "AppInfo.h"
#include "BackupNames.h"
#include "BackupWatch.h"
#include "Clock.h"
#include "FileSystem.h"
#include "FoldersPage.h"
#include "MailPage.h"
#include "MessageBoxService.h"
#include "NetworkShutdownTimer.h"
#include "NotificationIcon.h"
#include "OffsitePage.h"
#include "OffsiteSender.h"
#include "OptionsPage.h"
#include "ProcessTerminator.h"
#include "RestorePage.h"
#include "RunCancellation.h"
#include "RunGuard.h"
#include "RunStatusLines.h"
#include "StatusLineText.h"
#include "StatusPage.h"
#include "TrayAlert.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

#include <exception>

namespace {

const char* const crlf = "\r\n";

const char* const notSetUp = "Program nije podesenen.\r\nMolimo da podesite program.";
const char* const pleaseSetUp = "Molimo da podesite program.";
const char* const startModeChosen = "Izabrali ste opciju izrade rezervne kopije po pokretanju programa \r\n"
                                    "Pokrenite program ponovo kako bi ste odmah iyradili rezervnu kopiju";
const char* const exitQuestion = "Da li zelite da izadjete iz programa: \r\n\r\n";
const char* const databaseDone = "Rezervna kopija baza podataka je izradjena ";
const char* const runInProgressAtExit = "Izrada rezervne kopije je u toku. Ako izadjete, bice prekinuta: ono sto je "
                                        "zapoceto se brise, a ranije rezervne kopije ostaju.\r\n\r\n";

/// The pages of "Podesavanja", in their order.
enum SettingsPage { foldersPage = 0, optionsPage = 1 };

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

MainWindow::MainWindow(AppContext& context, WindowServices services, QWidget* parent)
    : QWidget(parent), m_context(context), m_services(std::move(services)), ui(std::make_unique<Ui::MainWindow>()),
      m_statusPage(new StatusPage), m_foldersPage(new FoldersPage(context, m_services.folderPicker)),
      m_optionsPage(new OptionsPage(context)), m_mailPage(new MailPage(context)),
      m_restorePage(
          new RestorePage(context, m_services.folderPicker, [this] { return m_foldersPage->folderEntries(); })),
      m_offsitePage(new OffsitePage(context)), m_aboutPage(new AboutPage(context.platform)),
      m_statusLines(new RunStatusLines(*m_statusPage, this)),
      m_networkShutdown(new NetworkShutdownTimer(
          context.platform, [this] { return m_foldersPage->folderEntries(); }, this)),
      m_dailyTimer(new QTimer(this)), m_trayMenu(new QMenu(QStringLiteral("File"), this)),
      m_exitAction(m_trayMenu->addAction(QStringLiteral("Izlaz"))), m_endTimer(new QTimer(this)),
      m_watch(new BackupWatch(
          context, *m_statusLines,
          {.startTimedRun = [this] { startTimedRun(); },
           .warningChanged =
               [this](bool started) { m_trayAlert->setWarning(m_watch->overdue(), started, m_watch->warningLine()); },
           .mailFailed = [this](const std::string& line) { showMailFailure(line); },
           .offsiteProgress =
               [this](const OffsiteProgress& progress) {
                   m_statusPage->setOffsiteLine(QStringLiteral("Slanje van lokala: %1 od %2 datoteka, %3 MB poslano")
                                                    .arg(progress.filesDone)
                                                    .arg(progress.filesTotal)
                                                    .arg(progress.bytesSent / 1000000));
               },
           .offsiteDone = [this](const OffsiteOutcome& outcome) { showOffsiteOutcome(outcome); }},
          this))
{
    ui->setupUi(this);
    setWindowIcon(AppIcon::create());
    m_trayAlert = std::make_unique<TrayAlert>(m_services.trayIcon, windowIcon(), m_context.WindowTitle,
                                              [this] { return m_statusLines->statusLine(); });
    ui->pageTabs->insertTab(0, m_statusPage, QStringLiteral("Backup"));
    ui->pageTabs->insertTab(ui->pageTabs->indexOf(ui->settingsTab) + 1, m_restorePage, QStringLiteral("Vracanje"));
    ui->pageTabs->addTab(m_aboutPage, QStringLiteral("O programu"));
    // The days are read when the page is looked at: a backup made since is there.
    connect(ui->pageTabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (ui->pageTabs->widget(index) == m_restorePage)
            m_restorePage->refreshDays();
    });
    ui->pageTabs->setCurrentIndex(0);
    ui->settingsTabs->addTab(m_foldersPage, QStringLiteral("Fascikle"));
    ui->settingsTabs->addTab(m_optionsPage, QStringLiteral("Opcije"));
    ui->settingsTabs->addTab(m_mailPage, QStringLiteral("Posta"));
    ui->settingsTabs->addTab(m_offsitePage, QStringLiteral("Van lokala"));
    ui->settingsTabs->setCurrentIndex(foldersPage);
    // A tab widget not yet shown keeps its new pages from the layouts around it; they measure it again now.
    ui->settingsTabs->updateGeometry();

    // On a screen smaller than the pages (a laptop at 150 %) they scroll instead of running off the screen.
    auto* pages = new QScrollArea(this);
    pages->setObjectName(QStringLiteral("pagesArea"));
    pages->setWidgetResizable(true);
    pages->setFrameShape(QFrame::NoFrame);
    delete ui->mainLayout->replaceWidget(ui->pageTabs, pages); // the layout hands back the item it held
    pages->setWidget(ui->pageTabs);
    const QMargins margins = ui->mainLayout->contentsMargins();
    m_designedSize = size().expandedTo(ui->pageTabs->sizeHint().grownBy(margins));
    resize(m_designedSize);

    m_endTimer->setInterval(100);
    connect(m_endTimer, &QTimer::timeout, this, &MainWindow::endWhenRunHasStopped);
    m_dailyTimer->setObjectName(QStringLiteral("dailyTimer"));
    m_dailyTimer->setInterval(1000);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_exitAction->setObjectName(QStringLiteral("exitAction"));

    connect(m_statusPage, &StatusPage::backUpNowClicked, this, &MainWindow::onBackUpNow);
    connect(m_statusPage, &StatusPage::hideWindowClicked, this, &MainWindow::hideWindow);
    connect(m_statusPage, &StatusPage::shutDownNetworkClicked, this, &MainWindow::onShutDownNetwork);
    connect(m_optionsPage, &OptionsPage::saved, this, &MainWindow::applySavedOptions);
    connect(m_dailyTimer, &QTimer::timeout, this, &MainWindow::onDailyTick);
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::onExit);

    // Without a notification area the icon's menu is out of reach; a right click on the window opens it too.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { m_trayMenu->popup(mapToGlobal(position)); });
}

MainWindow::~MainWindow()
{
    // The icon goes with the window.
    m_services.trayIcon.remove();
    if (m_busyPointer)
        QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------------------------
// Initialisation

void MainWindow::load()
{
    loadPages();
    // After the pages: the warning stands above what they say, and the catch-up line above the warning.
    m_watch->startWatching();
    if (m_dailyTimer->isActive())
        m_watch->checkMissedRun();
}

void MainWindow::loadPages()
{
    setWindowTitle(qs(m_context.WindowTitle));
    m_services.trayIcon.add(windowIcon(), qs(m_context.WindowTitle), m_trayMenu,
                            [this](int number) { onTrayIconMessage(number); });
    m_foldersPage->loadFolderList();
    m_mailPage->loadSettings();
    m_offsitePage->loadSettings();
    m_aboutPage->showVersion(m_context.platform.appInfo.version());

    const BackupSettings& settings = m_context.backupSettings;
    if (settings.BackupDir.empty()) {
        showSettingsPage(foldersPage);
        message(notSetUp);
        return;
    }
    ui->pageTabs->setCurrentIndex(0);
    if (!DailySchedule::isValidTime(settings.VrijemeBackupa)) {
        showSettingsPage(optionsPage);
        if (settings.VrijemeBackupa.empty()) {
            message(notSetUp);
        } else {
            // A time the clock never shows would silently keep every timed backup from happening.
            m_optionsPage->showTime(settings.VrijemeBackupa);
            message("Vrijeme izrade rezervne kopije \"" + settings.VrijemeBackupa + "\" nije ispravno." + crlf +
                    pleaseSetUp);
        }
        m_foldersPage->setDestination(settings.BackupDir);
        return;
    }
    showSettingsInControls();
}

void MainWindow::showSettingsInControls()
{
    const BackupSettings& settings = m_context.backupSettings;
    m_foldersPage->setDestination(settings.BackupDir);
    if (const std::optional<OptionsPage::InvalidSetting> invalid = m_optionsPage->showSettings(settings)) {
        // The rest of the initialisation is skipped, so the mode's timer and button are not set up: the user must
        // hear of it, or the backups would silently stop.
        showSettingsPage(optionsPage);
        message("Spremljeno podesavanje " + invalid->key + " = " + std::to_string(invalid->value) + " nije ispravno." +
                crlf + pleaseSetUp);
        return;
    }

    if (settings.NacinBackupa == 0) {
        const auto today = m_context.platform.clock.now().date;
        const std::string root = BackupNames::databaseBackupRoot(settings.BackupDir, today, settings.AppFolderSuffix);
        if (m_context.platform.fileSystem.exists(root)) {
            setStatusLine(databaseDone + formatDateDots(today) + " u " + settings.VrijemeBackupa);
        } else {
            // Today's database backup is missing: catch up now, before the window is first shown.
            runSafely(m_services.databaseRun);
        }
        m_dailyTimer->start();
        refreshNextRunLine();
    }
    if (settings.NacinBackupa == 2)
        m_statusPage->setBackUpNowVisible(true);
}

void MainWindow::showSettingsPage(int page)
{
    ui->pageTabs->setCurrentWidget(ui->settingsTab);
    ui->settingsTabs->setCurrentIndex(page);
}

void MainWindow::applySavedOptions()
{
    const BackupSettings& settings = m_context.backupSettings;
    if (settings.NacinBackupa == 0)
        m_dailyTimer->start();
    else
        m_dailyTimer->stop();
    refreshNextRunLine(); // a new time is due at its next occurrence, today if it is still ahead
    if (settings.NacinBackupa == 1) {
        message(startModeChosen);
        endProgram();
        return;
    }
    if (settings.NacinBackupa == 2)
        m_statusPage->setBackUpNowVisible(true);
    ui->pageTabs->setCurrentIndex(0);
}

// ---------------------------------------------------------------------------------------------------------------
// Notification icon and the window's life

void MainWindow::showWindow()
{
    if (!m_fitted) {
        m_fitted = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            fitInto(screen->availableGeometry());
    }
    show();
}

void MainWindow::removeTrayIcon()
{
    m_services.trayIcon.remove();
}

void MainWindow::fitInto(const QRect& available)
{
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty()) // not shown yet: about what the desktop's title bar and borders take
        frame = QSize(16, 40);
    resize(m_designedSize.boundedTo(available.size() - frame));
    move(available.center() - QRect(QPoint(), size() + frame).center());
}

void MainWindow::onTrayIconMessage(int message)
{
    switch (message) {
    case NotificationIcon::leftButtonUp:
    case NotificationIcon::leftDoubleClick:
        restoreWindow();
        break;
    case NotificationIcon::rightButtonUp:
        // The toolkit opens the icon's menu at the mouse position itself; the window stays as it is.
        break;
    default:
        break;
    }
}

void MainWindow::restoreWindow()
{
    setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::hideWindow()
{
    if (m_services.trayIcon.available())
        hide();
    else
        showMinimized(); // hidden, the window could not be brought back
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hideWindow();
}

void MainWindow::onExit()
{
    const bool running = RunGuard::busy();
    if (!m_context.platform.messages.askYesNo((running ? runInProgressAtExit : "") + std::string(exitQuestion) +
                                              windowTitle().toStdString()))
        return;
    if (running && RunGuard::busy()) {
        // The run is below this handler on the stack: it can only stop once the handler returns.
        RunCancellation::request();
        m_endTimer->start();
        return;
    }
    endProgram();
}

void MainWindow::endWhenRunHasStopped()
{
    if (RunGuard::busy())
        return;
    m_endTimer->stop();
    RunCancellation::clear(); // the run it was for is over
    endProgram();
}

void MainWindow::endProgram()
{
    m_services.trayIcon.remove();
    m_context.platform.terminator.endNow(0);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    clearAlert();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        clearAlert();
}

void MainWindow::clearAlert()
{
    if (isVisible() && !isMinimized())
        m_trayAlert->seen(); // a warning about old backups stays until a whole backup is made
}

// ---------------------------------------------------------------------------------------------------------------
// Triggers and the end of runs

void MainWindow::onBackUpNow()
{
    if (RunGuard::busy()) {
        message(RunTexts::alreadyRunning);
        return;
    }
    startButtonOrTimerRun();
}

void MainWindow::onDailyTick()
{
    m_watch->onTick(m_context.platform.clock.now(), RunGuard::busy());
    m_statusPage->setBackUpNowVisible(false);
    if (!m_latestRunHasProblems) // the list of what the latest run missed stays until a run has nothing to report
        m_statusPage->hideFailures();
    m_statusPage->setLampColour(m_statusPage->lampColour() == LampColour::lightYellow ? LampColour::green
                                                                                      : LampColour::lightYellow);

    const BackupSettings& settings = m_context.backupSettings;
    if (m_schedule.tick(m_context.platform.clock.now(), settings.VrijemeBackupa, RunGuard::busy()) !=
        DailySchedule::TickAction::StartRun) {
        refreshNextRunLine(); // the day turns, a minute passes by while another run holds the slot
        return;
    }
    // Off first: the run lets ticks through while it works.
    m_dailyTimer->stop();
    m_nextRunTimed = true;
    startButtonOrTimerRun();
    if (DailySchedule::rearmAfterRun(m_context.backupSettings))
        m_dailyTimer->start();
    refreshNextRunLine();
}

void MainWindow::startTimedRun()
{
    m_nextRunTimed = true;
    startButtonOrTimerRun();
    refreshNextRunLine();
}

void MainWindow::startButtonOrTimerRun()
{
    runSafely(m_context.backupSettings.ZIPOVANJE == 1 ? m_services.zipRun : m_services.folderRun);
}

void MainWindow::runSafely(const WindowServices::Run& run)
{
    try {
        run(m_context.backupSettings, *this, m_context.platform);
    } catch (const std::exception& error) {
        setBusyPointer(false);
        m_statusLines->endProgress();
        message(std::string("Izrada rezervne kopije je prekinuta: ") + error.what());
    } catch (...) {
        setBusyPointer(false);
        m_statusLines->endProgress();
        message("Izrada rezervne kopije je prekinuta.");
    }
    m_nextRunTimed = false; // a run refused before it started is no timed run either
}

void MainWindow::onNetworkShutdownTimeout()
{
    m_networkShutdown->onTimeout();
}

void MainWindow::onShutDownNetwork()
{
    m_networkShutdown->shutDownNow();
}

// ---------------------------------------------------------------------------------------------------------------
// The window's side of a run

int MainWindow::folderCount() const
{
    return m_foldersPage->folderCount();
}

std::string MainWindow::folderEntry(int index) const
{
    return m_foldersPage->folderEntry(index);
}

std::vector<std::string> MainWindow::refusedFolderEntries() const
{
    return m_foldersPage->refusedEntries();
}

void MainWindow::setBusyPointer(bool busy)
{
    if (busy == m_busyPointer)
        return;
    m_busyPointer = busy;
    if (busy) {
        m_runWroteStatusLine = false;
        m_watch->runStarted(std::exchange(m_nextRunTimed, false));
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        m_statusLines->endProgress(); // the work is over, whether or not the run reports to the window
    }
}

void MainWindow::processEvents()
{
    QCoreApplication::processEvents();
}

void MainWindow::runWork(const std::function<void()>& work)
{
    runOffThread(work);
}

void MainWindow::reportProgress(const RunProgress& progress)
{
    m_statusLines->reportProgress(progress);
}

void MainWindow::refreshNextRunLine()
{
    const BackupSettings& settings = m_context.backupSettings;
    const std::optional<std::chrono::year_month_day> next =
        m_dailyTimer->isActive() ? m_schedule.nextRunDate(m_context.platform.clock.now(), settings.VrijemeBackupa)
                                 : std::nullopt;
    const std::string line = next ? StatusLineText::nextRun(*next, settings.VrijemeBackupa) : std::string();
    if (line != m_statusLines->nextRunLine())
        setNextRunLine(line);
}

void MainWindow::setStatusLine(const std::string& text)
{
    m_runWroteStatusLine = m_runWroteStatusLine || m_busyPointer;
    m_statusLines->setStatusLine(text);
}

void MainWindow::setNextRunLine(const std::string& text)
{
    m_statusLines->setNextRunLine(text);
}

void MainWindow::setLampColour(std::uint32_t bgr)
{
    m_statusPage->setLampColour(bgr);
}

void MainWindow::runFinished(const RunReport& report)
{
    if (report.refused)
        return;
    m_statusLines->endProgress();
    if (!m_runWroteStatusLine) // the database backup words its own result
        setStatusLine(StatusLineText::lastRun(report, m_context.platform.clock.now()));
    refreshNextRunLine();
    m_failureLines = failureLines(report);
    const std::vector<std::string>& lines = m_failureLines;
    m_statusPage->showFailures(lines);
    m_latestRunHasProblems = !lines.empty();
    if (report.hasProblems() && (!isVisible() || isMinimized()))
        m_trayAlert->runProblemsUnseen(report, lines); // nobody is looking: the icon says so until they do
    m_watch->runFinished(report);
}

void MainWindow::showMailFailure(const std::string& line)
{
    m_failureLines.push_back(line);
    m_statusPage->showFailures(m_failureLines);
    m_latestRunHasProblems = true; // in sight until a run has nothing to report
}

void MainWindow::showOffsiteOutcome(const OffsiteOutcome& outcome)
{
    m_statusPage->setOffsiteLine(qs(outcome.summary()));
    if (outcome.whole())
        return;
    m_failureLines.insert(m_failureLines.end(), outcome.problems.begin(), outcome.problems.end());
    m_statusPage->showFailures(m_failureLines);
    m_latestRunHasProblems = true;
    if (!isVisible() || isMinimized())
        m_trayAlert->offsiteProblemsUnseen(outcome.problems);
}

void MainWindow::showBackUpNowButton()
{
    m_statusPage->setBackUpNowVisible(true);
}

void MainWindow::startDailySchedule()
{
    m_dailyTimer->start();
}

void MainWindow::armNetworkShutdown(bool thenThisComputer)
{
    m_networkShutdown->arm(thenThisComputer);
}

void MainWindow::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}

#include "MainWindow.h"

#include "ui_MainWindow.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "AppInfo.h"
#include "BackupNames.h"
#include "Clock.h"
#include "FileSystem.h"
#include "FolderListFile.h"
#include "FolderPicker.h"
#include "IniFile.h"
#include "IniNumber.h"
#include "MessageBoxService.h"
#include "NetworkShutdownGate.h"
#include "NotificationIcon.h"
#include "OffThreadWork.h"
#include "PowerControl.h"
#include "ProcessTerminator.h"
#include "RunCancellation.h"
#include "RunGuard.h"
#include "RunPreconditions.h"
#include "RunProgressText.h"
#include "StatusLineText.h"
#include "WebOpener.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <exception>

namespace {

const char* const crlf = "\r\n";

const char* const notSetUp = "Program nije podesenen.\r\nMolimo da podesite program.";
const char* const pleaseSetUp = "Molimo da podesite program.";
const char* const settingsSaved = "Podesavanje je spremljeno";
const char* const startModeChosen = "Izabrali ste opciju izrade rezervne kopije po pokretanju programa \r\n"
                                    "Pokrenite program ponovo kako bi ste odmah iyradili rezervnu kopiju";
const char* const exitQuestion = "Da li zelite da izadjete iz programa: \r\n\r\n";
const char* const pickerTitle = "Odaberite fasciklu..";
const char* const versionPrefix = "Verzija programa ";
const char* const databaseDone = "Rezervna kopija baza podataka je izradjena ";
const char* const runInProgressAtExit = "Izrada rezervne kopije je u toku. Ako izadjete, bice prekinuta: ono sto je "
                                        "zapoceto se brise, a ranije rezervne kopije ostaju.\r\n\r\n";

/// cyrillicWarningLabel: a warning about names that the archive cannot hold.
const char* const cyrillicWarning =
    "PAŽNJA\r\n"
    "Ukoliko imate naziva datoteka ispisanih ćiriličnim slovima nemojte uključivati ZIP opcije jer takve "
    "datoteke se ne mogu zipovati.\r\n"
    "OVO SE NE ODNOSI NA SADRŽAJ NEGO SAMO NA NAZIV DATOTEKA\r\n"
    "Možete u izvornim fasciklama preimenovati takve datoteke u latinično pisma pa onda uključiti opciju "
    "Kompresovanja";

/// The gap in the caption of deleteOldBackupsCheckbox that holds keepDaysEdit.
const QString keepDaysGap = QString(16, QLatin1Char(' '));

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

/// Why `folder` cannot be saved as the destination ("" when it can): the settings file gives a value back
/// without blanks at its ends and cut to 255 characters, so the next start would back up somewhere else.
std::string destinationProblem(const QString& folder)
{
    const std::string text = folder.toStdString();
    if (IniFile::valueIn(IniFile::withValue("", "BACKUP", "BackupDir", text), "BACKUP", "BackupDir") == text)
        return {};
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    if (blank(folder.front()) || blank(folder.back()))
        return "putanja pocinje ili zavrsava razmakom." + std::string(crlf) + "Uklonite razmake sa pocetka i kraja.";
    if (folder.toUcs4().size() > static_cast<qsizetype>(IniFile::maxValueLength))
        return "putanja je duza od 255 znakova." + std::string(crlf) + "Odaberite fasciklu sa kracom putanjom.";
    return "putanja ne moze biti u navodnicima.";
}

} // namespace

MainWindow::MainWindow(AppContext& context, WindowServices services, QWidget* parent)
    : QWidget(parent), m_context(context), m_services(std::move(services)), ui(std::make_unique<Ui::MainWindow>()),
      dailyTimer(new QTimer(this)), networkShutdownTimer(new QTimer(this)),
      trayMenu(new QMenu(QStringLiteral("File"), this)), exitAction(trayMenu->addAction(QStringLiteral("Izlaz"))),
      removeFolderAction(new QAction(QStringLiteral("Ukloni fasciklu sa popisa"), this)), m_endTimer(new QTimer(this))
{
    ui->setupUi(this);
    setWindowIcon(AppIcon::create());

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

    ui->backupModeGroup->setId(ui->timedModeRadio, 0);
    ui->backupModeGroup->setId(ui->startModeRadio, 1);
    ui->backupModeGroup->setId(ui->manualModeRadio, 2);
    ui->backupScopeGroup->setId(ui->filesOnlyRadio, 0);
    ui->backupScopeGroup->setId(ui->withSubfoldersRadio, 1);

    ui->openDestinationButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    QPalette linkPalette = ui->webLink->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    ui->webLink->setPalette(linkPalette);
    ui->webLink->installEventFilter(this);
    ui->deleteOldBackupsCheckbox->installEventFilter(this);
    ui->folderList->installEventFilter(this);
    // A right click on an entry offers its removal; the icon's menu stays the window's.
    removeFolderAction->setObjectName(QStringLiteral("removeFolderAction"));
    ui->folderList->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->folderList->addAction(removeFolderAction);
    connect(removeFolderAction, &QAction::triggered, this, &MainWindow::removeSelectedFolder);
    m_endTimer->setInterval(100);
    connect(m_endTimer, &QTimer::timeout, this, &MainWindow::endWhenRunHasStopped);

    dailyTimer->setObjectName(QStringLiteral("dailyTimer"));
    dailyTimer->setInterval(1000);
    networkShutdownTimer->setObjectName(QStringLiteral("networkShutdownTimer"));
    networkShutdownTimer->setInterval(60000);
    networkShutdownTimer->setSingleShot(true);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    exitAction->setObjectName(QStringLiteral("exitAction"));

    connect(ui->backUpNowButton, &QPushButton::clicked, this, &MainWindow::onBackUpNow);
    connect(ui->hideWindowButton, &QPushButton::clicked, this, &MainWindow::onHideWindow);
    connect(ui->chooseDestinationButton, &QPushButton::clicked, this, &MainWindow::onChooseDestination);
    connect(ui->saveOptionsButton, &QPushButton::clicked, this, &MainWindow::onSaveOptions);
    connect(ui->saveFoldersButton, &QPushButton::clicked, this, &MainWindow::onSaveFolders);
    connect(ui->addFolderButton, &QPushButton::clicked, this, &MainWindow::onAddFolder);
    connect(ui->clearFolderListButton, &QPushButton::clicked, this, &MainWindow::onClearFolderList);
    connect(ui->openDestinationButton, &QPushButton::clicked, this, &MainWindow::onOpenDestination);
    connect(ui->shutDownNetworkButton, &QPushButton::clicked, this, &MainWindow::onShutDownNetwork);
    connect(dailyTimer, &QTimer::timeout, this, &MainWindow::onDailyTick);
    connect(networkShutdownTimer, &QTimer::timeout, this, &MainWindow::onNetworkShutdownTimeout);
    connect(exitAction, &QAction::triggered, this, &MainWindow::onExit);

    // Without a notification area the icon's menu is out of reach; a right click on the window opens it too.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { trayMenu->popup(mapToGlobal(position)); });

    placeKeepDaysEditInCaptionGap();
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
    ui->cyrillicWarningLabel->setText(QString::fromUtf8(cyrillicWarning));
    setWindowTitle(qs(m_context.WindowTitle));
    addTrayIcon();
    loadFolderList();

    const ProgramVersion version = m_context.platform.appInfo.version();
    ui->versionLabel->setText(QString::fromUtf8(versionPrefix) + QString::number(version.major) + '.' +
                              QString::number(version.minor) + '.' + QString::number(version.revision));

    for (int hour = 0; hour < 24; ++hour)
        ui->backupTimeCombo->addItem(QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    // An editable combo box selects its first item on its own; no hour is chosen until the settings say so.
    ui->backupTimeCombo->setCurrentIndex(-1);

    const BackupSettings& settings = m_context.backupSettings;
    if (settings.BackupDir.empty()) {
        ui->pageTabs->setCurrentIndex(1);
        ui->settingsTabs->setCurrentIndex(0);
        message(notSetUp);
        return;
    }
    ui->pageTabs->setCurrentIndex(0);
    if (!DailySchedule::isValidTime(settings.VrijemeBackupa)) {
        ui->pageTabs->setCurrentIndex(1);
        ui->settingsTabs->setCurrentIndex(1);
        if (settings.VrijemeBackupa.empty()) {
            message(notSetUp);
        } else {
            // A time the clock never shows would silently keep every timed backup from happening.
            ui->backupTimeCombo->setEditText(qs(settings.VrijemeBackupa));
            message("Vrijeme izrade rezervne kopije \"" + settings.VrijemeBackupa + "\" nije ispravno." + crlf +
                    pleaseSetUp);
        }
        ui->destinationEdit->setText(qs(settings.BackupDir));
        return;
    }
    showSettingsInControls();
}

bool MainWindow::showSettingsInControls()
{
    const BackupSettings& settings = m_context.backupSettings;
    ui->destinationEdit->setText(qs(settings.BackupDir));

    QAbstractButton* mode = ui->backupModeGroup->button(settings.NacinBackupa);
    if (!mode) {
        failInitialisation("NacinBackupa", settings.NacinBackupa);
        return false;
    }
    mode->setChecked(true);
    QAbstractButton* scope = ui->backupScopeGroup->button(settings.OpsegBackupa);
    if (!scope) {
        failInitialisation("OpsegBackupa", settings.OpsegBackupa);
        return false;
    }
    scope->setChecked(true);

    const int hour =
        ui->backupTimeCombo->findText(qs(settings.VrijemeBackupa), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (hour >= 0)
        ui->backupTimeCombo->setCurrentIndex(hour);
    else
        ui->backupTimeCombo->setEditText(
            qs(settings.VrijemeBackupa)); // a time typed in by hand: shown, no item selected

    struct Box
    {
        QCheckBox* box;
        const char* key;
        std::int16_t value;
    };
    const Box boxes[] = {{ui->deleteOldBackupsCheckbox, "Brisati", settings.Brisati},
                         {ui->shutDownThisComputerCheckbox, "GasitiRacunar", settings.GasitiRacunar},
                         {ui->compressCheckbox, "ZIPOVANJE", settings.ZIPOVANJE},
                         {ui->shutDownNetworkCheckbox, "GasenjeRacunaraMreze", settings.GasenjeRacunaraMreze}};
    for (const Box& box : boxes) {
        if (box.value != 0 && box.value != 1) {
            failInitialisation(box.key, box.value);
            return false;
        }
        box.box->setChecked(box.value == 1);
    }

    ui->keepDaysEdit->setText(QString::number(settings.Starost));

    if (settings.NacinBackupa == 0) {
        const auto today = m_context.platform.clock.now().date;
        const std::string root = BackupNames::databaseBackupRoot(settings.BackupDir, today, settings.AppFolderSuffix);
        if (m_context.platform.fileSystem.exists(root)) {
            setStatusLine(databaseDone + formatDateDots(today) + " u " + settings.VrijemeBackupa);
        } else {
            // Today's database backup is missing: catch up now, before the window is first shown.
            runSafely(m_services.databaseRun);
        }
        dailyTimer->start();
        refreshNextRunLine();
    }
    if (settings.NacinBackupa == 2)
        ui->backUpNowButton->show();
    return true;
}

void MainWindow::failInitialisation(const std::string& key, int value)
{
    // The rest of the initialisation is skipped, so the mode's timer and button are not set up: the user must
    // hear of it, or the backups would silently stop.
    ui->pageTabs->setCurrentIndex(1);
    ui->settingsTabs->setCurrentIndex(1);
    message("Spremljeno podesavanje " + key + " = " + std::to_string(value) + " nije ispravno." + crlf + pleaseSetUp);
}

void MainWindow::addTrayIcon()
{
    m_services.trayIcon.add(windowIcon(), qs(m_context.WindowTitle), trayMenu,
                            [this](int number) { onTrayIconMessage(number); });
}

void MainWindow::loadFolderList()
{
    const FolderListFile::Loaded loaded = FolderListFile::load(m_context.platform.fileSystem, m_context.programFolder);
    for (const std::string& entry : loaded.entries)
        ui->folderList->addItem(qs(entry));
    m_refusedFolderEntries = loaded.refused;
    if (!loaded.result)
        message("Popis fascikli se ne moze procitati: " + loaded.result.error());
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
        // The toolkit opens trayMenu at the mouse position itself; the window stays as it is.
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

void MainWindow::onHideWindow()
{
    hideWindow();
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
    m_services.trayIcon.remove();
    m_context.platform.terminator.endNow(0);
}

void MainWindow::endWhenRunHasStopped()
{
    if (RunGuard::busy())
        return;
    m_endTimer->stop();
    RunCancellation::clear(); // the run it was for is over
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
    if (!m_alert || !isVisible() || isMinimized())
        return;
    m_alert = false;
    m_services.trayIcon.setLook(windowIcon(), qs(m_context.WindowTitle));
}

void MainWindow::onWebLink()
{
    if (Result opened = m_context.platform.web.openUrl(ui->webLink->text().toStdString()); !opened)
        message("Stranica se ne moze otvoriti: " + opened.error());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->folderList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelectedFolder();
        return true;
    }
    if (watched == ui->webLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onWebLink();
        return true;
    }
    if (watched == ui->deleteOldBackupsCheckbox) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            placeKeepDaysEditInCaptionGap();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::placeKeepDaysEditInCaptionGap()
{
    QCheckBox* box = ui->deleteOldBackupsCheckbox;
    QLineEdit* field = ui->keepDaysEdit;
    const QString caption = box->text();
    const qsizetype gapAt = caption.indexOf(keepDaysGap);
    if (gapAt < 0)
        return;
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = caption;
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QFontMetrics metrics = box->fontMetrics();
    const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
    const int left = contents.left() + metrics.horizontalAdvance(caption.left(gapAt)) + blank;
    const int right = contents.left() + metrics.horizontalAdvance(caption.left(gapAt + keepDaysGap.size())) - blank;
    const int height = field->sizeHint().height();
    box->setMinimumHeight(height);
    field->setGeometry(left, (box->height() - height) / 2, right - left, height);
}

// ---------------------------------------------------------------------------------------------------------------
// Settings pages

std::string MainWindow::BrowseForFolder(const std::string& title)
{
    return m_services.folderPicker.BrowseForFolder(title);
}

void MainWindow::onChooseDestination()
{
    // A cancelled dialog keeps the folder that was there.
    const std::string chosen = BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        ui->destinationEdit->setText(qs(chosen));
}

void MainWindow::onOpenDestination()
{
    const std::string folder = ui->destinationEdit->text().toStdString();
    if (folder.empty()) {
        message("Fascikla za rezervne kopije nije odredjena.");
        return;
    }
    if (Result opened = m_context.platform.web.openFolder(folder); !opened)
        message("Fascikla se ne moze otvoriti: " + opened.error());
}

void MainWindow::onSaveOptions()
{
    if (RunGuard::busy()) {
        // A run reads the settings while it works; they change when it is over.
        message(std::string(RunTexts::alreadyRunning) + crlf + "Podesavanje spremite kada se zavrsi.");
        return;
    }
    const std::string time = ui->backupTimeCombo->currentText().toStdString();
    if (!DailySchedule::isValidTime(time)) {
        message("Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).");
        return;
    }
    const std::string typedDays = ui->keepDaysEdit->text().toStdString();
    const std::string days = leadingNumberText(typedDays);
    const std::optional<std::int16_t> dayCount = parseIniInteger(days);
    if (!dayCount) {
        message("Broj dana \"" + days + "\" nije ispravan.");
        return;
    }
    // Deletion with no whole number of days from 1 up would silently delete nothing, ever.
    if (ui->deleteOldBackupsCheckbox->isChecked() && (*dayCount < 1 || days.find('.') != std::string::npos)) {
        message("Broj dana \"" + typedDays +
                "\" nije ispravan: za brisanje starih rezervnih kopija upisite cijeli "
                "broj dana, 1 ili vise.");
        return;
    }
    auto checked = [](QButtonGroup* group, int designTimeChoice) {
        const int id = group->checkedId();
        return std::to_string(id >= 0 ? id : designTimeChoice);
    };
    auto state = [](QCheckBox* box) { return std::string(box->isChecked() ? "1" : "0"); };
    const std::pair<const char*, std::string> values[] = {
        {"VrijemeBackupa", time},
        {"GasitiRacunar", state(ui->shutDownThisComputerCheckbox)},
        {"ZIPOVANJE", state(ui->compressCheckbox)},
        {"GasenjeRacunaraMreze", state(ui->shutDownNetworkCheckbox)},
        {"NacinBackupa", checked(ui->backupModeGroup, 0)},
        {"OpsegBackupa", checked(ui->backupScopeGroup, 1)},
        {"Brisati", state(ui->deleteOldBackupsCheckbox)},
        {"Starost", days},
    };
    for (const auto& [key, value] : values) {
        if (Result written = m_context.settingsStore.WriteIniValue("BACKUP", key, value); !written) {
            message(std::string("Podesavanje nije spremljeno.") + crlf + written.error());
            return;
        }
    }
    message(settingsSaved);

    BackupSettings& settings = m_context.backupSettings;
    if (Result loaded = m_context.settingsStore.LoadSettings(settings, m_context.programFolder); !loaded)
        message("Podesavanje nije ucitano: " + loaded.error());

    if (settings.NacinBackupa == 0)
        dailyTimer->start();
    else
        dailyTimer->stop();
    refreshNextRunLine(); // a new time is due at its next occurrence, today if it is still ahead
    if (settings.NacinBackupa == 1) {
        message(startModeChosen);
        m_services.trayIcon.remove();
        m_context.platform.terminator.endNow(0);
        return;
    }
    if (settings.NacinBackupa == 2)
        ui->backUpNowButton->show();
    ui->pageTabs->setCurrentIndex(0);
}

void MainWindow::onAddFolder()
{
    const std::string chosen = BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        ui->folderList->addItem(qs(chosen));
}

void MainWindow::onClearFolderList()
{
    if (ui->folderList->count() > 0 &&
        !m_context.platform.messages.askYesNo("Da li zelite da obrisete sve fascikle sa popisa?" + std::string(crlf) +
                                              "Popis se sprema tek sa \"Prihvati\"."))
        return;
    ui->folderList->clear();
}

void MainWindow::removeSelectedFolder()
{
    qDeleteAll(ui->folderList->selectedItems()); // nothing when no entry is selected
}

void MainWindow::onSaveFolders()
{
    std::string problems;
    if (const std::string problem = destinationProblem(ui->destinationEdit->text()); !problem.empty())
        problems += "Fascikla za rezervne kopije nije spremljena: " + problem;
    else if (Result written = m_context.settingsStore.WriteIniValue("BACKUP", "BackupDir",
                                                                    ui->destinationEdit->text().toStdString());
             !written)
        problems += "Fascikla za rezervne kopije nije spremljena: " + written.error();

    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(ui->folderList->count()));
    for (int index = 0; index < ui->folderList->count(); ++index)
        entries.push_back(ui->folderList->item(index)->text().toStdString());
    if (Result saved = FolderListFile::save(m_context.platform.fileSystem, m_context.programFolder, entries); saved) {
        m_refusedFolderEntries.clear(); // no longer in the file
    } else {
        if (!problems.empty())
            problems += crlf;
        problems +=
            "Popis fascikli nije spremljen: " + saved.error() + crlf + "Popis na ekranu je ostao; pokusajte ponovo.";
    }
    // Saved all the same, as the user asked; but told now rather than by a failed backup tonight.
    const std::string folder = ui->destinationEdit->text().toStdString();
    std::optional<std::string> destination;
    runWork([&] { destination = destinationProblem(m_context.platform.fileSystem, folder); });
    if (destination)
        problems += (problems.empty() ? "" : std::string(crlf) + crlf) + *destination + crlf +
                    "Rezervne kopije se nece moci izraditi dok se to ne ispravi.";
    if (!problems.empty())
        message(problems);
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
    ui->backUpNowButton->hide();
    if (!m_latestRunHasProblems) {
        // The list of what the latest run missed stays until a run has nothing to report.
        ui->failedFoldersLabel->hide();
        ui->failedFoldersList->hide();
    }
    ui->lamp->setFillColour(ui->lamp->fillColour() == LampColour::lightYellow ? LampColour::green
                                                                              : LampColour::lightYellow);

    const BackupSettings& settings = m_context.backupSettings;
    if (m_schedule.tick(m_context.platform.clock.now(), settings.VrijemeBackupa, RunGuard::busy()) !=
        DailySchedule::TickAction::StartRun) {
        refreshNextRunLine(); // the day turns, a minute passes by while another run holds the slot
        return;
    }
    // Off first: the run lets ticks through while it works.
    dailyTimer->stop();
    startButtonOrTimerRun();
    if (DailySchedule::rearmAfterRun(m_context.backupSettings))
        dailyTimer->start();
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
        endProgressDisplay();
        message(std::string("Izrada rezervne kopije je prekinuta: ") + error.what());
    } catch (...) {
        setBusyPointer(false);
        endProgressDisplay();
        message("Izrada rezervne kopije je prekinuta.");
    }
}

void MainWindow::onNetworkShutdownTimeout()
{
    networkShutdownTimer->stop();
    // Waits for a shutdown started by shutDownNetworkButton, so that this computer's shutdown below comes after it.
    shutDownNetwork(NetworkShutdownGate::WhenBusy::Wait);
    if (m_shutDownAfterNetwork) {
        m_shutDownAfterNetwork = false;
        if (Result started = m_context.platform.power.shutDownThisComputer(); !started)
            message("Racunar nije ugasen: " + started.error());
    }
}

void MainWindow::onShutDownNetwork()
{
    shutDownNetwork(NetworkShutdownGate::WhenBusy::Skip);
}

void MainWindow::shutDownNetwork(NetworkShutdownGate::WhenBusy whenBusy)
{
    std::vector<std::string> entries;
    for (int index = 0; index < ui->folderList->count(); ++index)
        entries.push_back(ui->folderList->item(index)->text().toStdString());
    m_networkShutdown.run(entries, m_context.platform, whenBusy);
}

// ---------------------------------------------------------------------------------------------------------------
// The window's side of a run

int MainWindow::folderCount() const
{
    return ui->folderList->count();
}

std::string MainWindow::folderEntry(int index) const
{
    const QListWidgetItem* item = ui->folderList->item(index);
    return item ? item->text().toStdString() : std::string();
}

void MainWindow::setBusyPointer(bool busy)
{
    if (busy == m_busyPointer)
        return;
    m_busyPointer = busy;
    if (busy) {
        m_runWroteStatusLine = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        endProgressDisplay(); // the work is over, whether or not the run reports to the window
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
    {
        std::lock_guard lock(m_progressMutex);
        m_pendingProgress = progress;
    }
    // One update on its way at a time: a run of many small files must not flood the window with events.
    if (!m_progressPosted.exchange(true))
        QMetaObject::invokeMethod(this, &MainWindow::showPendingProgress, Qt::QueuedConnection);
}

void MainWindow::showPendingProgress()
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
    ui->statusLine->setText(qs(RunProgressText::sourceLine(progress)));
    const QString counts = qs(RunProgressText::countsLine(progress));
    QString line = counts;
    if (!progress.currentFile.empty()) {
        const QFontMetrics metrics = ui->nextRunLine->fontMetrics();
        const QString separator = QStringLiteral(" - ");
        const int room = ui->nextRunLine->width() - metrics.horizontalAdvance(counts + separator);
        line += separator + metrics.elidedText(qs(progress.currentFile), Qt::ElideMiddle, std::max(room, 0));
    }
    ui->nextRunLine->setText(line);
}

void MainWindow::endProgressDisplay()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    refreshStatusLines();
}

void MainWindow::refreshNextRunLine()
{
    const BackupSettings& settings = m_context.backupSettings;
    const std::optional<std::chrono::year_month_day> next =
        dailyTimer->isActive() ? m_schedule.nextRunDate(m_context.platform.clock.now(), settings.VrijemeBackupa)
                               : std::nullopt;
    const std::string line = next ? StatusLineText::nextRun(*next, settings.VrijemeBackupa) : std::string();
    if (line != m_nextRunLine)
        setNextRunLine(line);
}

void MainWindow::refreshStatusLines()
{
    ui->statusLine->setText(qs(m_statusLine));
    ui->nextRunLine->setText(qs(m_nextRunLine));
}

void MainWindow::setStatusLine(const std::string& text)
{
    m_runWroteStatusLine = m_runWroteStatusLine || m_busyPointer;
    m_statusLine = text;
    if (!m_progressShown)
        ui->statusLine->setText(qs(text));
}

void MainWindow::setNextRunLine(const std::string& text)
{
    m_nextRunLine = text;
    if (!m_progressShown)
        ui->nextRunLine->setText(qs(text));
}

void MainWindow::setLampColour(std::uint32_t bgr)
{
    ui->lamp->setFillColour(bgr);
}

void MainWindow::runFinished(const RunReport& report)
{
    if (report.refused)
        return;
    endProgressDisplay();
    if (!m_runWroteStatusLine) // the database backup words its own result
        setStatusLine(StatusLineText::lastRun(report, m_context.platform.clock.now()));
    refreshNextRunLine();
    const std::vector<std::string> lines = failureLines(report);
    ui->failedFoldersList->clear();
    for (const std::string& line : lines)
        ui->failedFoldersList->addItem(qs(line));
    m_latestRunHasProblems = !lines.empty();
    ui->failedFoldersLabel->setVisible(m_latestRunHasProblems);
    ui->failedFoldersList->setVisible(m_latestRunHasProblems);
    if (report.hasProblems() && (!isVisible() || isMinimized())) {
        // Nobody is looking: the icon keeps saying so after the message is gone, until the window is opened.
        QString text = qs(report.runFailure);
        if (!lines.empty())
            text += (text.isEmpty() ? "" : "\n") + QString::fromUtf8(RunTexts::notBackedUpHeading);
        for (const std::string& line : lines)
            text += '\n' + qs(line);
        m_services.trayIcon.showMessage(qs(m_context.WindowTitle), text);
        m_alert = true;
        m_services.trayIcon.setLook(AppIcon::create(true), qs(m_context.WindowTitle + "\n" + m_statusLine));
    }
}

void MainWindow::showBackUpNowButton()
{
    ui->backUpNowButton->show();
}

void MainWindow::startDailySchedule()
{
    dailyTimer->start();
}

void MainWindow::armNetworkShutdown(bool thenThisComputer)
{
    m_shutDownAfterNetwork = thenThisComputer;
    networkShutdownTimer->start();
}

void MainWindow::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}

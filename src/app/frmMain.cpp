#include "frmMain.h"

#include "ui_frmMain.h"

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

/// Label26: what the archives keep of the names. They store every name in UTF-8 and say so in the archive, so names
/// written in Cyrillic come back as they were; only an unpacker that ignores that mark shows them wrongly.
const char* const archiveNamesNote =
    "NAPOMENA\r\n"
    "ZIP arhive čuvaju nazive datoteka i fascikli onakve kakvi jesu, i one ispisane ćiriličnim slovima (UTF-8). "
    "Stari programi za raspakivanje koji ne poznaju UTF-8 nazive mogu ih prikazati pogrešno; sadržaj datoteka "
    "je uvijek isti.";

/// The gap in the caption of Check1 that holds Text2.
const QString check1Gap = QString(16, QLatin1Char(' '));

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

frmMain::frmMain(AppContext& context, WindowServices services, QWidget* parent)
    : QWidget(parent), m_context(context), m_services(std::move(services)), ui(std::make_unique<Ui::frmMain>()),
      Timer1(new QTimer(this)), Timer2(new QTimer(this)), mnuGlavni(new QMenu(QStringLiteral("File"), this)),
      mnuIzlaz(mnuGlavni->addAction(QStringLiteral("Izlaz"))),
      mnuUkloni(new QAction(QStringLiteral("Ukloni fasciklu sa popisa"), this)), m_endTimer(new QTimer(this))
{
    ui->setupUi(this);
    setWindowIcon(AppIcon::create());

    // On a screen smaller than the pages (a laptop at 150 %) they scroll instead of running off the screen.
    auto* pages = new QScrollArea(this);
    pages->setObjectName(QStringLiteral("pagesArea"));
    pages->setWidgetResizable(true);
    pages->setFrameShape(QFrame::NoFrame);
    delete ui->frmMainLayout->replaceWidget(ui->SSTab1, pages); // the layout hands back the item it held
    pages->setWidget(ui->SSTab1);
    const QMargins margins = ui->frmMainLayout->contentsMargins();
    m_designedSize = size().expandedTo(ui->SSTab1->sizeHint().grownBy(margins));
    resize(m_designedSize);

    ui->Option1->setId(ui->Option1_0, 0);
    ui->Option1->setId(ui->Option1_1, 1);
    ui->Option1->setId(ui->Option1_2, 2);
    ui->Option2->setId(ui->Option2_0, 0);
    ui->Option2->setId(ui->Option2_1, 1);

    ui->Command9->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    QPalette linkPalette = ui->Label24->palette();
    linkPalette.setColor(QPalette::WindowText, linkPalette.color(QPalette::Link));
    ui->Label24->setPalette(linkPalette);
    ui->Label24->installEventFilter(this);
    ui->Check1->installEventFilter(this);
    ui->List2->installEventFilter(this);
    // A right click on an entry offers its removal; the icon's menu stays the window's.
    mnuUkloni->setObjectName(QStringLiteral("mnuUkloni"));
    ui->List2->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->List2->addAction(mnuUkloni);
    connect(mnuUkloni, &QAction::triggered, this, &frmMain::removeSelectedFolder);
    m_endTimer->setInterval(100);
    connect(m_endTimer, &QTimer::timeout, this, &frmMain::endWhenRunHasStopped);

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(60000);
    Timer2->setSingleShot(true);
    mnuGlavni->setObjectName(QStringLiteral("mnuGlavni"));
    mnuIzlaz->setObjectName(QStringLiteral("mnuIzlaz"));

    connect(ui->Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &frmMain::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &frmMain::Command3_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &frmMain::Command5_Click);
    connect(ui->Command6, &QPushButton::clicked, this, &frmMain::Command6_Click);
    connect(ui->Command7, &QPushButton::clicked, this, &frmMain::Command7_Click);
    connect(ui->Command8, &QPushButton::clicked, this, &frmMain::Command8_Click);
    connect(ui->Command9, &QPushButton::clicked, this, &frmMain::Command9_Click);
    connect(ui->Command10, &QPushButton::clicked, this, &frmMain::Command10_Click);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &frmMain::Timer2_Timer);
    connect(mnuIzlaz, &QAction::triggered, this, &frmMain::mnuIzlaz_Click);

    // Without a notification area the icon's menu is out of reach; a right click on the window opens it too.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { mnuGlavni->popup(mapToGlobal(position)); });

    placeText2InCheck1Gap();
}

frmMain::~frmMain()
{
    // Form_Terminate: the icon goes with the window.
    m_services.trayIcon.remove();
    if (m_busyPointer)
        QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------------------------
// Initialisation

void frmMain::load()
{
    ui->Label26->setText(QString::fromUtf8(archiveNamesNote));
    setWindowTitle(qs(m_context.WindowTitle));
    addTrayIcon();
    LoadFolderList();

    const ProgramVersion version = m_context.platform.appInfo.version();
    ui->Label6->setText(QString::fromUtf8(versionPrefix) + QString::number(version.major) + '.' +
                        QString::number(version.minor) + '.' + QString::number(version.revision));

    for (int hour = 0; hour < 24; ++hour)
        ui->Combo1->addItem(QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    // An editable combo box selects its first item on its own; no hour is chosen until the settings say so.
    ui->Combo1->setCurrentIndex(-1);

    const BackupSettings& settings = m_context.backupSettings;
    if (settings.BackupDir.empty()) {
        ui->SSTab1->setCurrentIndex(1);
        ui->SSTab2->setCurrentIndex(0);
        message(notSetUp);
        return;
    }
    ui->SSTab1->setCurrentIndex(0);
    if (!DailySchedule::isValidTime(settings.VrijemeBackupa)) {
        ui->SSTab1->setCurrentIndex(1);
        ui->SSTab2->setCurrentIndex(1);
        if (settings.VrijemeBackupa.empty()) {
            message(notSetUp);
        } else {
            // A time the clock never shows would silently keep every timed backup from happening.
            ui->Combo1->setEditText(qs(settings.VrijemeBackupa));
            message("Vrijeme izrade rezervne kopije \"" + settings.VrijemeBackupa + "\" nije ispravno." + crlf +
                    pleaseSetUp);
        }
        ui->Text1->setText(qs(settings.BackupDir));
        return;
    }
    showSettingsInControls();
}

bool frmMain::showSettingsInControls()
{
    const BackupSettings& settings = m_context.backupSettings;
    ui->Text1->setText(qs(settings.BackupDir));

    QAbstractButton* mode = ui->Option1->button(settings.NacinBackupa);
    if (!mode) {
        failInitialisation("NacinBackupa", settings.NacinBackupa);
        return false;
    }
    mode->setChecked(true);
    QAbstractButton* scope = ui->Option2->button(settings.OpsegBackupa);
    if (!scope) {
        failInitialisation("OpsegBackupa", settings.OpsegBackupa);
        return false;
    }
    scope->setChecked(true);

    const int hour = ui->Combo1->findText(qs(settings.VrijemeBackupa), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (hour >= 0)
        ui->Combo1->setCurrentIndex(hour);
    else
        ui->Combo1->setEditText(qs(settings.VrijemeBackupa)); // a time typed in by hand: shown, no item selected

    struct Box
    {
        QCheckBox* box;
        const char* key;
        std::int16_t value;
    };
    const Box boxes[] = {{ui->Check1, "Brisati", settings.Brisati},
                         {ui->Check2, "GasitiRacunar", settings.GasitiRacunar},
                         {ui->Check3, "ZIPOVANJE", settings.ZIPOVANJE},
                         {ui->Check4, "GasenjeRacunaraMreze", settings.GasenjeRacunaraMreze}};
    for (const Box& box : boxes) {
        if (box.value != 0 && box.value != 1) {
            failInitialisation(box.key, box.value);
            return false;
        }
        box.box->setChecked(box.value == 1);
    }

    ui->Text2->setText(QString::number(settings.Starost));

    if (settings.NacinBackupa == 0) {
        const auto today = m_context.platform.clock.now().date;
        const std::string root = BackupNames::databaseBackupRoot(settings.BackupDir, today, settings.AppFolderSuffix);
        if (m_context.platform.fileSystem.exists(root)) {
            setStatusLine1(databaseDone + formatDateDots(today) + " u " + settings.VrijemeBackupa);
        } else {
            // Today's database backup is missing: catch up now, before the window is first shown.
            runSafely(m_services.databaseRun);
        }
        Timer1->start();
        refreshNextRunLine();
    }
    if (settings.NacinBackupa == 2)
        ui->Command1->show();
    return true;
}

void frmMain::failInitialisation(const std::string& key, int value)
{
    // The rest of the initialisation is skipped, so the mode's timer and button are not set up: the user must
    // hear of it, or the backups would silently stop.
    ui->SSTab1->setCurrentIndex(1);
    ui->SSTab2->setCurrentIndex(1);
    message("Spremljeno podesavanje " + key + " = " + std::to_string(value) + " nije ispravno." + crlf + pleaseSetUp);
}

void frmMain::addTrayIcon()
{
    m_services.trayIcon.add(windowIcon(), qs(m_context.WindowTitle), mnuGlavni,
                            [this](int number) { Form_MouseMove(number); });
}

void frmMain::LoadFolderList()
{
    const FolderListFile::Loaded loaded = FolderListFile::load(m_context.platform.fileSystem, m_context.programFolder);
    for (const std::string& entry : loaded.entries)
        ui->List2->addItem(qs(entry));
    m_refusedFolderEntries = loaded.refused;
    if (!loaded.result)
        message("Popis fascikli se ne moze procitati: " + loaded.result.error());
}

// ---------------------------------------------------------------------------------------------------------------
// Notification icon and the window's life

void frmMain::showWindow()
{
    if (!m_fitted) {
        m_fitted = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            fitInto(screen->availableGeometry());
    }
    show();
}

void frmMain::removeTrayIcon()
{
    m_services.trayIcon.remove();
}

void frmMain::fitInto(const QRect& available)
{
    QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isEmpty()) // not shown yet: about what the desktop's title bar and borders take
        frame = QSize(16, 40);
    resize(m_designedSize.boundedTo(available.size() - frame));
    move(available.center() - QRect(QPoint(), size() + frame).center());
}

void frmMain::Form_MouseMove(int message)
{
    switch (message) {
    case NotificationIcon::leftButtonUp:
    case NotificationIcon::leftDoubleClick:
        restoreWindow();
        break;
    case NotificationIcon::rightButtonUp:
        // The toolkit opens mnuGlavni at the mouse position itself; the window stays as it is.
        break;
    default:
        break;
    }
}

void frmMain::restoreWindow()
{
    setWindowState((windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void frmMain::hideWindow()
{
    if (m_services.trayIcon.available())
        hide();
    else
        showMinimized(); // hidden, the window could not be brought back
}

void frmMain::Command2_Click()
{
    hideWindow();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hideWindow();
}

void frmMain::mnuIzlaz_Click()
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

void frmMain::endWhenRunHasStopped()
{
    if (RunGuard::busy())
        return;
    m_endTimer->stop();
    RunCancellation::clear(); // the run it was for is over
    m_services.trayIcon.remove();
    m_context.platform.terminator.endNow(0);
}

void frmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    clearAlert();
}

void frmMain::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        clearAlert();
}

void frmMain::clearAlert()
{
    if (!m_alert || !isVisible() || isMinimized())
        return;
    m_alert = false;
    m_services.trayIcon.setLook(windowIcon(), qs(m_context.WindowTitle));
}

void frmMain::Label24_Click()
{
    if (Result opened = m_context.platform.web.openUrl(ui->Label24->text().toStdString()); !opened)
        message("Stranica se ne moze otvoriti: " + opened.error());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->List2 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelectedFolder();
        return true;
    }
    if (watched == ui->Label24 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label24_Click();
        return true;
    }
    if (watched == ui->Check1) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::FontChange:
        case QEvent::StyleChange:
            placeText2InCheck1Gap();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::placeText2InCheck1Gap()
{
    QCheckBox* box = ui->Check1;
    QLineEdit* field = ui->Text2;
    const QString caption = box->text();
    const qsizetype gapAt = caption.indexOf(check1Gap);
    if (gapAt < 0)
        return;
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = caption;
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const QFontMetrics metrics = box->fontMetrics();
    const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
    const int left = contents.left() + metrics.horizontalAdvance(caption.left(gapAt)) + blank;
    const int right = contents.left() + metrics.horizontalAdvance(caption.left(gapAt + check1Gap.size())) - blank;
    const int height = field->sizeHint().height();
    box->setMinimumHeight(height);
    field->setGeometry(left, (box->height() - height) / 2, right - left, height);
}

// ---------------------------------------------------------------------------------------------------------------
// Settings pages

std::string frmMain::BrowseForFolder(const std::string& title)
{
    return m_services.folderPicker.BrowseForFolder(title);
}

void frmMain::Command3_Click()
{
    // A cancelled dialog keeps the folder that was there.
    const std::string chosen = BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        ui->Text1->setText(qs(chosen));
}

void frmMain::Command9_Click()
{
    const std::string folder = ui->Text1->text().toStdString();
    if (folder.empty()) {
        message("Fascikla za rezervne kopije nije odredjena.");
        return;
    }
    if (Result opened = m_context.platform.web.openFolder(folder); !opened)
        message("Fascikla se ne moze otvoriti: " + opened.error());
}

void frmMain::Command5_Click()
{
    if (RunGuard::busy()) {
        // A run reads the settings while it works; they change when it is over.
        message(std::string(RunTexts::alreadyRunning) + crlf + "Podesavanje spremite kada se zavrsi.");
        return;
    }
    const std::string time = ui->Combo1->currentText().toStdString();
    if (!DailySchedule::isValidTime(time)) {
        message("Odaberite vrijeme izrade rezervne kopije (na primjer 08:00).");
        return;
    }
    const std::string typedDays = ui->Text2->text().toStdString();
    const std::string days = leadingNumberText(typedDays);
    const std::optional<std::int16_t> dayCount = parseIniInteger(days);
    if (!dayCount) {
        message("Broj dana \"" + days + "\" nije ispravan.");
        return;
    }
    // Deletion with no whole number of days from 1 up would silently delete nothing, ever.
    if (ui->Check1->isChecked() && (*dayCount < 1 || days.find('.') != std::string::npos)) {
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
        {"GasitiRacunar", state(ui->Check2)},
        {"ZIPOVANJE", state(ui->Check3)},
        {"GasenjeRacunaraMreze", state(ui->Check4)},
        {"NacinBackupa", checked(ui->Option1, 0)},
        {"OpsegBackupa", checked(ui->Option2, 1)},
        {"Brisati", state(ui->Check1)},
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
        Timer1->start();
    else
        Timer1->stop();
    refreshNextRunLine(); // a new time is due at its next occurrence, today if it is still ahead
    if (settings.NacinBackupa == 1) {
        message(startModeChosen);
        m_services.trayIcon.remove();
        m_context.platform.terminator.endNow(0);
        return;
    }
    if (settings.NacinBackupa == 2)
        ui->Command1->show();
    ui->SSTab1->setCurrentIndex(0);
}

void frmMain::Command7_Click()
{
    const std::string chosen = BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        ui->List2->addItem(qs(chosen));
}

void frmMain::Command8_Click()
{
    if (ui->List2->count() > 0 &&
        !m_context.platform.messages.askYesNo("Da li zelite da obrisete sve fascikle sa popisa?" + std::string(crlf) +
                                              "Popis se sprema tek sa \"Prihvati\"."))
        return;
    ui->List2->clear();
}

void frmMain::removeSelectedFolder()
{
    qDeleteAll(ui->List2->selectedItems()); // nothing when no entry is selected
}

void frmMain::Command6_Click()
{
    std::string problems;
    if (const std::string problem = destinationProblem(ui->Text1->text()); !problem.empty())
        problems += "Fascikla za rezervne kopije nije spremljena: " + problem;
    else if (Result written =
                 m_context.settingsStore.WriteIniValue("BACKUP", "BackupDir", ui->Text1->text().toStdString());
             !written)
        problems += "Fascikla za rezervne kopije nije spremljena: " + written.error();
    else // the next run goes there; one in progress keeps its own copy of the settings
        m_context.backupSettings.BackupDir = ui->Text1->text().toStdString();

    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(ui->List2->count()));
    for (int index = 0; index < ui->List2->count(); ++index)
        entries.push_back(ui->List2->item(index)->text().toStdString());
    if (Result saved = FolderListFile::save(m_context.platform.fileSystem, m_context.programFolder, entries); saved) {
        m_refusedFolderEntries.clear(); // no longer in the file
    } else {
        if (!problems.empty())
            problems += crlf;
        problems +=
            "Popis fascikli nije spremljen: " + saved.error() + crlf + "Popis na ekranu je ostao; pokusajte ponovo.";
    }
    // Saved all the same, as the user asked; but told now rather than by a failed backup tonight.
    const std::string folder = ui->Text1->text().toStdString();
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

void frmMain::Command1_Click()
{
    if (RunGuard::busy()) {
        message(RunTexts::alreadyRunning);
        return;
    }
    startButtonOrTimerRun();
}

void frmMain::Timer1_Timer()
{
    ui->Command1->hide();
    if (!m_latestRunHasProblems) {
        // The list of what the latest run missed stays until a run has nothing to report.
        ui->Label3->hide();
        ui->List1->hide();
    }
    ui->Shape1->setFillColour(ui->Shape1->fillColour() == LampColour::lightYellow ? LampColour::green
                                                                                  : LampColour::lightYellow);

    const BackupSettings& settings = m_context.backupSettings;
    if (m_schedule.tick(m_context.platform.clock.now(), settings.VrijemeBackupa, RunGuard::busy()) !=
        DailySchedule::TickAction::StartRun) {
        refreshNextRunLine(); // the day turns, a minute passes by while another run holds the slot
        return;
    }
    // Off first: the run lets ticks through while it works.
    Timer1->stop();
    startButtonOrTimerRun();
    if (DailySchedule::rearmAfterRun(m_context.backupSettings))
        Timer1->start();
    refreshNextRunLine();
}

void frmMain::startButtonOrTimerRun()
{
    runSafely(m_context.backupSettings.ZIPOVANJE == 1 ? m_services.zipRun : m_services.folderRun);
}

void frmMain::runSafely(const WindowServices::Run& run)
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

void frmMain::Timer2_Timer()
{
    Timer2->stop();
    // Waits for a shutdown started by Command10, so that this computer's shutdown below comes after it.
    shutDownNetwork(NetworkShutdownGate::WhenBusy::Wait);
    if (m_shutDownAfterNetwork) {
        m_shutDownAfterNetwork = false;
        if (Result started = m_context.platform.power.shutDownThisComputer(); !started)
            message("Racunar nije ugasen: " + started.error());
    }
}

void frmMain::Command10_Click()
{
    shutDownNetwork(NetworkShutdownGate::WhenBusy::Skip);
}

void frmMain::shutDownNetwork(NetworkShutdownGate::WhenBusy whenBusy)
{
    std::vector<std::string> entries;
    for (int index = 0; index < ui->List2->count(); ++index)
        entries.push_back(ui->List2->item(index)->text().toStdString());
    m_networkShutdown.run(entries, m_context.platform, whenBusy);
}

// ---------------------------------------------------------------------------------------------------------------
// The window's side of a run

int frmMain::folderCount() const
{
    return ui->List2->count();
}

std::string frmMain::folderEntry(int index) const
{
    const QListWidgetItem* item = ui->List2->item(index);
    return item ? item->text().toStdString() : std::string();
}

void frmMain::setBusyPointer(bool busy)
{
    if (busy == m_busyPointer)
        return;
    m_busyPointer = busy;
    if (busy) {
        m_runWroteLine1 = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        endProgressDisplay(); // the work is over, whether or not the run reports to the window
    }
}

void frmMain::processEvents()
{
    QCoreApplication::processEvents();
}

void frmMain::runWork(const std::function<void()>& work)
{
    runOffThread(work);
}

void frmMain::reportProgress(const RunProgress& progress)
{
    {
        std::lock_guard lock(m_progressMutex);
        m_pendingProgress = progress;
    }
    // One update on its way at a time: a run of many small files must not flood the window with events.
    if (!m_progressPosted.exchange(true))
        QMetaObject::invokeMethod(this, &frmMain::showPendingProgress, Qt::QueuedConnection);
}

void frmMain::showPendingProgress()
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
    ui->Label1->setText(qs(RunProgressText::sourceLine(progress)));
    const QString counts = qs(RunProgressText::countsLine(progress));
    QString line = counts;
    if (!progress.currentFile.empty()) {
        const QFontMetrics metrics = ui->Label2->fontMetrics();
        const QString separator = QStringLiteral(" - ");
        const int room = ui->Label2->width() - metrics.horizontalAdvance(counts + separator);
        line += separator + metrics.elidedText(qs(progress.currentFile), Qt::ElideMiddle, std::max(room, 0));
    }
    ui->Label2->setText(line);
}

void frmMain::endProgressDisplay()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    refreshStatusLines();
}

void frmMain::refreshNextRunLine()
{
    const BackupSettings& settings = m_context.backupSettings;
    const std::optional<std::chrono::year_month_day> next =
        Timer1->isActive() ? m_schedule.nextRunDate(m_context.platform.clock.now(), settings.VrijemeBackupa)
                           : std::nullopt;
    const std::string line = next ? StatusLineText::nextRun(*next, settings.VrijemeBackupa) : std::string();
    if (line != m_statusLine2)
        setStatusLine2(line);
}

void frmMain::refreshStatusLines()
{
    ui->Label1->setText(qs(m_statusLine1));
    ui->Label2->setText(qs(m_statusLine2));
}

void frmMain::setStatusLine1(const std::string& text)
{
    m_runWroteLine1 = m_runWroteLine1 || m_busyPointer;
    m_statusLine1 = text;
    if (!m_progressShown)
        ui->Label1->setText(qs(text));
}

void frmMain::setStatusLine2(const std::string& text)
{
    m_statusLine2 = text;
    if (!m_progressShown)
        ui->Label2->setText(qs(text));
}

void frmMain::setLampColour(std::uint32_t bgr)
{
    ui->Shape1->setFillColour(bgr);
}

void frmMain::runFinished(const RunReport& report)
{
    if (report.refused)
        return;
    endProgressDisplay();
    if (!m_runWroteLine1) // the database backup words its own result
        setStatusLine1(StatusLineText::lastRun(report, m_context.platform.clock.now()));
    refreshNextRunLine();
    const std::vector<std::string> lines = failureLines(report);
    ui->List1->clear();
    for (const std::string& line : lines)
        ui->List1->addItem(qs(line));
    m_latestRunHasProblems = !lines.empty();
    ui->Label3->setVisible(m_latestRunHasProblems);
    ui->List1->setVisible(m_latestRunHasProblems);
    if (report.hasProblems() && (!isVisible() || isMinimized())) {
        // Nobody is looking: the icon keeps saying so after the message is gone, until the window is opened.
        QString text = qs(report.runFailure);
        if (!lines.empty())
            text += (text.isEmpty() ? "" : "\n") + QString::fromUtf8(RunTexts::notBackedUpHeading);
        for (const std::string& line : lines)
            text += '\n' + qs(line);
        m_services.trayIcon.showMessage(qs(m_context.WindowTitle), text);
        m_alert = true;
        m_services.trayIcon.setLook(AppIcon::create(true), qs(m_context.WindowTitle + "\n" + m_statusLine1));
    }
}

void frmMain::showManualBackupButton()
{
    ui->Command1->show();
}

void frmMain::enableTimer1()
{
    Timer1->start();
}

void frmMain::switchOnTimer2(bool thenShutDownThisComputer)
{
    m_shutDownAfterNetwork = thenShutDownThisComputer;
    Timer2->start();
}

void frmMain::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}

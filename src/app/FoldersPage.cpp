#include "FoldersPage.h"

#include "ui_FoldersPage.h"

#include "AppContext.h"
#include "FolderListFile.h"
#include "FolderPicker.h"
#include "IniFile.h"
#include "MessageBoxService.h"
#include "OffThreadWork.h"
#include "RunPreconditions.h"
#include "WebOpener.h"

#include <QAction>
#include <QKeyEvent>
#include <QStyle>

#include <optional>

namespace {

const char* const crlf = "\r\n";
const char* const pickerTitle = "Odaberite fasciklu..";

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

FoldersPage::FoldersPage(AppContext& context, FolderPicker& folderPicker, QWidget* parent)
    : QWidget(parent), m_context(context), m_folderPicker(folderPicker), ui(std::make_unique<Ui::FoldersPage>()),
      m_removeFolderAction(new QAction(QStringLiteral("Ukloni fasciklu sa popisa"), this))
{
    ui->setupUi(this);
    ui->openDestinationButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    ui->folderList->installEventFilter(this);
    // A right click on an entry offers its removal; the icon's menu stays the window's.
    m_removeFolderAction->setObjectName(QStringLiteral("removeFolderAction"));
    ui->folderList->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->folderList->addAction(m_removeFolderAction);
    connect(m_removeFolderAction, &QAction::triggered, this, &FoldersPage::removeSelectedFolder);

    connect(ui->chooseDestinationButton, &QPushButton::clicked, this, &FoldersPage::onChooseDestination);
    connect(ui->openDestinationButton, &QPushButton::clicked, this, &FoldersPage::onOpenDestination);
    connect(ui->addFolderButton, &QPushButton::clicked, this, &FoldersPage::onAddFolder);
    connect(ui->clearFolderListButton, &QPushButton::clicked, this, &FoldersPage::onClearFolderList);
    connect(ui->saveFoldersButton, &QPushButton::clicked, this, &FoldersPage::onSaveFolders);
}

FoldersPage::~FoldersPage() = default;

void FoldersPage::loadFolderList()
{
    const FolderListFile::Loaded loaded = FolderListFile::load(m_context.platform.fileSystem, m_context.programFolder);
    for (const std::string& entry : loaded.entries)
        ui->folderList->addItem(QString::fromStdString(entry));
    m_refusedEntries = loaded.refused;
    if (!loaded.result)
        message("Popis fascikli se ne moze procitati: " + loaded.result.error());
}

void FoldersPage::setDestination(const std::string& folder)
{
    ui->destinationEdit->setText(QString::fromStdString(folder));
}

int FoldersPage::folderCount() const
{
    return ui->folderList->count();
}

std::string FoldersPage::folderEntry(int index) const
{
    const QListWidgetItem* item = ui->folderList->item(index);
    return item ? item->text().toStdString() : std::string();
}

std::vector<std::string> FoldersPage::folderEntries() const
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(folderCount()));
    for (int index = 0; index < folderCount(); ++index)
        entries.push_back(folderEntry(index));
    return entries;
}

void FoldersPage::onChooseDestination()
{
    const std::string chosen = m_folderPicker.BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        setDestination(chosen);
}

void FoldersPage::onOpenDestination()
{
    const std::string folder = ui->destinationEdit->text().toStdString();
    if (folder.empty()) {
        message("Fascikla za rezervne kopije nije odredjena.");
        return;
    }
    if (Result opened = m_context.platform.web.openFolder(folder); !opened)
        message("Fascikla se ne moze otvoriti: " + opened.error());
}

void FoldersPage::onAddFolder()
{
    const std::string chosen = m_folderPicker.BrowseForFolder(pickerTitle);
    if (!chosen.empty())
        ui->folderList->addItem(QString::fromStdString(chosen));
}

void FoldersPage::onClearFolderList()
{
    if (ui->folderList->count() > 0 &&
        !m_context.platform.messages.askYesNo("Da li zelite da obrisete sve fascikle sa popisa?" + std::string(crlf) +
                                              "Popis se sprema tek sa \"Prihvati\"."))
        return;
    ui->folderList->clear();
}

void FoldersPage::removeSelectedFolder()
{
    qDeleteAll(ui->folderList->selectedItems()); // nothing when no entry is selected
}

void FoldersPage::onSaveFolders()
{
    std::string problems;
    if (const std::string problem = destinationProblem(ui->destinationEdit->text()); !problem.empty())
        problems += "Fascikla za rezervne kopije nije spremljena: " + problem;
    else if (Result written = m_context.settingsStore.WriteIniValue("BACKUP", "BackupDir",
                                                                    ui->destinationEdit->text().toStdString());
             !written)
        problems += "Fascikla za rezervne kopije nije spremljena: " + written.error();
    else // the next run goes there; one in progress keeps its own copy of the settings
        m_context.backupSettings.BackupDir = ui->destinationEdit->text().toStdString();

    if (Result saved = FolderListFile::save(m_context.platform.fileSystem, m_context.programFolder, folderEntries());
        saved) {
        m_refusedEntries.clear(); // no longer in the file
    } else {
        if (!problems.empty())
            problems += crlf;
        problems +=
            "Popis fascikli nije spremljen: " + saved.error() + crlf + "Popis na ekranu je ostao; pokusajte ponovo.";
    }
    // Saved all the same, as the user asked; but told now rather than by a failed backup tonight. The check
    // touches the disk (a share may take its time), so the window goes on handling events meanwhile.
    const std::string folder = ui->destinationEdit->text().toStdString();
    std::optional<std::string> destination;
    runOffThread([&] { destination = destinationProblem(m_context.platform.fileSystem, folder); });
    if (destination)
        problems += (problems.empty() ? "" : std::string(crlf) + crlf) + *destination + crlf +
                    "Rezervne kopije se nece moci izraditi dok se to ne ispravi.";
    if (!problems.empty())
        message(problems);
}

bool FoldersPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->folderList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelectedFolder();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FoldersPage::message(const std::string& text)
{
    m_context.platform.messages.showMessage(text);
}

#include "RestorePage.h"

#include "ui_RestorePage.h"

#include "AppContext.h"
#include "BackupRecords.h"
#include "ComputerName.h"
#include "FolderPicker.h"
#include "LocalDateTime.h"
#include "OffThreadWork.h"
#include "OffsiteSettings.h"
#include "RestoreTargets.h"
#include "RunCancellation.h"
#include "WebOpener.h"

#include <QDateTime>
#include <QDir>
#include <QTimer>
#include <QTreeWidgetItem>

namespace {

constexpr int relativeRole = Qt::UserRole;
constexpr int unreadRole = Qt::UserRole + 1; ///< a folder whose children are not read yet

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QString sizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString timeText(std::int64_t nanoseconds)
{
    return QDateTime::fromMSecsSinceEpoch(nanoseconds / 1000000).toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

} // namespace

RestorePage::RestorePage(AppContext& context, FolderPicker& folderPicker,
                         std::function<std::vector<std::string>()> listedFolders, QWidget* parent)
    : QWidget(parent), m_context(context), m_folderPicker(folderPicker), m_listedFolders(std::move(listedFolders)),
      ui(std::make_unique<Ui::RestorePage>()), m_progressTimer(new QTimer(this))
{
    ui->setupUi(this);
    ui->questionFrame->hide();
    ui->progressFrame->hide();
    m_progressTimer->setInterval(200);
    connect(m_progressTimer, &QTimer::timeout, this, &RestorePage::showProgress);
    connect(ui->daysList, &QListWidget::currentRowChanged, this, &RestorePage::onDayChosen);
    connect(ui->backupsList, &QListWidget::currentRowChanged, this, &RestorePage::onBackupChosen);
    connect(ui->itemsTree, &QTreeWidget::itemExpanded, this, &RestorePage::onItemExpanded);
    connect(ui->refreshButton, &QPushButton::clicked, this, &RestorePage::refreshDays);
    connect(ui->restoreButton, &QPushButton::clicked, this, &RestorePage::onRestore);
    connect(ui->restoreToButton, &QPushButton::clicked, this, &RestorePage::onRestoreTo);
    connect(ui->openButton, &QPushButton::clicked, this, &RestorePage::onOpen);
    connect(ui->stopButton, &QPushButton::clicked, this, &RestorePage::onStop);
    connect(ui->keepBothButton, &QPushButton::clicked, this, &RestorePage::onKeepBoth);
    connect(ui->replaceButton, &QPushButton::clicked, this, &RestorePage::onReplace);
    connect(ui->cancelQuestionButton, &QPushButton::clicked, this, &RestorePage::onCancelQuestion);
}

RestorePage::~RestorePage() = default;

void RestorePage::refreshDays()
{
    if (m_busy) // the tree being read or restored from stays as it is
        return;
    const std::string destination = m_context.backupSettings.BackupDir;
    const QString chosen = ui->daysList->currentItem() ? ui->daysList->currentItem()->text() : QString();
    ui->daysList->clear();
    m_days.clear();
    std::string storeProblem;
    m_store = storeAccess(storeProblem);
    if (destination.empty() && !m_store && storeProblem.empty()) {
        say("Odredisna fascikla nije podesena (Podesavanja, Fascikle).");
        return;
    }
    std::optional<std::chrono::year_month_day> lastWhole;
    if (const std::optional<LocalDateTime> moment = BackupRecords(m_context.settingsStore).lastWholeBackup())
        lastWhole = moment->date;
    BackupDayList local;
    BackupDayList stored;
    if (m_store)
        say("Citanje dana iz skladista van lokala...");
    offThread([&] {
        if (!destination.empty())
            local = listBackupDays(m_context.platform.fileSystem, destination, lastWhole);
        if (m_store)
            stored = listStoreDays(*m_store);
    });
    m_days = std::move(local.days);
    m_days.insert(m_days.end(), stored.days.begin(), stored.days.end());
    std::stable_sort(m_days.begin(), m_days.end(),
                     [](const BackupDay& a, const BackupDay& b) { return a.date > b.date; });
    for (const BackupDay& day : m_days)
        ui->daysList->addItem(qs(formatDateDots(day.date)) + (day.inStore    ? QStringLiteral(" (van lokala)")
                                                              : day.notWhole ? QStringLiteral("  (nije potpuna)")
                                                                             : QString()));
    std::vector<std::string> lines;
    if (destination.empty())
        lines.push_back("Odredisna fascikla nije podesena (Podesavanja, Fascikle).");
    else if (!local.error.empty())
        lines.push_back("Odredisna fascikla se ne moze procitati: " + local.error);
    else if (local.days.empty())
        lines.push_back("U odredisnoj fascikli \"" + destination + "\" nema rezervnih kopija.");
    if (!stored.error.empty())
        storeProblem = stored.error;
    if (!storeProblem.empty())
        lines.push_back("Dani van lokala se ne mogu procitati: " + storeProblem);
    else if (m_store && stored.days.empty())
        lines.push_back("U skladistu van lokala nema rezervnih kopija ovog racunara.");
    m_daysNote.clear();
    for (const std::string& line : lines)
        m_daysNote += line + "\n";
    say(m_daysNote);
    const QList<QListWidgetItem*> same = ui->daysList->findItems(chosen, Qt::MatchExactly);
    ui->daysList->setCurrentRow(same.isEmpty() || chosen.isEmpty() ? 0 : ui->daysList->row(same.first()));
}

std::optional<StoreAccess> RestorePage::storeAccess(std::string& problem) const
{
    if (m_context.settingsStore.ReadIniValue("S3", "Adresa").empty())
        return std::nullopt; // no store away from the shop
    OffsiteSettings settings;
    Result usable =
        OffsiteSettingsStore::load(m_context.settingsStore, m_context.platform.secrets, thisComputerName(), settings);
    if (usable)
        usable = OffsiteSettingsStore::check(settings);
    if (!usable) {
        problem = "podesavanje nije ispravno (Podesavanja, Van lokala): " + usable.error();
        return std::nullopt;
    }
    StoreAccess access{&m_context.platform.objectStore, settings.account(), settings.Prefiks, {}};
    access.retry.attempts = 3; // the page waits for the answer: a store that is down is said soon
    return access;
}

void RestorePage::onDayChosen()
{
    ui->backupsList->clear();
    ui->itemsTree->clear();
    m_tree.reset();
    m_backups = {};
    const int row = ui->daysList->currentRow();
    if (row < 0 || row >= static_cast<int>(m_days.size()))
        return;
    const BackupDay day = m_days[static_cast<std::size_t>(row)];
    DayBackups backups;
    if (day.inStore && m_store) {
        say("Citanje iz skladista van lokala (arhiva se preuzima cijela)...");
        const StoreAccess access = *m_store;
        const std::string fetchFolder = QDir::tempPath().toStdString();
        {
            const std::lock_guard lock(m_progressMutex);
            m_progress = {};
        }
        m_fetching = true;
        m_fetchStop = false;
        ui->progressFrame->show();
        showProgress();
        m_progressTimer->start();
        offThread([&] {
            backups = backupsOfStoreDay(access, m_context.platform.fileSystem, day, fetchFolder,
                                        [this](const ArchiveFetchProgress& fetched) {
                                            const std::lock_guard lock(m_progressMutex);
                                            m_progress = {fetched.archive, fetched.number, fetched.count,
                                                          fetched.bytesDone, fetched.bytesTotal};
                                            return !m_fetchStop;
                                        });
        });
        m_progressTimer->stop();
        m_fetching = false;
        ui->progressFrame->hide();
    } else if (!day.inStore) {
        offThread([&] { backups = backupsOfDay(m_context.platform.fileSystem, day); });
    }
    m_backups = std::move(backups);
    for (const BackupSource& source : m_backups.sources)
        ui->backupsList->addItem(qs(source.name.empty() ? "(bez imena)" : source.name));
    std::string problems = m_daysNote; // what the days' reading found stays in view
    for (const FileFailure& failure : m_backups.unreadable)
        problems += (failure.reason.find(failure.path) == std::string::npos ? failure.path + ": " : std::string()) +
                    failure.reason + "\n";
    say(problems);
    if (!m_backups.sources.empty())
        ui->backupsList->setCurrentRow(0);
}

void RestorePage::onBackupChosen()
{
    ui->itemsTree->clear();
    m_tree.reset();
    const BackupSource* source = chosenBackup();
    if (!source)
        return;
    m_tree = std::make_unique<BackupTree>(m_context.platform.fileSystem, *source);
    BackupFolderContents contents;
    offThread([&] { contents = m_tree->children(""); });
    fillChildren(ui->itemsTree->invisibleRootItem(), contents);
}

void RestorePage::onItemExpanded(QTreeWidgetItem* item)
{
    if (!m_tree || !item->data(0, unreadRole).toBool())
        return;
    item->setData(0, unreadRole, false);
    qDeleteAll(item->takeChildren());
    const std::string relative = item->data(0, relativeRole).toString().toStdString();
    BackupFolderContents contents;
    offThread([&] { contents = m_tree->children(relative); });
    fillChildren(item, contents);
}

void RestorePage::fillChildren(QTreeWidgetItem* parent, const BackupFolderContents& contents)
{
    QList<QTreeWidgetItem*> items;
    for (const BackupItem& entry : contents.items) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, qs(entry.name));
        item->setText(1, entry.folder ? QString() : sizeText(entry.size));
        item->setText(2, entry.modifiedNs == 0 ? QString() : timeText(entry.modifiedNs));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, relativeRole, qs(entry.relative));
        if (entry.folder) {
            item->setData(0, unreadRole, true);
            item->addChild(new QTreeWidgetItem); // shows the folder as one that opens
        }
        items.push_back(item);
    }
    parent->addChildren(items);
    if (!contents.error.empty())
        say(contents.error);
}

const BackupSource* RestorePage::chosenBackup() const
{
    const int row = ui->backupsList->currentRow();
    if (row < 0 || row >= static_cast<int>(m_backups.sources.size()))
        return nullptr;
    return &m_backups.sources[static_cast<std::size_t>(row)];
}

std::vector<std::string> RestorePage::selectedItems() const
{
    std::vector<std::string> selected;
    for (const QTreeWidgetItem* item : ui->itemsTree->selectedItems()) {
        bool insideAnother = false; // a folder selected with what it holds restores it once
        for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
            insideAnother = insideAnother || up->isSelected();
        if (!insideAnother)
            selected.push_back(item->data(0, relativeRole).toString().toStdString());
    }
    return selected;
}

void RestorePage::onRestore()
{
    const BackupSource* source = chosenBackup();
    if (!source)
        return say("Izaberite dan i rezervnu kopiju.");
    const std::vector<std::string> folders =
        foldersOfBackup(source->name, source->archive != nullptr, m_listedFolders());
    std::string target = folders.size() == 1 ? folders.front() : std::string();
    if (target.empty()) {
        target = m_folderPicker.BrowseForFolder(
            (folders.empty() ? "Na popisu nema fascikle \"" + source->name + "\". U koju fasciklu vratiti?"
                             : "Na popisu je vise fascikli \"" + source->name + "\". U koju vratiti?"));
        if (target.empty())
            return;
    }
    plan(target, RestorePlacement::OriginalPlace);
}

void RestorePage::onRestoreTo()
{
    if (!chosenBackup())
        return say("Izaberite dan i rezervnu kopiju.");
    const std::string target = m_folderPicker.BrowseForFolder("Izaberite fasciklu u koju se vraca");
    if (!target.empty())
        plan(target, RestorePlacement::IntoFolder);
}

void RestorePage::plan(const std::string& targetFolder, RestorePlacement placement)
{
    if (!m_tree)
        return;
    std::vector<std::string> selected = selectedItems();
    if (selected.empty())
        selected.push_back(""); // nothing selected: the whole backup
    setBusy(true);
    say("Priprema vracanja...");
    RestorePlan planned;
    runOffThread(
        [&] { planned = planRestore(m_context.platform.fileSystem, *m_tree, selected, targetFolder, placement); });
    setBusy(false);
    m_plan = std::move(planned);
    say({});
    ui->questionLabel->setText(
        QStringLiteral("Vraca se u \"%1\":\n%2 novih datoteka, %3 istih (ostaju kakve jesu), %4 razlicitih.%5")
            .arg(qs(targetFolder))
            .arg(m_plan->newFiles)
            .arg(m_plan->sameFiles)
            .arg(m_plan->differentFiles)
            .arg(m_plan->differentFiles == 0
                     ? QString()
                     : QStringLiteral("\nRazlicite datoteke: zadrzati obje (vracena dobija datum u imenu) ili "
                                      "zamijeniti postojece?")));
    ui->replaceButton->setVisible(m_plan->differentFiles > 0);
    ui->questionFrame->show();
    ui->keepBothButton->setDefault(true);
    ui->keepBothButton->setFocus();
}

void RestorePage::onKeepBoth()
{
    carryOut(DifferentFiles::KeepBoth);
}

void RestorePage::onReplace()
{
    carryOut(DifferentFiles::Replace);
}

void RestorePage::onCancelQuestion()
{
    ui->questionFrame->hide();
    m_plan.reset();
}

void RestorePage::carryOut(DifferentFiles different)
{
    ui->questionFrame->hide();
    if (!m_plan || !m_tree)
        return;
    const RestorePlan plan = std::move(*m_plan);
    m_plan.reset();
    {
        const std::lock_guard lock(m_progressMutex);
        m_progress = {};
        m_progress.filesTotal = plan.files.size();
        m_progress.bytesTotal = plan.bytes;
    }
    setBusy(true);
    ui->progressFrame->show();
    showProgress();
    m_progressTimer->start();
    RestoreOutcome outcome;
    runOffThread([&] {
        outcome = carryOutRestore(m_context.platform.fileSystem, *m_tree, plan, different,
                                  [this](const RestoreProgress& progress) {
                                      const std::lock_guard lock(m_progressMutex);
                                      m_progress = progress;
                                  });
    });
    m_progressTimer->stop();
    showProgress();
    setBusy(false);
    std::string text = outcome.refused ? std::string() : outcome.complete() ? "Vraceno. " : "Vracanje nije potpuno. ";
    if (!outcome.refused)
        text += "Vraceno datoteka: " + std::to_string(outcome.written + outcome.beside + outcome.replaced) +
                " (pored postojece: " + std::to_string(outcome.beside) +
                ", zamijenjeno: " + std::to_string(outcome.replaced) +
                "), vec su bile tu: " + std::to_string(outcome.leftAlone) + ".";
    const std::vector<std::string> lines = restoreFailureLines(outcome);
    if (!lines.empty() && !outcome.refused)
        text += "\nNije vraceno:";
    for (const std::string& line : lines)
        text += "\n" + line;
    say(text);
}

void RestorePage::showProgress()
{
    RestoreProgress progress;
    {
        const std::lock_guard lock(m_progressMutex);
        progress = m_progress;
    }
    const int permille =
        progress.bytesTotal == 0
            ? (progress.filesTotal == 0 ? 1000 : static_cast<int>(progress.filesDone * 1000 / progress.filesTotal))
            : static_cast<int>(std::min<std::uint64_t>(progress.bytesDone, progress.bytesTotal) * 1000 /
                               progress.bytesTotal);
    ui->progressBar->setValue(permille);
    if (m_fetching) // the archives of a day in the store, each fetched whole before it can be shown
        return ui->progressLabel->setText(
            progress.filesTotal == 0
                ? QStringLiteral("Citanje iz skladista van lokala...")
                : QStringLiteral("Preuzimanje arhive %1 od %2 iz skladista: %3 od %4")
                      .arg(progress.filesDone)
                      .arg(progress.filesTotal)
                      .arg(sizeText(progress.bytesDone))
                      .arg(progress.bytesTotal == 0 ? QStringLiteral("?") : sizeText(progress.bytesTotal)));
    ui->progressLabel->setText(QStringLiteral("Datoteka %1 od %2, %3 od %4")
                                   .arg(progress.filesDone)
                                   .arg(progress.filesTotal)
                                   .arg(sizeText(progress.bytesDone))
                                   .arg(sizeText(progress.bytesTotal)));
}

void RestorePage::onStop()
{
    // Fetching an archive is no run: a stop asked of the runs would reach a backup working meanwhile.
    if (m_fetching)
        m_fetchStop = true;
    else
        RunCancellation::request();
    ui->stopButton->setEnabled(false);
}

void RestorePage::onOpen()
{
    const BackupSource* source = chosenBackup();
    const int day = ui->daysList->currentRow();
    std::string place = source ? source->place : std::string();
    if (place.empty() && day >= 0 && day < static_cast<int>(m_days.size()))
        place = m_days[static_cast<std::size_t>(day)].places.front();
    if (place.empty())
        return say("Izaberite dan.");
    if (day >= 0 && day < static_cast<int>(m_days.size()) && m_days[static_cast<std::size_t>(day)].inStore)
        return say("Ova rezervna kopija je u skladistu van lokala (\"" + (m_store ? m_store->account.bucket : "") +
                   "/" + m_days[static_cast<std::size_t>(day)].places.front() + "\"): vratite je sa \"Vrati\".");
    if (const Result opened = m_context.platform.web.openFolder(place); !opened)
        say("Rezervna kopija se ne moze otvoriti: " + opened.error());
}

void RestorePage::offThread(const std::function<void()>& work)
{
    setBusy(true);
    runOffThread(work);
    setBusy(false);
}

void RestorePage::setBusy(bool busy)
{
    m_busy = busy;
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->daysList, ui->backupsList, ui->itemsTree, ui->restoreButton,
                                         ui->restoreToButton, ui->refreshButton, ui->openButton})
        control->setEnabled(!busy);
    ui->stopButton->setEnabled(busy);
}

void RestorePage::say(const std::string& text)
{
    ui->resultText->setPlainText(qs(text));
}

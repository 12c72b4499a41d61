#pragma once

#include "BackupDays.h"
#include "BackupSource.h"
#include "BackupTree.h"
#include "RestorePlan.h"
#include "RestoreRun.h"
#include "StoreBackups.h"

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class RestorePage;
}
struct AppContext;
class FolderPicker;
class QTimer;
class QTreeWidgetItem;

/// The page "Vracanje": the days with backups in the destination, the backups of the chosen day, the tree of the
/// chosen backup (a folder's children read when it is opened), and getting files back. "Vrati" restores the selected
/// files and folders to the listed folder whose backup it is, "Vrati u ..." into a folder the user picks; before
/// anything is written the page says how many files are new, the same and different, and the user chooses whether a
/// different file is kept (the default) or replaced. Reading and restoring run away from the window's thread, with
/// progress and a stop button; the result names every file that was not restored and why. With section "S3" filled in,
/// the days in the store away from the shop are listed too, marked "(van lokala)", and restored from the same way.
class RestorePage : public QWidget
{
    Q_OBJECT
public:
    /// `listedFolders` gives the folder list as the window holds it now.
    RestorePage(AppContext& context, FolderPicker& folderPicker,
                std::function<std::vector<std::string>()> listedFolders, QWidget* parent = nullptr);
    ~RestorePage() override;

public slots:
    /// Reads the days in the destination again; the chosen day stays chosen while it is there.
    void refreshDays();
    /// "Vrati": to the folder of the backup in the folder list (asks for one when none or several fit).
    void onRestore();
    /// "Vrati u ...": into a folder the user picks.
    void onRestoreTo();
    /// "Otvori": the chosen backup (or the day's first) in the file manager.
    void onOpen();
    /// "Zaustavi": asks the restore in progress to stop after the file it writes, or the fetching of a store's
    /// archive to stop at once (nothing of it is kept).
    void onStop();

private slots:
    void onDayChosen();
    void onBackupChosen();
    void onItemExpanded(QTreeWidgetItem* item);
    void onKeepBoth();
    void onReplace();
    void onCancelQuestion();
    void showProgress();

private:
    void plan(const std::string& targetFolder, RestorePlacement placement);
    void carryOut(DifferentFiles different);
    void fillChildren(QTreeWidgetItem* parent, const BackupFolderContents& contents);
    std::vector<std::string> selectedItems() const;
    const BackupSource* chosenBackup() const;
    /// Runs `work` away from the window's thread; meanwhile the lists, the tree and the buttons wait.
    void offThread(const std::function<void()>& work);
    void setBusy(bool busy);
    void say(const std::string& text);
    /// The store of section "S3", when it is filled in; the reason when it cannot be used.
    std::optional<StoreAccess> storeAccess(std::string& problem) const;

    AppContext& m_context;
    FolderPicker& m_folderPicker;
    std::function<std::vector<std::string>()> m_listedFolders;
    std::unique_ptr<Ui::RestorePage> ui;
    QTimer* m_progressTimer;

    std::vector<BackupDay> m_days; ///< the destination's and the store's, newest first
    std::optional<StoreAccess> m_store;
    std::string m_daysNote; ///< what reading the days found (a store that does not answer), shown with each day
    DayBackups m_backups;
    std::unique_ptr<BackupTree> m_tree;
    std::optional<RestorePlan> m_plan;
    bool m_busy = false; ///< reading or restoring: what is read from is not to be replaced

    std::mutex m_progressMutex;
    RestoreProgress m_progress; ///< written by the restore's threads, read by the window's timer
    /// A day's archives are being fetched from the store: the progress is theirs (files: archives), and "Zaustavi"
    /// stops the fetching through m_fetchStop.
    bool m_fetching = false;
    std::atomic<bool> m_fetchStop{false};
};

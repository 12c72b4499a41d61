#pragma once

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class FoldersPage;
}
class QAction;
class FolderPicker;
struct AppContext;

/// The settings page "Fascikle": the destination folder and the list of folders to back up, both saved by its
/// "Prihvati" (BackupDir in KOPIRKO.ini, the list in backuplista.ini). The list on the page is the live list:
/// runs and the network shutdown read its entries when they need them, saved or not.
class FoldersPage : public QWidget
{
    Q_OBJECT
public:
    FoldersPage(AppContext& context, FolderPicker& folderPicker, QWidget* parent = nullptr);
    ~FoldersPage() override;

    /// Fills the list from backuplista.ini. Lines it refuses are kept for the runs to report (refusedEntries);
    /// a file that cannot be read is said in a message.
    void loadFolderList();
    /// The entries of the list file refused at load; reported by every run until "Prihvati" saves the list.
    const std::vector<std::string>& refusedEntries() const { return m_refusedEntries; }

    void setDestination(const std::string& folder);

    /// Number of entries of the list now.
    int folderCount() const;
    /// Entry `index` as it is now; "" when there is none.
    std::string folderEntry(int index) const;
    std::vector<std::string> folderEntries() const;

public slots:
    void onChooseDestination(); ///< "...": a cancelled dialog keeps the folder that was there
    void onOpenDestination();   ///< the destination in the system's file manager
    void onAddFolder();
    void onClearFolderList();    ///< after asking; the file changes only with "Prihvati"
    void removeSelectedFolder(); ///< Delete, or the list's menu: the selected entry leaves the list
    /// "Prihvati": writes BackupDir (unless the settings file would give it back changed) and the list file;
    /// says what could not be saved, and warns of a destination that cannot take backups now.
    void onSaveFolders();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void message(const std::string& text);

    AppContext& m_context;
    FolderPicker& m_folderPicker;
    std::unique_ptr<Ui::FoldersPage> ui;
    QAction* m_removeFolderAction;
    std::vector<std::string> m_refusedEntries;
};

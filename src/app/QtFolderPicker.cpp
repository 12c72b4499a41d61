#include "QtFolderPicker.h"

#include <QDir>
#include <QFileDialog>

std::string QtFolderPicker::BrowseForFolder(const std::string& title)
{
    // The dialog offers only folders, an editable path field and a button for a new folder; the native dialog
    // of the desktop is used where there is one.
    const QString chosen = QFileDialog::getExistingDirectory(m_parent, QString::fromStdString(title), QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return {};
    return QDir::toNativeSeparators(QDir::cleanPath(chosen)).toStdString();
}

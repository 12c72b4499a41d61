#pragma once

#include "FolderPicker.h"

class QWidget;

/// QFileDialog::getExistingDirectory, owned by the main window once it is set.
class QtFolderPicker : public FolderPicker
{
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    std::string BrowseForFolder(const std::string& title) override;

private:
    QWidget* m_parent = nullptr;
};

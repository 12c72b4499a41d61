#pragma once

#include "MessageBoxService.h"

class QWidget;

/// QMessageBox, parented to the main window when one is set.
class QtMessageBoxService : public MessageBoxService
{
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& title, MessageIcon icon) override;

private:
    QWidget* m_parent = nullptr;
};

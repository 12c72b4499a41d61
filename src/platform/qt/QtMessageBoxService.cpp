#include "QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon toQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString captionFor(const std::string& title)
{
    return title.empty() ? QApplication::applicationName() : QString::fromStdString(title);
}

} // namespace

void QtMessageBoxService::showMessage(const std::string& text, const std::string& title, MessageIcon icon)
{
    QMessageBox box(toQt(icon), captionFor(title), QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.exec();
}

bool QtMessageBoxService::askYesNo(const std::string& text, const std::string& title, MessageIcon icon)
{
    QMessageBox box(toQt(icon), captionFor(title), QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

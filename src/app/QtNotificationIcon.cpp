#include "QtNotificationIcon.h"

#include <QIcon>
#include <QMenu>

QtNotificationIcon::QtNotificationIcon() = default;

QtNotificationIcon::~QtNotificationIcon()
{
    remove();
}

bool QtNotificationIcon::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtNotificationIcon::add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMessage)
{
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tip);
    // The toolkit opens the menu itself at the mouse position on a right click, on every desktop; the window is
    // told about the click as well.
    m_icon->setContextMenu(menu);
    QObject::connect(m_icon.get(), &QSystemTrayIcon::activated,
                     [onMessage = std::move(onMessage)](QSystemTrayIcon::ActivationReason reason) {
                         if (onMessage)
                             onMessage(messageNumber(reason));
                     });
    m_icon->show();
}

void QtNotificationIcon::setLook(const QIcon& icon, const QString& tip)
{
    if (!m_icon)
        return;
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
}

void QtNotificationIcon::remove()
{
    if (!m_icon)
        return;
    m_icon->hide();
    m_icon.reset();
}

bool QtNotificationIcon::present() const
{
    return m_icon != nullptr;
}

void QtNotificationIcon::showMessage(const QString& title, const QString& text)
{
    if (m_icon)
        m_icon->showMessage(title, text, QSystemTrayIcon::Warning);
}

int QtNotificationIcon::messageNumber(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return leftButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return leftDoubleClick;
    case QSystemTrayIcon::Context:
        return rightButtonUp;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return 512;
}

#pragma once

#include "NotificationIcon.h"

#include <QSystemTrayIcon>

#include <memory>

/// QSystemTrayIcon. Its activation reasons become the message numbers of NotificationIcon.
class QtNotificationIcon : public NotificationIcon
{
public:
    QtNotificationIcon();
    ~QtNotificationIcon() override;

    bool available() const override;
    void add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMessage) override;
    void setLook(const QIcon& icon, const QString& tip) override;
    void remove() override;
    bool present() const override;
    void showMessage(const QString& title, const QString& text) override;

    /// Trigger 514, DoubleClick 515, Context 517; every other reason 512 (a plain mouse move, answered by
    /// nothing).
    static int messageNumber(QSystemTrayIcon::ActivationReason reason);

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

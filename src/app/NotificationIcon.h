#pragma once

#include <functional>

class QIcon;
class QMenu;
class QString;

/// The program's icon in the notification area of the taskbar.
class NotificationIcon
{
public:
    /// The icon's mouse messages, numbered as the window receives them: left button up, left double click,
    /// right button up.
    enum Message { leftButtonUp = 514, leftDoubleClick = 515, rightButtonUp = 517 };

    virtual ~NotificationIcon() = default;

    /// True when the desktop has a notification area that can hold the icon now.
    virtual bool available() const = 0;
    /// Adds the icon with its picture, tip and pop-up menu (the menu opens on a right click). Every mouse message
    /// over the icon goes to `onMessage` with its number.
    virtual void add(const QIcon& icon, const QString& tip, QMenu* menu, std::function<void(int)> onMessage) = 0;
    /// Changes the icon's picture and tip (a backup failed while nobody looked, and back); nothing happens
    /// when there is no icon.
    virtual void setLook(const QIcon& icon, const QString& tip) = 0;
    /// Removes the icon; nothing happens when there is none.
    virtual void remove() = 0;
    /// True from add() to remove().
    virtual bool present() const = 0;
    /// A balloon message beside the icon, for news the user must see while the window is hidden.
    virtual void showMessage(const QString& title, const QString& text) = 0;
};

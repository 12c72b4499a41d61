#pragma once

#include <QIcon>

/// The program's icon (window and notification area): a folder with a green check mark on a blue tile, drawn
/// at the sizes the desktops ask for. Its alert form, a red exclamation mark in place of the check mark, tells
/// from the notification area that a backup failed.
namespace AppIcon {
QIcon create(bool alert = false);
/// One picture of the icon, `size` pixels square.
QPixmap picture(int size, bool alert = false);
} // namespace AppIcon

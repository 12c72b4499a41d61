#pragma once

#include <QIcon>

/// The program's icon (window and notification area): a folder with a green check mark on a blue tile, drawn
/// at the sizes the desktops ask for.
namespace AppIcon {
QIcon create();
/// One picture of the icon, `size` pixels square.
QPixmap picture(int size);
} // namespace AppIcon

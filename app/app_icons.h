// The icons compiled into the program: the window's icon and the toolbar's.
#pragma once

#include <QIcon>
#include <QString>

namespace qv {

// The name of the installed .desktop file (without ".desktop") and of the
// icon in the hicolor theme; Wayland compositors find the icon through it.
inline constexpr char kDesktopFileName[] = "org.quorvane.Quorvane";
inline constexpr int kToolbarIconCount = 8;

// Registers the compiled-in icon files; any number of calls, first one counts.
void InitIconResources();
// The application icon at 16, 32, 48 and 256 pixels.
QIcon ApplicationIcon();
// Resource path of toolbar icon `index` (0 .. kToolbarIconCount - 1).
QString ToolbarIconPath(int index);

}  // namespace qv

#pragma once
// The application's own icon, built into the program.

class QIcon;

namespace corvasse {

// The icon of the window, the tray and the About box.
QIcon AppIcon();
// The same with a red mark: the tray's icon while a watch is down.
QIcon DownIcon();

}  // namespace corvasse

#pragma once
// What the tray icon needs from the desktop's notification area. The program
// uses the QSystemTrayIcon one; tests give their own.

#include <QSystemTrayIcon>
#include <functional>

class QIcon;
class QMenu;
class QPoint;
class QString;

namespace corvasse {

class TrayBackend {
public:
    virtual ~TrayBackend() = default;

    // Whether the desktop has a notification area to show an icon in.
    virtual bool Available() const = 0;
    // Puts the icon with its tip in the notification area, or updates it there.
    virtual void ShowIcon(const QIcon& icon, const QString& tip) = 0;
    // Takes the icon out of the notification area; nothing when it is not there.
    virtual void RemoveIcon() = 0;
    // The mouse cursor's position on the screen.
    virtual QPoint CursorPos() const = 0;
    // Opens menu at pos and returns when it has closed.
    virtual void PopupMenu(QMenu* menu, const QPoint& pos) = 0;
    // A notification beside the icon, which the desktop takes away by itself.
    virtual void ShowMessage(const QString& title, const QString& text) = 0;

    // Raised for each click on the icon.
    std::function<void(QSystemTrayIcon::ActivationReason)> OnActivated;
};

}  // namespace corvasse

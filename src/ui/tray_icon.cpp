#include "ui/tray_icon.h"

#include "ui/tray_backend.h"

#include <QWidget>

namespace corvasse {

TrayIcon::TrayIcon(QWidget* owner, TrayBackend* backend) : TrayIconBase(owner, backend) {}

void TrayIcon::MouseDown(Qt::MouseButton button, const QPoint& pos) {
    bool showOnClick = ShowOnLeftClick();
    QMenu* menu = LeftPopupMenu;
    if (button == Qt::RightButton) {
        showOnClick = ShowOnRightClick;
        menu = RightPopupMenu;
    } else if (button == Qt::MiddleButton) {
        showOnClick = ShowOnMiddleClick;
        menu = MiddlePopupMenu;
    }
    if (showOnClick) {
        SetWindowVisible(true);
        BringToFront(Owner());
        return;
    }
    if (!menu) {
        return;
    }
    if (Owner()) {
        Owner()->activateWindow();
        if (WindowVisible()) {
            BringToFront(Owner());
        }
    }
    Backend().PopupMenu(menu, pos);
}

void TrayIcon::MouseUp(Qt::MouseButton, const QPoint&) {
    if (!OnClick) {
        return;
    }
    if (Owner()) {
        Owner()->activateWindow();
    }
    OnClick();
}

void TrayIcon::DblClick() {
    if (!OnDblClick) {
        return;
    }
    if (Owner()) {
        Owner()->activateWindow();
    }
    OnDblClick();
}

}  // namespace corvasse

#include "ui/system_tray_backend.h"

#include <QCursor>
#include <QMenu>

namespace corvasse {

SystemTrayBackend::SystemTrayBackend() {
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (OnActivated) {
            OnActivated(reason);
        }
    });
}

bool SystemTrayBackend::Available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void SystemTrayBackend::ShowIcon(const QIcon& icon, const QString& tip) {
    icon_.setIcon(icon);
    icon_.setToolTip(tip);
    icon_.show();
}

void SystemTrayBackend::RemoveIcon() { icon_.hide(); }

QPoint SystemTrayBackend::CursorPos() const { return QCursor::pos(); }

void SystemTrayBackend::PopupMenu(QMenu* menu, const QPoint& pos) { menu->exec(pos); }

void SystemTrayBackend::ShowMessage(const QString& title, const QString& text) { icon_.showMessage(title, text); }

}  // namespace corvasse

#pragma once
// The notification area of the desktop, through QSystemTrayIcon.

#include "ui/tray_backend.h"

#include <QSystemTrayIcon>

namespace corvasse {

class SystemTrayBackend : public TrayBackend {
public:
    SystemTrayBackend();

    bool Available() const override;
    void ShowIcon(const QIcon& icon, const QString& tip) override;
    void RemoveIcon() override;
    QPoint CursorPos() const override;
    void PopupMenu(QMenu* menu, const QPoint& pos) override;
    void ShowMessage(const QString& title, const QString& text) override;

private:
    QSystemTrayIcon icon_;
};

}  // namespace corvasse

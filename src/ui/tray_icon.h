#pragma once
// The program's tray icon: a click of a button either shows the window (when
// that button's show-on-click flag is set) or opens that button's menu.

#include "ui/tray_icon_base.h"

#include <functional>

namespace corvasse {

class TrayIcon : public TrayIconBase {
public:
    // An inactive icon standing for owner, in backend's notification area
    // (not owned), or in the desktop's own when backend is null.
    explicit TrayIcon(QWidget* owner, TrayBackend* backend = nullptr);

    // Raised when a button is released over the icon, after the owner window
    // has been made the active window.
    std::function<void()> OnClick;

protected:
    void MouseDown(Qt::MouseButton button, const QPoint& pos) override;
    void MouseUp(Qt::MouseButton button, const QPoint& pos) override;
    void DblClick() override;
};

}  // namespace corvasse

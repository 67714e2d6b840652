#pragma once
// An icon in the desktop's notification area that stands for a window: it can
// hide the window to the tray and bring it back, and turns clicks on the icon
// into mouse events.

#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;
class QObject;
class QWidget;

namespace corvasse {

class TrayBackend;

class TrayIconBase {
public:
    // An inactive icon standing for owner (may be null). backend is the
    // notification area to use (not owned; it must outlive the icon), or null
    // for the desktop's own.
    TrayIconBase(QWidget* owner, TrayBackend* backend);
    // Takes the icon out of the tray.
    virtual ~TrayIconBase();

    TrayIconBase(const TrayIconBase&) = delete;
    TrayIconBase& operator=(const TrayIconBase&) = delete;

    // The tip shown over the icon.
    void SetHint(const QString& hint);
    const QString& Hint() const { return hint_; }

    void SetIcon(const QIcon& icon);
    const QIcon& Icon() const { return icon_; }

    // Whether the icon is in the tray; it shows only with a non-empty Icon.
    void SetActive(bool active);
    bool Active() const { return active_; }

    // Whether a left click shows the window instead of opening LeftPopupMenu.
    void SetShowOnLeftClick(bool show);
    bool ShowOnLeftClick() const { return showOnLeftClick_; }
    bool ShowOnRightClick = false;
    bool ShowOnMiddleClick = false;

    // Shows the owner window normally (true) or minimises and hides it, leaving
    // only the icon (false). While the icon cannot be in a tray, the window is
    // only minimised, so that it can always be found again.
    void SetWindowVisible(bool visible);
    bool WindowVisible() const { return windowVisible_; }

    // Whether a hidden window can be brought back through the icon.
    bool CanHideToTray() const;

    // Makes minimising the owner window (for instance with its title-bar
    // button) hide it, while CanHideToTray().
    void InstallMinimizeLogic();

    // Puts the icon in the tray, updates it there or takes it out, by Active and Icon.
    void UpdateIcon();

    // A notification beside the icon, titled with the application's name;
    // nothing while the icon is not in a tray.
    void ShowMessage(const QString& text);

    // Menus opened by a click of the matching button; not owned.
    QMenu* LeftPopupMenu = nullptr;
    QMenu* RightPopupMenu = nullptr;
    QMenu* MiddlePopupMenu = nullptr;

    std::function<void(Qt::MouseButton, const QPoint&)> OnMouseDown;
    std::function<void(Qt::MouseButton, const QPoint&)> OnMouseUp;
    std::function<void()> OnDblClick;

protected:
    // A button went down or up over the icon at pos, in screen coordinates.
    virtual void MouseDown(Qt::MouseButton button, const QPoint& pos);
    virtual void MouseUp(Qt::MouseButton button, const QPoint& pos);
    virtual void DblClick();

    QWidget* Owner() const { return owner_; }
    TrayBackend& Backend() const { return *backend_; }

    // Raises window; restores it when minimised, else makes it the active window.
    static void BringToFront(QWidget* window);

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void ShowOwner();

    QPointer<QWidget> owner_;
    std::unique_ptr<TrayBackend> ownedBackend_;
    TrayBackend* backend_;
    std::unique_ptr<QObject> minimizeFilter_;
    QString hint_;
    QIcon icon_;
    bool active_ = false;
    bool showOnLeftClick_ = false;
    bool windowVisible_ = false;
};

}  // namespace corvasse

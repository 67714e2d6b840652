#include "ui/tray_icon_base.h"

#include "ui/system_tray_backend.h"
#include "ui/tray_backend.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace corvasse {
namespace {

// Shared by every instance: set when an icon is created, cleared by the next
// SetWindowVisible, which records in startedVisible whether the program
// began with its window shown.
bool firstCall = false;
bool startedVisible = false;

// Hides the watched window once it has been minimised, while the tray can
// bring it back.
class MinimizeFilter : public QObject {
public:
    explicit MinimizeFilter(const TrayIconBase& tray) : tray_(tray) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::WindowStateChange || !watched->isWidgetType()) {
            return false;
        }
        QPointer<QWidget> window = static_cast<QWidget*>(watched);
        if (window->isMinimized() && tray_.CanHideToTray()) {
            // Hiding inside the state change confuses some window managers; the
            // window may also have been restored by the time the loop comes back.
            QTimer::singleShot(0, this, [this, window] {
                if (window && window->isMinimized() && tray_.CanHideToTray()) {
                    window->hide();
                }
            });
        }
        return false;
    }

private:
    const TrayIconBase& tray_;
};

}  // namespace

TrayIconBase::TrayIconBase(QWidget* owner, TrayBackend* backend)
    : owner_(owner ? owner->window() : nullptr),
      ownedBackend_(backend ? nullptr : std::make_unique<SystemTrayBackend>()),
      backend_(backend ? backend : ownedBackend_.get()) {
    backend_->OnActivated = [this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); };
    firstCall = true;
}

TrayIconBase::~TrayIconBase() {
    SetActive(false);
    backend_->OnActivated = nullptr;
}

void TrayIconBase::SetHint(const QString& hint) {
    if (hint == hint_) {
        return;
    }
    hint_ = hint;
    UpdateIcon();
}

void TrayIconBase::SetIcon(const QIcon& icon) {
    icon_ = icon;
    UpdateIcon();
}

void TrayIconBase::SetActive(bool active) {
    active_ = active;
    UpdateIcon();
}

void TrayIconBase::SetShowOnLeftClick(bool show) {
    showOnLeftClick_ = show;
    UpdateIcon();
}

void TrayIconBase::UpdateIcon() {
    if (active_ && !icon_.isNull()) {
        backend_->ShowIcon(icon_, hint_);
    } else {
        backend_->RemoveIcon();
    }
}

void TrayIconBase::ShowMessage(const QString& text) {
    if (CanHideToTray()) backend_->ShowMessage(QCoreApplication::applicationName(), text);
}

bool TrayIconBase::CanHideToTray() const { return active_ && !icon_.isNull() && backend_->Available(); }

void TrayIconBase::InstallMinimizeLogic() {
    if (!owner_ || minimizeFilter_) {
        return;
    }
    minimizeFilter_ = std::make_unique<MinimizeFilter>(*this);
    owner_->installEventFilter(minimizeFilter_.get());
}

void TrayIconBase::SetWindowVisible(bool visible) {
    windowVisible_ = visible;
    UpdateIcon();
    if (firstCall) {
        startedVisible = visible;
    }
    firstCall = false;
    if (!owner_) {
        return;
    }
    if (visible) {
        ShowOwner();
    } else if (!CanHideToTray()) {
        owner_->showMinimized();
    } else if (startedVisible) {
        owner_->showMinimized();
        owner_->hide();
    } else {
        // A window that was never shown is hidden without being put on the screen first.
        owner_->setWindowState(owner_->windowState() | Qt::WindowMinimized);
        owner_->hide();
    }
}

void TrayIconBase::ShowOwner() {
    owner_->setWindowState(owner_->windowState() & ~Qt::WindowMinimized);
    owner_->show();
}

void TrayIconBase::BringToFront(QWidget* window) {
    if (!window) {
        return;
    }
    window->raise();
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
    } else {
        window->activateWindow();
    }
}

void TrayIconBase::Activated(QSystemTrayIcon::ActivationReason reason) {
    // The tray reports whole clicks; each stands for a press and a release.
    Qt::MouseButton button = Qt::NoButton;
    switch (reason) {
        case QSystemTrayIcon::Trigger: button = Qt::LeftButton; break;
        case QSystemTrayIcon::Context: button = Qt::RightButton; break;
        case QSystemTrayIcon::MiddleClick: button = Qt::MiddleButton; break;
        case QSystemTrayIcon::DoubleClick: DblClick(); return;
        case QSystemTrayIcon::Unknown: return;
    }
    const QPoint pos = backend_->CursorPos();
    MouseDown(button, pos);
    MouseUp(button, pos);
}

void TrayIconBase::MouseDown(Qt::MouseButton button, const QPoint& pos) {
    if (OnMouseDown) {
        OnMouseDown(button, pos);
    }
}

void TrayIconBase::MouseUp(Qt::MouseButton button, const QPoint& pos) {
    if (OnMouseUp) {
        OnMouseUp(button, pos);
    }
}

void TrayIconBase::DblClick() {
    if (OnDblClick) {
        OnDblClick();
    }
}

}  // namespace corvasse

#include "ui/tray_icon.h"

#include "ui/tray_backend.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPixmap>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

// A notification area that records what the icon asked of it.
class FakeTrayBackend : public TrayBackend {
public:
    bool Available() const override { return available; }
    void ShowIcon(const QIcon&, const QString& tip) override {
        shown = true;
        shownTip = tip;
        ++showCalls;
    }
    void RemoveIcon() override { shown = false; }
    QPoint CursorPos() const override { return cursor; }
    void PopupMenu(QMenu* menu, const QPoint& pos) override { popups.push_back({menu, pos}); }
    void ShowMessage(const QString& title, const QString& text) override { messages.push_back(title + ": " + text); }

    void Click(QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); }

    bool available = true;
    bool shown = false;
    QString shownTip;
    int showCalls = 0;
    QPoint cursor{640, 790};
    std::vector<std::pair<QMenu*, QPoint>> popups;
    QStringList messages;
};

// Counts the times a window is put on the screen.
class ShowCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        shows += event->type() == QEvent::Show;
        return false;
    }
    int shows = 0;
};

QIcon SomeIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::cyan);
    return QIcon(pixmap);
}

void ProcessEvents() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

class TrayIconTest : public test::QtTest {
protected:
    void SetUp() override {
        window.resize(300, 200);
        leftMenu.addAction(QStringLiteral("&Show window"));
        rightMenu.addAction(QStringLiteral("E&xit"));
    }

    // The icon as the main window sets it up.
    std::unique_ptr<TrayIcon> SetUpLikeTheMainWindow() {
        auto tray = std::make_unique<TrayIcon>(&window, &backend);
        tray->InstallMinimizeLogic();
        tray->SetHint(QStringLiteral("Corvasse"));
        tray->SetIcon(SomeIcon());
        tray->LeftPopupMenu = &leftMenu;
        tray->RightPopupMenu = &rightMenu;
        tray->SetWindowVisible(true);
        tray->SetActive(true);
        tray->SetShowOnLeftClick(true);
        return tray;
    }

    FakeTrayBackend backend;
    QWidget window;
    QMenu leftMenu;
    QMenu rightMenu;
};

TEST_F(TrayIconTest, TheIconIsInTheTrayWhileActiveWithAnImageAndLeavesWithTheObject) {
    auto tray = std::make_unique<TrayIcon>(&window, &backend);
    tray->SetHint(QStringLiteral("Corvasse"));
    EXPECT_FALSE(backend.shown);
    tray->SetActive(true);
    EXPECT_FALSE(backend.shown) << "no image yet";
    tray->SetIcon(SomeIcon());
    EXPECT_TRUE(backend.shown);
    EXPECT_EQ(backend.shownTip, QStringLiteral("Corvasse"));

    const int calls = backend.showCalls;
    tray->SetHint(QStringLiteral("Corvasse"));
    EXPECT_EQ(backend.showCalls, calls) << "an unchanged hint is not sent again";
    tray->SetHint(QStringLiteral("Corvasse - watching"));
    EXPECT_EQ(backend.shownTip, QStringLiteral("Corvasse - watching"));

    tray->SetActive(false);
    EXPECT_FALSE(backend.shown);
    tray->SetActive(true);
    EXPECT_TRUE(backend.shown);
    tray.reset();
    EXPECT_FALSE(backend.shown);
    EXPECT_FALSE(backend.OnActivated) << "a destroyed icon takes no more clicks";
}

TEST_F(TrayIconTest, NotificationsShowOnlyWhileTheIconIsInATray) {
    auto tray = SetUpLikeTheMainWindow();
    tray->ShowMessage(QStringLiteral("http://shop.example/ is down: Read Timeout"));
    EXPECT_EQ(backend.messages, QStringList{"Corvasse: http://shop.example/ is down: Read Timeout"});
    backend.available = false;
    tray->ShowMessage(QStringLiteral("http://shop.example/ is back up after 4 min"));
    tray->SetActive(false);
    backend.available = true;
    tray->ShowMessage(QStringLiteral("http://shop.example/ is back up after 4 min"));
    EXPECT_EQ(backend.messages.size(), 1);
}

TEST_F(TrayIconTest, ALeftClickRestoresTheWindowAndARightClickOpensTheExitMenu) {
    auto tray = SetUpLikeTheMainWindow();
    EXPECT_TRUE(window.isVisible());

    tray->SetWindowVisible(false);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(backend.shown);

    backend.Click(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(tray->WindowVisible());
    EXPECT_TRUE(backend.popups.empty()) << "the left menu is not opened when the click restores";

    backend.Click(QSystemTrayIcon::Context);
    ASSERT_EQ(backend.popups.size(), 1u);
    EXPECT_EQ(backend.popups[0].first, &rightMenu);
    EXPECT_EQ(backend.popups[0].second, backend.cursor);

    // Without a menu or a show flag, the middle button does nothing.
    backend.Click(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(backend.popups.size(), 1u);

    // Without the show flag the left button opens its menu instead.
    tray->SetShowOnLeftClick(false);
    tray->SetWindowVisible(false);
    backend.Click(QSystemTrayIcon::Trigger);
    ASSERT_EQ(backend.popups.size(), 2u);
    EXPECT_EQ(backend.popups[1].first, &leftMenu);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TrayIconTest, MinimizeAndRestoreAlternateCleanlyAnyNumberOfTimes) {
    auto tray = SetUpLikeTheMainWindow();
    for (int round = 0; round < 25; ++round) {
        if (round % 2 == 0) {
            tray->SetWindowVisible(false);  // File > Minimize
        } else {
            window.showMinimized();  // the title-bar button
        }
        ProcessEvents();
        ASSERT_FALSE(window.isVisible()) << round;
        ASSERT_TRUE(backend.shown) << round;

        backend.Click(QSystemTrayIcon::Trigger);
        ProcessEvents();
        ASSERT_TRUE(window.isVisible()) << round;
        ASSERT_FALSE(window.isMinimized()) << round;
    }
}

TEST_F(TrayIconTest, WithoutATrayTheWindowOnlyMinimisesAndIsNeverLost) {
    backend.available = false;
    auto tray = SetUpLikeTheMainWindow();
    EXPECT_FALSE(tray->CanHideToTray());

    tray->SetWindowVisible(false);
    ProcessEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());

    tray->SetWindowVisible(true);
    window.showMinimized();
    ProcessEvents();
    EXPECT_TRUE(window.isVisible());

    // Nor is a window hidden behind an icon that is not in the tray.
    backend.available = true;
    tray->SetActive(false);
    tray->SetWindowVisible(false);
    ProcessEvents();
    EXPECT_TRUE(window.isVisible());
}

TEST_F(TrayIconTest, AWindowThatStartsHiddenIsNeverPutOnTheScreenToHideIt) {
    ShowCounter counter;
    window.installEventFilter(&counter);
    auto tray = std::make_unique<TrayIcon>(&window, &backend);
    tray->SetIcon(SomeIcon());
    tray->SetActive(true);
    tray->SetWindowVisible(false);
    EXPECT_EQ(counter.shows, 0);
    EXPECT_FALSE(window.isVisible());

    tray->SetWindowVisible(true);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    tray->SetWindowVisible(false);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TrayIconTest, TheBaseRaisesMouseEventsWhileTheIconRaisesClicks) {
    std::vector<std::pair<Qt::MouseButton, QPoint>> downs;
    std::vector<std::pair<Qt::MouseButton, QPoint>> ups;
    int doubleClicks = 0;
    const auto record = [&](TrayIconBase& icon) {
        icon.OnMouseDown = [&](Qt::MouseButton button, const QPoint& pos) { downs.push_back({button, pos}); };
        icon.OnMouseUp = [&](Qt::MouseButton button, const QPoint& pos) { ups.push_back({button, pos}); };
        icon.OnDblClick = [&] { ++doubleClicks; };
    };
    {
        TrayIconBase base(&window, &backend);
        record(base);
        backend.Click(QSystemTrayIcon::Trigger);
        backend.Click(QSystemTrayIcon::Context);
        backend.Click(QSystemTrayIcon::MiddleClick);
        backend.Click(QSystemTrayIcon::DoubleClick);
        backend.Click(QSystemTrayIcon::Unknown);
    }
    const std::vector<std::pair<Qt::MouseButton, QPoint>> expected = {
        {Qt::LeftButton, backend.cursor}, {Qt::RightButton, backend.cursor}, {Qt::MiddleButton, backend.cursor}};
    EXPECT_EQ(downs, expected);
    EXPECT_EQ(ups, expected);
    EXPECT_EQ(doubleClicks, 1);

    downs.clear();
    ups.clear();
    int clicks = 0;
    TrayIcon tray(&window, &backend);
    record(tray);
    tray.OnClick = [&] { ++clicks; };
    backend.Click(QSystemTrayIcon::Trigger);
    backend.Click(QSystemTrayIcon::Context);
    backend.Click(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(downs.empty());
    EXPECT_TRUE(ups.empty());
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(doubleClicks, 2);
}

}  // namespace
}  // namespace corvasse

#include "ui/about_box.h"

#include "ui/app_icon.h"
#include "ui/smooth_label.h"
#include "ui/web_links.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <vector>

#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

// Stands in for the browser and the mail program.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

class AboutBoxTest : public test::QtTest {
protected:
    static constexpr const char* kSchemes[] = {"http", "https", "mailto"};

    void SetUp() override {
        for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
    }
    void TearDown() override {
        for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
    }

    UrlRecorder recorder;
};

TEST_F(AboutBoxTest, ShowsTheVersionInWhiteOnNavy) {
    AboutBox box;
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.windowTitle(), QStringLiteral("&About Corvasse"));
    EXPECT_EQ(box.size(), QSize(AboutBox::kWidthPx, AboutBox::kHeightPx));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);

    auto* heading = box.findChild<SmoothLabel*>(QStringLiteral("lblHeading"));
    auto* version = box.findChild<SmoothLabel*>(QStringLiteral("lblVersion"));
    ASSERT_TRUE(heading && version);
    EXPECT_EQ(heading->Caption(), QStringLiteral("Corvasse Version:"));
    EXPECT_EQ(version->Caption(), QStringLiteral("2.00"));
    EXPECT_EQ(version->font().pixelSize(), 21);
    EXPECT_EQ(version->font().family(), QStringLiteral("Arial"));

    QImage image(box.size(), QImage::Format_RGB32);
    box.render(&image);
    EXPECT_EQ(image.pixel(2, 2), qRgb(0, 0, 128));
    int white = 0;
    const QRect area = version->geometry();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            white += pixel == qRgb(255, 255, 255);
            ASSERT_TRUE(qRed(pixel) == qGreen(pixel) && qBlue(pixel) >= qRed(pixel)) << "not white over navy";
        }
    }
    EXPECT_GT(white, 20);

    auto* description = box.findChild<QLabel*>(QStringLiteral("lblDescription"));
    ASSERT_TRUE(description);
    EXPECT_TRUE(description->wordWrap());
    EXPECT_TRUE(description->text().contains(QStringLiteral("ping")));
}

TEST_F(AboutBoxTest, AboutTwiceShowsOneBox) {
    QWidget mainWindow;
    auto* box = new AboutBox(&mainWindow);
    const auto countBoxes = [] {
        int boxes = 0;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            boxes += qobject_cast<AboutBox*>(widget) != nullptr && widget->isVisible();
        }
        return boxes;
    };
    box->ShowAbout();
    EXPECT_TRUE(box->isVisible());
    box->showMinimized();
    box->ShowAbout();
    EXPECT_EQ(countBoxes(), 1);
    EXPECT_FALSE(box->isMinimized());
    EXPECT_FALSE(box->isModal());
}

TEST_F(AboutBoxTest, TheMailLinkAndTheWebPageOpenThroughTheDesktop) {
    AboutBox box;
    auto* mail = box.findChild<QLabel*>(QStringLiteral("lblMail"));
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->toolTip(), QStringLiteral("Send me an e-mail"));
    EXPECT_EQ(mail->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(mail->font().underline());
    EXPECT_EQ(mail->palette().color(QPalette::WindowText), QColor(0, 255, 255));

    const auto release = [mail](Qt::MouseButton button) {
        const QPointF inside(3, 3);
        QMouseEvent event(QEvent::MouseButtonRelease, inside, mail->mapToGlobal(inside), button, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(mail, &event);
    };
    release(Qt::RightButton);
    EXPECT_TRUE(recorder.opened.empty());
    release(Qt::LeftButton);
    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.opened[0], QUrl(QStringLiteral("mailto:corvasse@example.org")));

    OpenProductWebPage();
    ASSERT_EQ(recorder.opened.size(), 2u);
    EXPECT_EQ(recorder.opened[1], QUrl(QString::fromLatin1(kProductWebPageUrl)));
}

TEST_F(AboutBoxTest, TheApplicationIconIsBuiltIn) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(256, 256).size(), QSize(256, 256));
}

}  // namespace
}  // namespace corvasse

#include "about_box_test.moc"

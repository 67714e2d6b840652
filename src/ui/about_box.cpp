#include "ui/about_box.h"

#include "app/monitor/version.h"
#include "ui/smooth_label.h"
#include "ui/web_links.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace corvasse {
namespace {

constexpr int kMarginPx = 16;
constexpr int kHeadingFontPx = 21;
constexpr int kTextFontPx = 15;
const QColor kNavy(0, 0, 128);
const QColor kAqua(0, 255, 255);

QFont ArialPx(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    return font;
}

SmoothLabel* HeadingLabel(QWidget* parent, const QString& caption, const char* name) {
    auto* label = new SmoothLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(ArialPx(kHeadingFontPx));
    label->SetColor(kNavy);
    label->SetFontColor(Qt::white);
    label->SetCaption(caption);
    return label;
}

QLabel* TextLabel(QWidget* parent, const QString& text, const QColor& color, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(ArialPx(kTextFontPx));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

}  // namespace

AboutBox::AboutBox(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("&About Corvasse"));
    setFixedSize(kWidthPx, kHeightPx);
    QPalette navy = palette();
    navy.setColor(QPalette::Window, kNavy);
    setPalette(navy);
    setAutoFillBackground(true);
    CreateLabels();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void AboutBox::CreateLabels() {
    lblHeading_ = HeadingLabel(this, QStringLiteral("Corvasse Version:"), "lblHeading");
    lblHeading_->move(kMarginPx, kMarginPx);
    lblVersion_ = HeadingLabel(this, QString::fromLatin1(kVersion), "lblVersion");
    lblVersion_->move(lblHeading_->geometry().right() + 1 + kHeadingFontPx / 3, kMarginPx);

    const int textWidth = kWidthPx - 2 * kMarginPx;
    lblDescription_ = TextLabel(this,
                                QStringLiteral("Corvasse watches one web page for you. At a fixed interval it "
                                               "fetches the page and checks its size or looks for a text in it, "
                                               "and sends you an e-mail when the check fails. It works with "
                                               "static pages and with pages the server generates, over plain "
                                               "HTTP.\n\nInstead of checking the content, Corvasse can ping a "
                                               "host and log the response time."),
                                Qt::white, "lblDescription");
    lblDescription_->setWordWrap(true);
    lblDescription_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDescription_->setGeometry(kMarginPx, lblHeading_->geometry().bottom() + 1 + kMarginPx, textWidth, 190);

    lblCredit_ = TextLabel(this, QStringLiteral("Written by the Corvasse developers."), Qt::white, "lblCredit");
    lblCredit_->setGeometry(kMarginPx, kHeightPx - 3 * kMarginPx - 2 * kTextFontPx, textWidth, kTextFontPx + 6);

    lblMail_ = TextLabel(this, QString::fromLatin1(kAuthorMailAddress), kAqua, "lblMail");
    QFont underlined = lblMail_->font();
    underlined.setUnderline(true);
    lblMail_->setFont(underlined);
    lblMail_->setCursor(Qt::PointingHandCursor);
    lblMail_->setToolTip(QStringLiteral("Send me an e-mail"));
    lblMail_->adjustSize();
    lblMail_->move(kMarginPx, lblCredit_->geometry().bottom() + 1 + kMarginPx / 2);
    lblMail_->installEventFilter(this);
}

void AboutBox::ShowAbout() {
    if (isVisible()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        raise();
        activateWindow();
        return;
    }
    show();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblMail_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OpenAuthorMail();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace corvasse

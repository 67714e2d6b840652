#include "ui/app_icon.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

// The resources live in a static library, whose registration the linker
// would drop unless something refers to it.
static void InitResources() { Q_INIT_RESOURCE(corvasse); }

namespace corvasse {

QIcon AppIcon() {
    static const bool initialised = (InitResources(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/icons/corvasse.png"));
}

QIcon DownIcon() {
    constexpr int kSizePx = 64;
    QPixmap pixmap = AppIcon().pixmap(kSizePx, kSizePx);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, kSizePx / 16));
    painter.setBrush(QColor(0xd0, 0x10, 0x10));
    // A dot in the lower right corner, big enough to see at 16 pixels.
    painter.drawEllipse(QRect(kSizePx / 2, kSizePx / 2, kSizePx / 2 - 2, kSizePx / 2 - 2));
    painter.end();
    return QIcon(pixmap);
}

}  // namespace corvasse

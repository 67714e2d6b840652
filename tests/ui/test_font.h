#pragma once
// The About box's font family at a size in pixels, and the screen resolution
// the font tests rasterise at.

#include <QFont>
#include <QString>

namespace corvasse::test {

inline constexpr int kDpi = 96;

inline QFont Arial(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace corvasse::test

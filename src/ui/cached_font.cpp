#include "ui/cached_font.h"

#include "ui/fast_bitmap.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cmath>

namespace corvasse {
namespace {

constexpr double kInchesPerMetre = 1 / 0.0254;

// A blank image whose fonts measure as on a device of dpi pixels per inch.
QImage ImageAtDpi(int width, int height, int dpi) {
    QImage image(width, height, QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi * kInchesPerMetre));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

int PixelSizeAt(const QFont& font, int dpi) {
    if (font.pixelSize() > 0) {
        return font.pixelSize();
    }
    return static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0));
}

QFont Scaled(const QFont& font, int factor) {
    QFont scaled = font;
    if (font.pixelSize() > 0) {
        scaled.setPixelSize(font.pixelSize() * factor);
    } else {
        scaled.setPointSizeF(font.pointSizeF() * factor);
    }
    // The reduction does the smoothing; the big glyph is drawn in plain black.
    scaled.setStyleStrategy(QFont::NoAntialias);
    return scaled;
}

// Each output byte is the integer mean of the factor x factor input bytes of its block.
void Reduce(const FastBitmap& in, FastBitmap& out, int factor) {
    const int area = factor * factor;
    std::vector<int> sums(static_cast<size_t>(out.Width()) * 3);
    for (int y = 0; y < out.Height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = y * factor; row < (y + 1) * factor; ++row) {
            const uint8_t* p = in.Row(row);
            for (int x = 0; x < out.Width(); ++x) {
                int* sum = &sums[static_cast<size_t>(x) * 3];
                for (int k = 0; k < factor; ++k) {
                    sum[0] += *p++;
                    sum[1] += *p++;
                    sum[2] += *p++;
                }
            }
        }
        uint8_t* q = out.Row(y);
        for (int value : sums) {
            *q++ = static_cast<uint8_t>(value / area);
        }
    }
}

}  // namespace

CachedFont::CachedFont(const QFont& font, int dpi) : font_(font), renderFont_(font), dpi_(dpi) {
    if (PixelSizeAt(font, dpi) > kMaxPixelSize) {
        renderFont_.setPixelSize(kMaxPixelSize);
    }
}

bool CachedFont::Matches(const QFont& font, int dpi) const {
    return font.pixelSize() == font_.pixelSize() && font.pointSizeF() == font_.pointSizeF() &&
           font.family() == font_.family() && font.fixedPitch() == font_.fixedPitch() && dpi == dpi_ &&
           font.weight() == font_.weight() && font.italic() == font_.italic() &&
           font.underline() == font_.underline() && font.strikeOut() == font_.strikeOut();
}

int CachedFont::ScaleFactor(int textHeight) {
    if (textHeight < 51) {
        return 16;
    }
    if (textHeight < 101) {
        return 8;
    }
    return 4;
}

const Glyph& CachedFont::Rasterise(uint8_t ch) {
    Glyph& glyph = glyphs_[ch];
    const QImage probe = ImageAtDpi(1, 1, dpi_);
    const int height = QFontMetrics(renderFont_, &probe).height();
    const int factor = ScaleFactor(height);
    const QFont big = Scaled(renderFont_, factor);
    const QFontMetrics bigMetrics(big, &probe);
    const QString text(QChar(static_cast<char16_t>(ch)));
    const int bigWidth = bigMetrics.horizontalAdvance(text);
    const int width = std::max(0, static_cast<int>(static_cast<double>(bigWidth) / factor + 0.9));

    coverageBytes_ -= static_cast<int64_t>(glyph.coverage.size());
    glyph.width = width;
    glyph.height = height;
    glyph.coverage.assign(static_cast<size_t>(width) * static_cast<size_t>(std::max(height, 0)), 255);
    coverageBytes_ += static_cast<int64_t>(glyph.coverage.size());
    if (glyph.coverage.empty()) {
        return glyph;
    }

    QImage plain = ImageAtDpi(width * factor, height * factor, dpi_);
    plain.fill(Qt::white);
    {
        QPainter painter(&plain);
        painter.setFont(big);
        painter.setPen(Qt::black);
        if (big.underline()) {
            // A space ending at the cell's right edge carries the underline across the whole cell.
            const int spaceWidth = bigMetrics.horizontalAdvance(QLatin1Char(' '));
            painter.drawText(QPoint(plain.width() - spaceWidth / 2, bigMetrics.ascent()), QStringLiteral(" "));
        }
        painter.drawText(QPoint(0, bigMetrics.ascent()), text);
    }

    FastBitmap big24(plain.width(), plain.height());
    big24.CopyFrom(plain);
    FastBitmap small24(width, height);
    Reduce(big24, small24, factor);
    uint8_t* cell = glyph.coverage.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = small24.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            *cell++ = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
        }
    }
    return glyph;
}

}  // namespace corvasse

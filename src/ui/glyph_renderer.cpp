#include "ui/glyph_renderer.h"

#include "ui/glyph_cache.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <algorithm>

namespace corvasse {

GlyphRenderer::GlyphRenderer(GlyphCache& cache) : cache_(cache) {}

GlyphRenderer& GlyphRenderer::Shared() {
    static GlyphRenderer renderer(GlyphCache::Shared());
    return renderer;
}

uint8_t GlyphRenderer::Blend(uint8_t background, uint8_t font, uint8_t coverage) {
    if (coverage == 255) {
        return background;
    }
    if (coverage == 0) {
        return font;
    }
    return static_cast<uint8_t>((background * coverage + font * (255 - coverage)) >> 8);
}

void GlyphRenderer::Reserve(int width, int height) {
    if (!composition_) {
        composition_.emplace(kInitialWidthPx, kInitialHeightPx);
        output_.emplace(kInitialWidthPx, kInitialHeightPx);
    }
    if (width > composition_->Width() || height > composition_->Height()) {
        width = std::max(width, composition_->Width());
        height = std::max(height, composition_->Height());
        composition_.emplace(width, height);
        output_.emplace(width, height);
    }
}

// Writes the coverage of the width x height window at (skipX, skipY) of the
// run into all three bytes of the composition bitmap's pixels.
void GlyphRenderer::Compose(int slot, std::string_view text, int skipX, int skipY, int width, int height) {
    composition_->Fill(width, height, 255, 255, 255);
    int left = -skipX;
    for (char ch : text) {
        if (left >= width) {
            break;
        }
        const Glyph& glyph = cache_.GlyphOf(slot, static_cast<uint8_t>(ch));
        const int from = std::max(0, -left);
        const int to = std::min(glyph.width, width - left);
        const int rows = std::min(glyph.height - skipY, height);
        for (int y = 0; y < rows && from < to; ++y) {
            const uint8_t* cell = glyph.coverage.data() + static_cast<size_t>(y + skipY) * glyph.width;
            uint8_t* p = composition_->Row(y) + 3 * (left + from);
            for (int x = from; x < to; ++x) {
                *p++ = cell[x];
                *p++ = cell[x];
                *p++ = cell[x];
            }
        }
        left += glyph.width;
    }
}

int64_t GlyphRenderer::DrawRun(QPainter& canvas, const QRect& visible, const RunStyle& style, std::string_view text,
                               int x, int y, RunAlignment alignment) {
    const int slot = cache_.FontSlot(style.font, style.dpi);
    const int height = text.empty() ? 0 : cache_.TextHeight(slot, text);
    const int64_t width = cache_.TextWidth(slot, text);
    if (alignment == RunAlignment::Right) {
        x = static_cast<int>(std::max<int64_t>(x - width, INT32_MIN));
    } else if (alignment == RunAlignment::Center) {
        x = static_cast<int>(std::max<int64_t>(x - width / 2, INT32_MIN));
        y -= height / 2;
    }
    // The run may be far wider than any canvas; clip it before anything is allocated.
    const int64_t left = std::max<int64_t>(x, visible.left());
    const int64_t right = std::min<int64_t>(int64_t{x} + width, int64_t{visible.left()} + visible.width());
    const int64_t top = std::max<int64_t>(y, visible.top());
    const int64_t bottom = std::min<int64_t>(int64_t{y} + height, int64_t{visible.top()} + visible.height());
    if (left >= right || top >= bottom) {
        return width;
    }
    const QRect target(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                       static_cast<int>(bottom - top));

    Reserve(target.width(), target.height());
    Compose(slot, text, target.left() - x, target.top() - y, target.width(), target.height());

    const uint8_t fontBgr[3] = {static_cast<uint8_t>(style.fontColor.blue()),
                                static_cast<uint8_t>(style.fontColor.green()),
                                static_cast<uint8_t>(style.fontColor.red())};
    const QRect source(0, 0, target.width(), target.height());
    if (style.brush) {
        output_->Fill(target.width(), target.height(), static_cast<uint8_t>(style.brush->red()),
                      static_cast<uint8_t>(style.brush->green()), static_cast<uint8_t>(style.brush->blue()));
        for (int row = 0; row < target.height(); ++row) {
            const uint8_t* c = composition_->Row(row);
            uint8_t* p = output_->Row(row);
            for (int i = 0; i < 3 * target.width(); ++i) {
                p[i] = Blend(p[i], fontBgr[i % 3], c[i]);
            }
        }
        canvas.drawImage(target.topLeft(), output_->View(), source);
        return width;
    }

    // A widget's pixels cannot be read back, so the painter does the blend:
    // multiplying by the coverage keeps the background's share, and adding the
    // font's share completes the same weighted mean.
    for (int row = 0; row < target.height(); ++row) {
        const uint8_t* c = composition_->Row(row);
        uint8_t* p = output_->Row(row);
        for (int i = 0; i < 3 * target.width(); ++i) {
            p[i] = c[i] == 0 ? fontBgr[i % 3] : static_cast<uint8_t>((fontBgr[i % 3] * (255 - c[i])) >> 8);
        }
    }
    const QPainter::CompositionMode mode = canvas.compositionMode();
    canvas.setCompositionMode(QPainter::CompositionMode_Multiply);
    canvas.drawImage(target.topLeft(), composition_->View(), source);
    canvas.setCompositionMode(QPainter::CompositionMode_Plus);
    canvas.drawImage(target.topLeft(), output_->View(), source);
    canvas.setCompositionMode(mode);
    return width;
}

}  // namespace corvasse

#pragma once
// Draws runs of text from the glyph cache: composes the coverage maps of a
// run in a work bitmap, then blends the font colour over a solid brush or
// over what the canvas already shows.

#include "ui/fast_bitmap.h"

#include <QColor>
#include <QFont>
#include <cstdint>
#include <optional>
#include <string_view>

class QPainter;
class QRect;

namespace corvasse {

class GlyphCache;

// How a run is placed relative to its anchor point.
enum class RunAlignment {
    None,    // the anchor is the run's top-left corner
    Right,   // the anchor is the run's top-right corner
    Center,  // the anchor is the run's centre
};

// What a run is drawn with. Without a brush the canvas shows through.
struct RunStyle {
    QFont font;
    int dpi = 96;
    QColor fontColor = Qt::black;
    std::optional<QColor> brush;
};

class GlyphRenderer {
public:
    static constexpr int kInitialWidthPx = 100;
    static constexpr int kInitialHeightPx = 24;

    explicit GlyphRenderer(GlyphCache& cache);
    GlyphRenderer(const GlyphRenderer&) = delete;
    GlyphRenderer& operator=(const GlyphRenderer&) = delete;

    // The renderer of the shared glyph cache, with the shared work bitmaps.
    static GlyphRenderer& Shared();

    GlyphCache& Cache() { return cache_; }

    // Draws the single-byte text at (x, y) on canvas and returns its width.
    // Only the part inside visible is composed and drawn, so the work bitmaps
    // never grow past it.
    int64_t DrawRun(QPainter& canvas, const QRect& visible, const RunStyle& style, std::string_view text, int x, int y,
                    RunAlignment alignment);

    // One colour byte of a blended pixel: the background where coverage is 255,
    // the font where it is 0, their weighted mean in between.
    static uint8_t Blend(uint8_t background, uint8_t font, uint8_t coverage);

    // Current size of the work bitmaps, which only grow.
    int WorkWidth() const { return composition_ ? composition_->Width() : 0; }
    int WorkHeight() const { return composition_ ? composition_->Height() : 0; }

private:
    void Reserve(int width, int height);
    void Compose(int slot, std::string_view text, int skipX, int skipY, int width, int height);

    GlyphCache& cache_;
    std::optional<FastBitmap> composition_;
    std::optional<FastBitmap> output_;
};

}  // namespace corvasse

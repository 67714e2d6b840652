#pragma once
// One font of the glyph cache: a private copy of the font and, for each of the
// 256 single-byte character codes, the glyph's size and its coverage map.

#include <QFont>
#include <array>
#include <cstdint>
#include <vector>

namespace corvasse {

// A rasterised character: width x height coverage bytes, row by row, 255 where
// the cell is untouched paper and 0 where it is fully inked.
struct Glyph {
    int width = -1;
    int height = -1;
    std::vector<uint8_t> coverage;

    bool Rasterised() const { return width != -1 || height != -1; }
};

class CachedFont {
public:
    // Largest pixel size a glyph is rasterised at; larger fonts are drawn at
    // this size, which bounds the rasterising bitmap to a few megabytes.
    static constexpr int kMaxPixelSize = 256;

    // Copies font, measured on a device of dpi pixels per inch. No glyph is
    // rasterised yet.
    CachedFont(const QFont& font, int dpi);

    // Whether font at dpi is this cached font: same pixel and point size, family
    // name, pitch, dpi and style. The colour is not part of a QFont.
    bool Matches(const QFont& font, int dpi) const;

    const QFont& Font() const { return font_; }
    int Dpi() const { return dpi_; }

    // The glyph of character code ch; Rasterised() is false until Rasterise(ch).
    const Glyph& GlyphAt(uint8_t ch) const { return glyphs_[ch]; }

    // Rasterises character code ch (a Latin-1 character) at 16, 8 or 4 times
    // the font's size and reduces it to its coverage map.
    const Glyph& Rasterise(uint8_t ch);

    // Coverage bytes held by all rasterised glyphs.
    int64_t CoverageBytes() const { return coverageBytes_; }

    // The factor a font is rasterised at, chosen by its text height.
    static int ScaleFactor(int textHeight);

private:
    QFont font_;
    QFont renderFont_;
    int dpi_;
    std::array<Glyph, 256> glyphs_;
    int64_t coverageBytes_ = 0;
};

}  // namespace corvasse

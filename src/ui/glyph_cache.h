#pragma once
// The process-wide cache of rasterised glyphs: up to 1000 fonts, each with its
// 256 coverage maps, aiming at 1,000,000 coverage bytes in all and evicting
// whole fonts round-robin when a new font needs room.

#include "ui/cached_font.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace corvasse {

class GlyphCache {
public:
    static constexpr int kSlotCount = 1000;
    static constexpr int64_t kBudgetBytes = 1'000'000;

    GlyphCache() = default;
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    // The cache every anti-aliased label shares.
    static GlyphCache& Shared();

    // The number (1 to 1000) of the slot that holds font at dpi, adding the font
    // when no slot holds it. Adding may evict another slot's font, so a slot
    // number is good only until the next call.
    int FontSlot(const QFont& font, int dpi);

    // Glyph ch of the font in slot, rasterised on first use. The reference is
    // good until the next FontSlot call.
    const Glyph& GlyphOf(int slot, uint8_t ch);

    // Sum of the glyph widths of text's characters.
    int64_t TextWidth(int slot, std::string_view text);
    // Mean of the glyph heights of text's characters, rounded; an empty text
    // measures as "X".
    int TextHeight(int slot, std::string_view text);

    // What the cache has done, for callers that watch its cost.
    int64_t GlyphsRasterised() const { return glyphsRasterised_; }
    int64_t FontsEvicted() const { return fontsEvicted_; }
    // The slot evicted last, 0 before the first eviction.
    int EvictionCursor() const { return cursor_; }
    // Coverage bytes of all rasterised glyphs of all occupied slots.
    int64_t CoverageBytes() const;
    // The font in slot, or null when the slot is free.
    const CachedFont* FontIn(int slot) const { return slots_[static_cast<size_t>(slot - 1)].get(); }

private:
    std::unique_ptr<CachedFont>& Slot(int slot) { return slots_[static_cast<size_t>(slot - 1)]; }
    int Evict();

    std::array<std::unique_ptr<CachedFont>, kSlotCount> slots_;
    int cursor_ = 0;
    int64_t glyphsRasterised_ = 0;
    int64_t fontsEvicted_ = 0;
};

}  // namespace corvasse

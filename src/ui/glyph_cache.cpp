#include "ui/glyph_cache.h"

#include <cmath>

namespace corvasse {

GlyphCache& GlyphCache::Shared() {
    static GlyphCache cache;
    return cache;
}

int64_t GlyphCache::CoverageBytes() const {
    int64_t total = 0;
    for (const auto& font : slots_) {
        if (font) {
            total += font->CoverageBytes();
        }
    }
    return total;
}

int GlyphCache::FontSlot(const QFont& font, int dpi) {
    // Fonts fill the slots from 1 upwards and an evicted slot is refilled at
    // once, so the occupied slots always form one run starting at slot 1.
    int slot = 1;
    for (; slot <= kSlotCount && Slot(slot); ++slot) {
        if (Slot(slot)->Matches(font, dpi)) {
            return slot;
        }
    }

    const int64_t used = CoverageBytes();
    for (slot = 1; slot <= kSlotCount && Slot(slot); ++slot) {
        if (slot == kSlotCount) {
            slot = Evict();
            break;
        }
        if (cursor_ != 0 && slot != cursor_) {
            continue;
        }
        if (used > kBudgetBytes) {
            slot = Evict();
            break;
        }
    }
    Slot(slot) = std::make_unique<CachedFont>(font, dpi);
    return slot;
}

int GlyphCache::Evict() {
    int next = cursor_;
    do {
        next = next % kSlotCount + 1;
    } while (!Slot(next));
    cursor_ = next;
    Slot(next).reset();
    ++fontsEvicted_;
    return next;
}

const Glyph& GlyphCache::GlyphOf(int slot, uint8_t ch) {
    CachedFont& font = *Slot(slot);
    if (!font.GlyphAt(ch).Rasterised()) {
        ++glyphsRasterised_;
        return font.Rasterise(ch);
    }
    return font.GlyphAt(ch);
}

int64_t GlyphCache::TextWidth(int slot, std::string_view text) {
    int64_t width = 0;
    for (char ch : text) {
        width += GlyphOf(slot, static_cast<uint8_t>(ch)).width;
    }
    return width;
}

int GlyphCache::TextHeight(int slot, std::string_view text) {
    if (text.empty()) {
        text = "X";
    }
    int64_t sum = 0;
    for (char ch : text) {
        sum += GlyphOf(slot, static_cast<uint8_t>(ch)).height;
    }
    return static_cast<int>(std::llround(static_cast<double>(sum) / static_cast<double>(text.size())));
}

}  // namespace corvasse

#include "ui/glyph_cache.h"

#include <gtest/gtest.h>

#include "ui/qt_test_app.h"
#include "ui/test_font.h"

namespace corvasse {
namespace {

using test::Arial;
using test::kDpi;

// Rasterises enough capitals of a big font to put about 260,000 coverage bytes in its slot.
void FillSlot(GlyphCache& cache, int slot) {
    for (char ch = 'A'; ch <= 'Z' && cache.FontIn(slot)->CoverageBytes() < 260'000; ++ch) {
        cache.GlyphOf(slot, static_cast<uint8_t>(ch));
    }
}

class GlyphCacheTest : public test::QtTest {
protected:
    GlyphCache cache;
};

TEST_F(GlyphCacheTest, FindsAnEqualFontAndRasterisesEachGlyphOnce) {
    const int slot = cache.FontSlot(Arial(21), kDpi);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(cache.FontSlot(Arial(21), kDpi), 1);
    EXPECT_EQ(cache.FontSlot(Arial(22), kDpi), 2);
    EXPECT_EQ(cache.FontSlot(Arial(21), 120), 3);

    EXPECT_EQ(cache.TextWidth(1, "Hello"), cache.TextWidth(1, "Hello"));
    EXPECT_EQ(cache.GlyphsRasterised(), 4);  // H, e, l, o
    EXPECT_EQ(cache.TextWidth(1, "lol"), 2 * cache.GlyphOf(1, 'l').width + cache.GlyphOf(1, 'o').width);
    EXPECT_EQ(cache.GlyphsRasterised(), 4);
    EXPECT_EQ(cache.TextWidth(1, ""), 0);
}

TEST_F(GlyphCacheTest, TextHeightIsTheGlyphHeightAndAnEmptyTextMeasuresAsX) {
    const int slot = cache.FontSlot(Arial(21), kDpi);
    const int height = cache.TextHeight(slot, "");
    EXPECT_EQ(height, cache.GlyphOf(slot, 'X').height);
    EXPECT_EQ(cache.TextHeight(slot, "gj.'"), height);
}

TEST_F(GlyphCacheTest, UnderBudgetNewFontsTakeFreeSlots) {
    for (int size = 10; size < 20; ++size) {
        EXPECT_EQ(cache.FontSlot(Arial(size), kDpi), size - 9);
    }
    EXPECT_EQ(cache.FontsEvicted(), 0);
    EXPECT_EQ(cache.EvictionCursor(), 0);
}

TEST_F(GlyphCacheTest, OverBudgetNewFontsEvictRoundRobinFromSlotOne) {
    for (int slot = 1; slot <= 4; ++slot) {
        ASSERT_EQ(cache.FontSlot(Arial(200 + slot), kDpi), slot);
        FillSlot(cache, slot);
    }
    ASSERT_GT(cache.CoverageBytes(), GlyphCache::kBudgetBytes);

    EXPECT_EQ(cache.FontSlot(Arial(21), kDpi), 1);
    EXPECT_EQ(cache.EvictionCursor(), 1);
    EXPECT_TRUE(cache.FontIn(1)->Matches(Arial(21), kDpi));
    EXPECT_LT(cache.CoverageBytes(), GlyphCache::kBudgetBytes + 1);

    // Back under budget: the next font goes to the first free slot and evicts nothing.
    EXPECT_EQ(cache.FontSlot(Arial(205), kDpi), 5);
    EXPECT_EQ(cache.FontsEvicted(), 1);

    // Over budget again: the slot after the cursor goes next.
    FillSlot(cache, 5);
    ASSERT_GT(cache.CoverageBytes(), GlyphCache::kBudgetBytes);
    EXPECT_EQ(cache.FontSlot(Arial(23), kDpi), 2);
    EXPECT_EQ(cache.EvictionCursor(), 2);
    EXPECT_EQ(cache.FontsEvicted(), 2);

    // The evicted font comes back as a new one and rasterises afresh.
    const int64_t before = cache.GlyphsRasterised();
    const int slot = cache.FontSlot(Arial(201), kDpi);
    cache.GlyphOf(slot, 'A');
    EXPECT_EQ(cache.GlyphsRasterised(), before + 1);
}

TEST_F(GlyphCacheTest, AFullCacheEvictsRoundRobinAndWraps) {
    for (int i = 1; i <= GlyphCache::kSlotCount; ++i) {
        ASSERT_EQ(cache.FontSlot(Arial(i), kDpi), i);
    }
    EXPECT_EQ(cache.FontSlot(Arial(2001), kDpi), 1);
    EXPECT_EQ(cache.FontSlot(Arial(2002), kDpi), 2);
    EXPECT_EQ(cache.FontSlot(Arial(2003), kDpi), 3);
    EXPECT_EQ(cache.EvictionCursor(), 3);
    // A font still cached is found where it is.
    EXPECT_EQ(cache.FontSlot(Arial(500), kDpi), 500);
    EXPECT_EQ(cache.FontSlot(Arial(2001), kDpi), 1);
    for (int i = 4; i <= GlyphCache::kSlotCount; ++i) {
        cache.FontSlot(Arial(3000 + i), kDpi);
    }
    EXPECT_EQ(cache.EvictionCursor(), GlyphCache::kSlotCount);
    EXPECT_EQ(cache.FontSlot(Arial(5000), kDpi), 1);
    EXPECT_EQ(cache.FontsEvicted(), GlyphCache::kSlotCount + 1);
}

}  // namespace
}  // namespace corvasse

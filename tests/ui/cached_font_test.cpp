#include "ui/cached_font.h"

#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QImage>
#include <algorithm>
#include <utility>

#include "ui/qt_test_app.h"
#include "ui/test_font.h"

namespace corvasse {
namespace {

using test::Arial;
using test::kDpi;

uint8_t At(const Glyph& glyph, int x, int y) { return glyph.coverage[static_cast<size_t>(y * glyph.width + x)]; }

int DarkestInRow(const Glyph& glyph, int y) {
    int darkest = 255;
    for (int x = 0; x < glyph.width; ++x) {
        darkest = std::min<int>(darkest, At(glyph, x, y));
    }
    return darkest;
}

using CachedFontTest = test::QtTest;

TEST_F(CachedFontTest, ChoosesTheFactorByTextHeight) {
    for (const auto& [height, factor] : {std::pair{24, 16}, {50, 16}, {51, 8}, {100, 8}, {101, 4}}) {
        EXPECT_EQ(CachedFont::ScaleFactor(height), factor) << height;
    }
    // The About box's 21-pixel Arial is rasterised at 16 times its size.
    CachedFont font(Arial(21), kDpi);
    const Glyph& x = font.Rasterise('X');
    EXPECT_LT(x.height, 51);
    EXPECT_EQ(CachedFont::ScaleFactor(x.height), 16);
}

TEST_F(CachedFontTest, GlyphsStartUnrasterisedAndTakeTheFontsHeightAndScaledWidth) {
    const QFont arial = Arial(21);
    CachedFont font(arial, kDpi);
    EXPECT_FALSE(font.GlyphAt('I').Rasterised());
    EXPECT_EQ(font.GlyphAt('I').width, -1);

    const Glyph& glyph = font.Rasterise('W');
    QImage probe(1, 1, QImage::Format_RGB32);
    probe.setDotsPerMeterX(3780);
    probe.setDotsPerMeterY(3780);
    EXPECT_EQ(glyph.height, QFontMetrics(arial, &probe).height());
    QFont big = arial;
    big.setPixelSize(21 * 16);
    const int bigAdvance = QFontMetrics(big, &probe).horizontalAdvance(QLatin1Char('W'));
    EXPECT_EQ(glyph.width, static_cast<int>(bigAdvance / 16.0 + 0.9));
    EXPECT_EQ(glyph.coverage.size(), static_cast<size_t>(glyph.width * glyph.height));
    EXPECT_EQ(font.CoverageBytes(), static_cast<int64_t>(glyph.coverage.size()));
}

TEST_F(CachedFontTest, CoverageIsPaperAroundTheInkAndDarkWhereTheStrokeCoversACell) {
    CachedFont font(Arial(21), kDpi);
    const Glyph& bar = font.Rasterise('I');
    ASSERT_GT(bar.width, 0);
    // Above the capital's top and below the baseline the cell is untouched paper.
    EXPECT_EQ(DarkestInRow(bar, 0), 255);
    EXPECT_EQ(DarkestInRow(bar, bar.height - 1), 255);
    // Across the stem at half the cap height some cell is fully inked,
    // and the stem has paper on its left.
    const int middle = bar.height / 2;
    EXPECT_EQ(DarkestInRow(bar, middle), 0);
    EXPECT_EQ(At(bar, 0, middle), 255);

    const Glyph& space = font.Rasterise(' ');
    EXPECT_TRUE(std::all_of(space.coverage.begin(), space.coverage.end(), [](uint8_t c) { return c == 255; }));

    // A diagonal stroke leaves partly covered cells: grey levels between.
    const Glyph& slash = font.Rasterise('/');
    EXPECT_TRUE(std::any_of(slash.coverage.begin(), slash.coverage.end(), [](uint8_t c) { return c > 0 && c < 255; }));
}

TEST_F(CachedFontTest, AnUnderlinedGlyphCarriesItsUnderlineToTheCellsRightEdge) {
    QFont underlined = Arial(21);
    underlined.setUnderline(true);
    CachedFont plain(Arial(21), kDpi);
    CachedFont marked(underlined, kDpi);
    const Glyph& normal = plain.Rasterise('i');
    const Glyph& withLine = marked.Rasterise('i');
    ASSERT_EQ(normal.width, withLine.width);
    ASSERT_EQ(normal.height, withLine.height);

    int underlineRow = -1;
    for (int y = 0; y < withLine.height; ++y) {
        if (DarkestInRow(normal, y) == 255 && At(withLine, 0, y) < 128 && At(withLine, withLine.width - 1, y) < 128) {
            underlineRow = y;
        }
    }
    EXPECT_GE(underlineRow, withLine.height / 2) << "no row is inked from edge to edge below the letter";
}

TEST_F(CachedFontTest, MatchesOnSizeNameStyleAndDpi) {
    const QFont arial = Arial(21);
    CachedFont font(arial, kDpi);
    EXPECT_TRUE(font.Matches(Arial(21), kDpi));
    EXPECT_FALSE(font.Matches(Arial(22), kDpi));
    EXPECT_FALSE(font.Matches(arial, 120));
    QFont bold = arial;
    bold.setBold(true);
    EXPECT_FALSE(font.Matches(bold, kDpi));
    QFont underlined = arial;
    underlined.setUnderline(true);
    EXPECT_FALSE(font.Matches(underlined, kDpi));
    QFont other = arial;
    other.setFamily(QStringLiteral("arial"));
    EXPECT_FALSE(font.Matches(other, kDpi));
    QFont points(QStringLiteral("Arial"), 16);
    EXPECT_FALSE(font.Matches(points, kDpi));
}

TEST_F(CachedFontTest, AnyFontSizeGivesABoundedGlyph) {
    CachedFont huge(Arial(5000), kDpi);
    const Glyph& w = huge.Rasterise('W');
    EXPECT_GT(w.height, CachedFont::kMaxPixelSize / 2);
    EXPECT_LT(w.height, CachedFont::kMaxPixelSize * 2);
    EXPECT_LT(w.width, CachedFont::kMaxPixelSize * 2);

    QFont tiny(QStringLiteral("Arial"));
    tiny.setPointSizeF(0.5);
    CachedFont small(tiny, kDpi);
    for (int ch = 0; ch < 256; ++ch) {
        const Glyph& glyph = small.Rasterise(static_cast<uint8_t>(ch));
        EXPECT_GE(glyph.width, 0);
        EXPECT_EQ(glyph.coverage.size(), static_cast<size_t>(glyph.width * glyph.height));
    }
}

}  // namespace
}  // namespace corvasse

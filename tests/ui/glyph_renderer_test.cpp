#include "ui/glyph_renderer.h"

#include "ui/glyph_cache.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <string>

#include "ui/qt_test_app.h"
#include "ui/test_font.h"

namespace corvasse {
namespace {

using test::kDpi;
const QRgb kUntouched = qRgb(255, 0, 255);

RunStyle Style(std::optional<QColor> brush) {
    RunStyle style;
    style.font = test::Arial(21);
    style.dpi = kDpi;
    style.fontColor = QColor(200, 50, 10);
    style.brush = brush;
    return style;
}

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kUntouched);
    return image;
}

// The smallest rectangle holding every pixel that is no longer kUntouched.
QRect Touched(const QImage& image) {
    QRect touched;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != kUntouched) {
                touched |= QRect(x, y, 1, 1);
            }
        }
    }
    return touched;
}

class GlyphRendererTest : public test::QtTest {
protected:
    int64_t Draw(QImage& image, const RunStyle& style, std::string_view text, int x, int y,
                 RunAlignment alignment = RunAlignment::None) {
        QPainter painter(&image);
        return renderer.DrawRun(painter, image.rect(), style, text, x, y, alignment);
    }
    const Glyph& GlyphOf(const RunStyle& style, char ch) {
        return cache.GlyphOf(cache.FontSlot(style.font, style.dpi), static_cast<uint8_t>(ch));
    }

    GlyphCache cache;
    GlyphRenderer renderer{cache};
};

TEST(GlyphBlendTest, WeighsBackgroundByCoverageAndFontByTheRest) {
    // {background, font, coverage, blend}
    const int rows[][4] = {{17, 230, 255, 17}, {17, 230, 0, 230},  {200, 0, 128, 100}, {0, 255, 128, 126},
                           {255, 255, 1, 254}, {255, 0, 254, 253}, {0, 255, 1, 253}};
    for (const auto& row : rows) {
        EXPECT_EQ(GlyphRenderer::Blend(row[0], row[1], row[2]), row[3]) << row[0] << "," << row[1] << "," << row[2];
    }
}

TEST_F(GlyphRendererTest, OverABrushEachPixelIsTheBlendOfBrushAndFontByCoverage) {
    const RunStyle style = Style(QColor(0, 0, 128));
    QImage image = Canvas(60, 40);
    const int64_t width = Draw(image, style, "W", 5, 7);
    const Glyph& glyph = GlyphOf(style, 'W');
    EXPECT_EQ(width, glyph.width);
    EXPECT_EQ(Touched(image), QRect(5, 7, glyph.width, glyph.height));
    bool sawInk = false;
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            const uint8_t c = glyph.coverage[static_cast<size_t>(y * glyph.width + x)];
            const QRgb pixel = image.pixel(5 + x, 7 + y);
            ASSERT_EQ(qRed(pixel), GlyphRenderer::Blend(0, 200, c)) << x << "," << y;
            ASSERT_EQ(qGreen(pixel), GlyphRenderer::Blend(0, 50, c)) << x << "," << y;
            ASSERT_EQ(qBlue(pixel), GlyphRenderer::Blend(128, 10, c)) << x << "," << y;
            sawInk = sawInk || c == 0;
        }
    }
    EXPECT_TRUE(sawInk);
}

TEST_F(GlyphRendererTest, WithoutABrushTheFontBlendsOverTheCanvas) {
    const RunStyle style = Style(std::nullopt);
    QImage image(60, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 4, 255 - y * 6, 90));
        }
    }
    const QImage before = image.copy();
    Draw(image, style, "Wg", 3, 4);
    const Glyph& w = GlyphOf(style, 'W');
    const Glyph& g = GlyphOf(style, 'g');
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            int c = 255;
            if (y >= 4 && y < 4 + w.height && x >= 3 && x < 3 + w.width + g.width) {
                const Glyph& glyph = x < 3 + w.width ? w : g;
                const int column = x < 3 + w.width ? x - 3 : x - 3 - w.width;
                c = glyph.coverage[static_cast<size_t>((y - 4) * glyph.width + column)];
            }
            const QRgb under = before.pixel(x, y);
            const QRgb pixel = image.pixel(x, y);
            ASSERT_LE(std::abs(qRed(pixel) - GlyphRenderer::Blend(qRed(under), 200, c)), 1) << x << "," << y;
            ASSERT_LE(std::abs(qGreen(pixel) - GlyphRenderer::Blend(qGreen(under), 50, c)), 1) << x << "," << y;
            ASSERT_LE(std::abs(qBlue(pixel) - GlyphRenderer::Blend(qBlue(under), 10, c)), 1) << x << "," << y;
        }
    }
}

TEST_F(GlyphRendererTest, AlignmentPlacesTheRunByItsRightEdgeOrCentre) {
    const RunStyle style = Style(QColor(Qt::white));
    const int width = static_cast<int>(cache.TextWidth(cache.FontSlot(style.font, style.dpi), "Hi"));
    const int height = GlyphOf(style, 'H').height;

    QImage right = Canvas(100, 60);
    Draw(right, style, "Hi", 80, 10, RunAlignment::Right);
    EXPECT_EQ(Touched(right), QRect(80 - width, 10, width, height));

    QImage centre = Canvas(100, 60);
    Draw(centre, style, "Hi", 50, 30, RunAlignment::Center);
    EXPECT_EQ(Touched(centre), QRect(50 - width / 2, 30 - height / 2, width, height));

    QImage empty = Canvas(100, 60);
    EXPECT_EQ(Draw(empty, style, "", 50, 30, RunAlignment::Center), 0);
    EXPECT_TRUE(Touched(empty).isNull());
}

TEST_F(GlyphRendererTest, ARunIsClippedToTheVisibleAreaBeforeTheWorkBitmapsGrow) {
    const RunStyle style = Style(QColor(Qt::white));
    QImage image = Canvas(60, 30);
    const std::string longText(20'000, 'M');
    const int64_t width = Draw(image, style, longText, -1'000, 2);
    EXPECT_EQ(width, 20'000 * int64_t{GlyphOf(style, 'M').width});
    EXPECT_EQ(Touched(image), QRect(0, 2, 60, GlyphOf(style, 'M').height));
    EXPECT_EQ(renderer.WorkWidth(), GlyphRenderer::kInitialWidthPx);
    EXPECT_EQ(renderer.WorkHeight(), GlyphRenderer::kInitialHeightPx);

    QImage offCanvas = Canvas(60, 30);
    Draw(offCanvas, style, longText, 0, 500);
    EXPECT_TRUE(Touched(offCanvas).isNull());
}

TEST_F(GlyphRendererTest, WorkBitmapsGrowToTheLargestRunAndNeverShrink) {
    RunStyle style = Style(QColor(Qt::white));
    QImage image = Canvas(400, 200);
    const int64_t wide = Draw(image, style, "A rather long line of text", 0, 0);
    ASSERT_GT(wide, GlyphRenderer::kInitialWidthPx);
    EXPECT_EQ(renderer.WorkWidth(), wide);
    EXPECT_EQ(renderer.WorkHeight(), GlyphRenderer::kInitialHeightPx);

    style.font.setPixelSize(60);
    Draw(image, style, "Tall", 0, 0);
    EXPECT_EQ(renderer.WorkWidth(), wide);
    EXPECT_EQ(renderer.WorkHeight(), GlyphOf(style, 'T').height);

    style.font.setPixelSize(8);
    Draw(image, style, "x", 0, 0);
    EXPECT_EQ(renderer.WorkWidth(), wide);
    EXPECT_GT(renderer.WorkHeight(), GlyphRenderer::kInitialHeightPx);
}

}  // namespace
}  // namespace corvasse

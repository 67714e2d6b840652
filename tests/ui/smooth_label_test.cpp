#include "ui/smooth_label.h"

#include "ui/glyph_cache.h"
#include "ui/glyph_renderer.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPalette>
#include <optional>
#include <vector>

#include "ui/qt_test_app.h"
#include "ui/test_font.h"

namespace corvasse {
namespace {

const QRgb kPaper = qRgb(255, 255, 255);

using test::Arial;
using test::kDpi;

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(qRgb(255, 0, 255));
    widget.render(&image);
    return image;
}

// Top rows of the bands of rows that hold any pixel other than paper.
std::vector<int> InkedBands(const QImage& image) {
    std::vector<int> bands;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < image.width() && !inked; ++x) inked = image.pixel(x, y) != kPaper;
        if (inked && !inBand) bands.push_back(y);
        inBand = inked;
    }
    return bands;
}

// The columns in which two images of one size differ, as [first, last]; {-1, -1} when equal.
std::pair<int, int> DifferingColumns(const QImage& a, const QImage& b) {
    std::pair<int, int> columns{-1, -1};
    for (int x = 0; x < a.width(); ++x) {
        for (int y = 0; y < a.height(); ++y) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                if (columns.first < 0) columns.first = x;
                columns.second = x;
                break;
            }
        }
    }
    return columns;
}

class SmoothLabelTest : public test::QtTest {
protected:
    // A fixed-size label on paper, black text, drawn by this test's own cache.
    std::unique_ptr<SmoothLabel> Label(const QString& caption, int width = 200, int height = 30) {
        auto label = std::make_unique<SmoothLabel>(nullptr, &renderer);
        label->SetAutoSize(false);
        label->setFont(Arial(21));
        label->SetColor(Qt::white);
        label->SetFontColor(Qt::black);
        label->resize(width, height);
        label->SetCaption(caption);
        return label;
    }
    int Width(std::string_view text) {
        return static_cast<int>(cache.TextWidth(cache.FontSlot(Arial(21), kDpi), text));
    }
    int LineHeight() { return cache.TextHeight(cache.FontSlot(Arial(21), kDpi), "X"); }

    GlyphCache cache;
    GlyphRenderer renderer{cache};
};

TEST_F(SmoothLabelTest, PaintingTheSameLabelTwiceRasterisesNoGlyphTheSecondTime) {
    auto label = Label(QStringLiteral("Hello"));
    const int64_t before = cache.GlyphsRasterised();
    const QImage first = Render(*label);
    EXPECT_EQ(cache.GlyphsRasterised(), before + 4);  // H, e, l, o
    const QImage second = Render(*label);
    EXPECT_EQ(cache.GlyphsRasterised(), before + 4);
    EXPECT_EQ(first, second);

    // The shared cache behaves the same for a label that uses it.
    SmoothLabel shared;
    QFont unusual = Arial(23);
    unusual.setItalic(true);
    shared.setFont(unusual);
    shared.SetCaption(QStringLiteral("Corvasse Version:"));
    Render(shared);
    const int64_t rasterised = GlyphCache::Shared().GlyphsRasterised();
    Render(shared);
    EXPECT_EQ(GlyphCache::Shared().GlyphsRasterised(), rasterised);
}

TEST_F(SmoothLabelTest, CaptionsBecomeLatin1BytesAndLoseTheirAcceleratorMarks) {
    EXPECT_EQ(SmoothLabel::CaptionBytes(QString::fromUtf8("Caf\u00e9 \u20ac \U0001F600")), "Caf\xe9 ? ?");
    for (const auto& [caption, shown] :
         {std::pair{"E&xit", "Exit"}, {"A&&B", "A&B"}, {"&&&X", "&X"}, {"end&", "end"}, {"plain", "plain"}}) {
        EXPECT_EQ(SmoothLabel::StripAccelChars(caption), shown) << caption;
    }
}

TEST_F(SmoothLabelTest, AcceleratorMarksUnderlineOneCharacterAndADoubleMarkShowsItself) {
    // "A&&B" shows "A&B" exactly as a label that shows marks as they are.
    auto doubled = Label(QStringLiteral("A&&B"));
    auto literal = Label(QStringLiteral("A&B"));
    literal->SetShowAccelChar(false);
    EXPECT_EQ(Render(*doubled), Render(*literal));

    // "&Word" differs from "Word" only under the W.
    const QImage marked = Render(*Label(QStringLiteral("&Word")));
    const QImage plain = Render(*Label(QStringLiteral("Word")));
    const auto columns = DifferingColumns(marked, plain);
    EXPECT_EQ(columns.first, 0);
    EXPECT_LT(columns.second, Width("W"));

    // With marks shown as they are, the "&" is drawn.
    auto shown = Label(QStringLiteral("&Word"));
    shown->SetShowAccelChar(false);
    EXPECT_GE(DifferingColumns(Render(*shown), plain).second, Width("W"));
}

TEST_F(SmoothLabelTest, WordWrapBreaksAfterBlanksDashesAndSlashesOnly) {
    const struct {
        const char* caption;
        int width;
        size_t lines;
        std::optional<int> gap;  // from the first line's top to the second's
    } rows[] = {
        {"aaa bbb ccc", Width("aaa bbb c"), 2, std::nullopt},
        {"aaa bbb ccc", Width("aaa bbb ccc") + 1, 1, std::nullopt},
        {"alpha-beta/gamma", Width("alpha-"), 3, LineHeight()},
        {"unbreakableword", 30, 1, std::nullopt},  // a word wider than the label is not broken
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.caption);
        auto label = Label(QString::fromLatin1(row.caption), row.width, 100);
        label->SetWordWrap(true);
        const std::vector<int> bands = InkedBands(Render(*label));
        ASSERT_EQ(bands.size(), row.lines);
        if (row.gap) {
            EXPECT_EQ(bands[1] - bands[0], *row.gap);
        }
    }
}

TEST_F(SmoothLabelTest, ADisabledLabelShowsOnlyItsBackground) {
    auto label = Label(QStringLiteral("Disabled"));
    label->SetColor(QColor(0, 0, 128));
    label->setEnabled(false);
    const QImage image = Render(*label);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(image.pixel(x, y), qRgb(0, 0, 128));
        }
    }
}

TEST_F(SmoothLabelTest, ATransparentLabelBlendsOverItsParent) {
    QWidget parent;
    parent.resize(200, 40);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 128));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    auto* label = new SmoothLabel(&parent, &renderer);
    label->setFont(Arial(21));
    label->SetColor(Qt::red);
    label->SetFontColor(Qt::white);
    label->SetTransparent(true);
    label->SetCaption(QStringLiteral("Hi"));
    const QImage image = Render(parent);
    const int slot = cache.FontSlot(Arial(21), kDpi);
    const Glyph& h = cache.GlyphOf(slot, 'H');
    int white = 0;
    for (int y = 0; y < h.height; ++y) {
        for (int x = 0; x < h.width; ++x) {
            const uint8_t c = h.coverage[static_cast<size_t>(y * h.width + x)];
            const QRgb pixel = image.pixel(x, y);
            ASSERT_NE(pixel, qRgb(255, 0, 0));
            if (c == 255) {
                ASSERT_EQ(pixel, qRgb(0, 0, 128));
            }
            white += pixel == qRgb(255, 255, 255);
        }
    }
    EXPECT_GT(white, 0);
}

TEST_F(SmoothLabelTest, AutoSizeFitsTheCaptionAndKeepsTheAlignedEdge) {
    SmoothLabel label(nullptr, &renderer);
    label.setFont(Arial(21));
    const int h = LineHeight();
    EXPECT_EQ(label.size(), QSize(0, h + h / 10 + 1));

    label.move(10, 5);
    label.SetCaption(QStringLiteral("E&xit"));
    EXPECT_EQ(label.geometry(), QRect(10, 5, Width("Exit"), h + h / 10 + 1));

    label.SetAlignment(LabelAlignment::Right);
    label.SetCaption(QStringLiteral("E&xit now"));
    EXPECT_EQ(label.geometry().right(), 10 + Width("Exit") - 1);
    EXPECT_EQ(label.width(), Width("Exit now"));

    label.SetWordWrap(true);
    EXPECT_FALSE(label.AutoSize());
    label.SetAutoSize(true);
    EXPECT_FALSE(label.WordWrap());
}

TEST_F(SmoothLabelTest, AnyCaptionFontOrSizeIsDrawnOrClippedWithinTheLabel) {
    QString huge;
    for (int i = 0; i < 20'000; ++i) {
        huge += QString::fromUtf8(i % 7 == 0 ? "& " : i % 5 == 0 ? "\u20ac-" : "W/");
    }
    for (LabelAlignment alignment : {LabelAlignment::Left, LabelAlignment::Right, LabelAlignment::Center}) {
        for (bool wrap : {false, true}) {
            auto label = Label(huge, 40, 30);
            label->SetAlignment(alignment);
            label->SetWordWrap(wrap);
            EXPECT_NE(InkedBands(Render(*label)).size(), 0u);
        }
    }
    EXPECT_EQ(renderer.WorkWidth(), GlyphRenderer::kInitialWidthPx);
    EXPECT_EQ(renderer.WorkHeight(), GlyphRenderer::kInitialHeightPx);

    auto giant = Label(QStringLiteral("Wg"), 300, 300);
    giant->setFont(Arial(100'000));
    giant->SetAutoSize(true);
    EXPECT_LE(giant->height(), 2 * CachedFont::kMaxPixelSize);
    Render(*giant);

    QWidget parent;
    parent.resize(50, 50);
    auto* empty = new SmoothLabel(&parent, &renderer);
    empty->SetAutoSize(false);
    empty->resize(0, 0);
    empty->SetCaption(QStringLiteral("nothing fits"));
    Render(parent);
}

}  // namespace
}  // namespace corvasse

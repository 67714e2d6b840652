#include "ui/smooth_label.h"

#include "ui/glyph_cache.h"
#include "ui/glyph_renderer.h"

#include <QEvent>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace corvasse {
namespace {

RunAlignment RunAlignmentOf(LabelAlignment alignment) {
    switch (alignment) {
        case LabelAlignment::Right: return RunAlignment::Right;
        case LabelAlignment::Center: return RunAlignment::Center;
        case LabelAlignment::Left: break;
    }
    return RunAlignment::None;
}

bool EndsWrappedLine(char ch) { return ch == ' ' || ch == '-' || ch == '/'; }

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, QWIDGETSIZE_MAX)); }

}  // namespace

SmoothLabel::SmoothLabel(QWidget* parent, GlyphRenderer* renderer)
    : QWidget(parent),
      renderer_(renderer ? *renderer : GlyphRenderer::Shared()),
      color_(palette().color(QPalette::Window)),
      fontColor_(palette().color(QPalette::WindowText)) {
    QFont arial = font();
    arial.setFamily(QStringLiteral("Arial"));
    setFont(arial);
    AdjustBounds();
}

std::string SmoothLabel::CaptionBytes(const QString& caption) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(caption.size()));
    for (char32_t code : caption.toUcs4()) {
        bytes.push_back(code < 256 ? static_cast<char>(code) : '?');
    }
    return bytes;
}

std::string SmoothLabel::StripAccelChars(std::string_view text) {
    std::string stripped;
    stripped.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            ++i;
            if (i == text.size()) {
                break;
            }
        }
        stripped.push_back(text[i]);
    }
    return stripped;
}

void SmoothLabel::SetCaption(const QString& caption) {
    caption_ = caption;
    bytes_ = CaptionBytes(caption);
    AdjustBounds();
    update();
}

void SmoothLabel::SetColor(const QColor& color) {
    color_ = color;
    update();
}

void SmoothLabel::SetFontColor(const QColor& color) {
    fontColor_ = color;
    update();
}

void SmoothLabel::SetTransparent(bool transparent) {
    transparent_ = transparent;
    update();
}

void SmoothLabel::SetAlignment(LabelAlignment alignment) {
    alignment_ = alignment;
    AdjustBounds();
    update();
}

void SmoothLabel::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    AdjustBounds();
    update();
}

void SmoothLabel::SetWordWrap(bool wordWrap) {
    if (wordWrap == wordWrap_) {
        return;
    }
    wordWrap_ = wordWrap;
    if (wordWrap_) {
        autoSize_ = false;
    }
    update();
}

void SmoothLabel::SetShowAccelChar(bool show) {
    showAccelChar_ = show;
    AdjustBounds();
    update();
}

void SmoothLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        AdjustBounds();
        update();
    } else if (event->type() == QEvent::EnabledChange) {
        update();
    }
}

RunStyle SmoothLabel::Style() const {
    RunStyle style;
    style.font = font();
    style.dpi = logicalDpiY();
    style.fontColor = fontColor_;
    if (!transparent_) {
        style.brush = color_;
    }
    return style;
}

int64_t SmoothLabel::ShownWidth(int slot, std::string_view text) const {
    GlyphCache& cache = renderer_.Cache();
    if (!showAccelChar_) {
        return cache.TextWidth(slot, text);
    }
    return cache.TextWidth(slot, StripAccelChars(text));
}

void SmoothLabel::AdjustBounds() {
    const bool inLayout = parentWidget() && parentWidget()->layout() && parentWidget()->layout()->indexOf(this) >= 0;
    if (inLayout && autoSize_) {
        autoSize_ = false;
    }
    if (wordWrap_ && autoSize_) {
        wordWrap_ = false;
    }
    if (!autoSize_) {
        return;
    }
    GlyphCache& cache = renderer_.Cache();
    const int slot = cache.FontSlot(font(), logicalDpiY());
    const int height = cache.TextHeight(slot, bytes_);
    const int width = ClampToInt(ShownWidth(slot, bytes_));
    int left = x();
    if (alignment_ == LabelAlignment::Right) {
        left = x() + this->width() - width;
    } else if (alignment_ == LabelAlignment::Center) {
        left = x() + (this->width() - width) / 2;
    }
    setGeometry(left, y(), width, height + height / 10 + 1);
}

void SmoothLabel::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const RunStyle style = Style();
    if (!transparent_) {
        painter.fillRect(rect(), color_);
    }
    const QRect visible = event->rect() & rect();

    int x = 0;
    int y = 0;
    if (alignment_ == LabelAlignment::Right) {
        x = width();
    } else if (alignment_ == LabelAlignment::Center) {
        GlyphCache& cache = renderer_.Cache();
        x = static_cast<int>(std::lround(width() / 2.0));
        y = cache.TextHeight(cache.FontSlot(style.font, style.dpi), bytes_) / 2;
    }
    if (!isEnabled()) {
        return;
    }
    if (wordWrap_) {
        DrawWrapped(painter, visible, style, x, y);
    } else {
        DrawLine(painter, visible, style, bytes_, x, y);
    }
}

void SmoothLabel::DrawLine(QPainter& painter, const QRect& visible, const RunStyle& style, std::string_view line, int x,
                           int y) const {
    if (!showAccelChar_ || line.find('&') == std::string_view::npos) {
        renderer_.DrawRun(painter, visible, style, line, x, y, RunAlignmentOf(alignment_));
        return;
    }
    GlyphCache& cache = renderer_.Cache();
    const int slot = cache.FontSlot(style.font, style.dpi);
    const int64_t width = ShownWidth(slot, line);
    if (alignment_ == LabelAlignment::Right) {
        x = static_cast<int>(std::max<int64_t>(x - width, INT32_MIN));
    } else if (alignment_ == LabelAlignment::Center) {
        y -= cache.TextHeight(slot, line) / 2;
        x = static_cast<int>(std::max<int64_t>(x - std::llround(width / 2.0), INT32_MIN));
    }

    RunStyle underlined = style;
    underlined.font.setUnderline(true);
    int64_t left = x;
    for (size_t i = 0; i < line.size() && left <= visible.right(); ++i) {
        const RunStyle* runStyle = &style;
        if (line[i] == '&') {
            ++i;
            if (i == line.size()) {
                break;
            }
            if (line[i] != '&') {
                runStyle = &underlined;
            }
        }
        left += renderer_.DrawRun(painter, visible, *runStyle, line.substr(i, 1), static_cast<int>(left), y,
                                  RunAlignment::None);
    }
}

void SmoothLabel::DrawWrapped(QPainter& painter, const QRect& visible, const RunStyle& style, int x, int y) const {
    // Widths as shown, character by character, summed from the start: a
    // single "&" shows nothing and makes the next character show as it is.
    GlyphCache& cache = renderer_.Cache();
    const int slot = cache.FontSlot(style.font, style.dpi);
    const std::string_view text = bytes_;
    const size_t n = text.size();
    std::vector<int64_t> shownBefore(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        int64_t width = cache.GlyphOf(slot, static_cast<uint8_t>(text[i])).width;
        if (showAccelChar_ && text[i] == '&') {
            width = 0;
            if (i + 1 < n) {
                ++i;
                shownBefore[i] = shownBefore[i - 1];
                width = cache.GlyphOf(slot, static_cast<uint8_t>(text[i])).width;
            }
        }
        shownBefore[i + 1] = shownBefore[i] + width;
    }
    // The fragment that starts at i ends before the next blank or after the next "-" or "/".
    std::vector<size_t> fragmentEnd(n + 1, n);
    for (size_t i = n; i-- > 0;) {
        fragmentEnd[i] = text[i] == ' ' ? i : (text[i] == '-' || text[i] == '/') ? i + 1 : fragmentEnd[i + 1];
    }

    struct Line {
        std::string_view text;
        int height;
    };
    std::vector<Line> lines;
    size_t start = 0;
    int64_t lineTop = y;
    for (size_t i = 0; i < n && lineTop <= height(); ++i) {
        const int64_t lineWidth = shownBefore[i + 1] - shownBefore[start];
        const int64_t nextWidth = shownBefore[fragmentEnd[i + 1]] - shownBefore[i + 1];
        if (lineWidth + nextWidth < width() || !EndsWrappedLine(text[i])) {
            continue;
        }
        std::string_view line = text.substr(start, i + 1 - start);
        if (line.back() == ' ') {
            line.remove_suffix(1);
        }
        lines.push_back({line, cache.TextHeight(slot, line)});
        lineTop += lines.back().height;
        start = i + 1;
    }
    if (start < n && lineTop <= height()) {
        lines.push_back({text.substr(start), 0});
    }

    for (const Line& line : lines) {
        DrawLine(painter, visible, style, line.text, x, y);
        y += line.height;
    }
}

}  // namespace corvasse

#pragma once
// A label that paints its caption with anti-aliased glyphs from the shared
// glyph cache, blended in the font colour over the label's colour or, when
// transparent, over whatever lies beneath it.

#include <QColor>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvasse {

class GlyphRenderer;
struct RunStyle;

enum class LabelAlignment { Left, Right, Center };

class SmoothLabel : public QWidget {
    Q_OBJECT

public:
    // A label in the "Arial" font, drawn by the shared renderer unless another
    // one is given (which must outlive the label).
    explicit SmoothLabel(QWidget* parent = nullptr, GlyphRenderer* renderer = nullptr);

    // The caption; "&" marks the next character as the accelerator, "&&" is a
    // literal "&". Characters outside Latin-1 show as "?".
    void SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

    // The label's background colour and the colour of its text.
    void SetColor(const QColor& color);
    const QColor& Color() const { return color_; }
    void SetFontColor(const QColor& color);
    const QColor& FontColor() const { return fontColor_; }

    // When set, no background is painted and the text blends over what lies beneath.
    void SetTransparent(bool transparent);
    bool Transparent() const { return transparent_; }

    void SetAlignment(LabelAlignment alignment);
    LabelAlignment Alignment() const { return alignment_; }

    // When on, the label takes the size of its caption; a label in a layout or
    // with word wrap never auto-sizes.
    void SetAutoSize(bool autoSize);
    bool AutoSize() const { return autoSize_; }

    // Breaks the caption into lines at blanks, "-" and "/"; switching it on
    // switches AutoSize off.
    void SetWordWrap(bool wordWrap);
    bool WordWrap() const { return wordWrap_; }

    // Whether "&" marks accelerators (on) or is shown as it is (off).
    void SetShowAccelChar(bool show);
    bool ShowAccelChar() const { return showAccelChar_; }

    // The caption as single-byte text: Latin-1, "?" for any other character.
    static std::string CaptionBytes(const QString& caption);
    // text without its accelerator marks: each single "&" is dropped and "&&"
    // gives "&".
    static std::string StripAccelChars(std::string_view text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    RunStyle Style() const;
    void AdjustBounds();
    // Width of text as it is shown: without accelerator marks when they are shown.
    int64_t ShownWidth(int slot, std::string_view text) const;
    void DrawLine(QPainter& painter, const QRect& visible, const RunStyle& style, std::string_view line, int x,
                  int y) const;
    void DrawWrapped(QPainter& painter, const QRect& visible, const RunStyle& style, int x, int y) const;

    GlyphRenderer& renderer_;
    QString caption_;
    std::string bytes_;
    QColor color_ = Qt::white;
    QColor fontColor_ = Qt::black;
    bool transparent_ = false;
    LabelAlignment alignment_ = LabelAlignment::Left;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    bool showAccelChar_ = true;
};

}  // namespace corvasse

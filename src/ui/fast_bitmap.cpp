#include "ui/fast_bitmap.h"

#include <QImage>
#include <algorithm>
#include <cstring>

namespace corvasse {

FastBitmap::FastBitmap(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), stride_(StrideFor(width_)) {
    if (width_ == 0 || height_ == 0) {
        width_ = 0;
        height_ = 0;
        stride_ = 0;
        return;
    }
    pixels_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
    rows_.resize(static_cast<size_t>(height_));
    for (int y = 0; y < height_; ++y) {
        rows_[static_cast<size_t>(y)] = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(stride_);
    }
}

int FastBitmap::StrideFor(int width) { return 3 * width + width % 4; }

void FastBitmap::Fill(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
    width = std::clamp(width, 0, width_);
    height = std::clamp(height, 0, height_);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = Row(y);
        for (int x = 0; x < width; ++x) {
            *p++ = blue;
            *p++ = green;
            *p++ = red;
        }
    }
}

QImage FastBitmap::View() {
    if (pixels_.empty()) {
        return QImage();
    }
    // Qt's BGR888 keeps the bytes in the same blue, green, red order.
    return QImage(pixels_.data(), width_, height_, stride_, QImage::Format_BGR888);
}

void FastBitmap::CopyFrom(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    const int width = std::min(width_, bgr.width());
    const int height = std::min(height_, bgr.height());
    for (int y = 0; y < height; ++y) {
        std::memcpy(Row(y), bgr.constScanLine(y), static_cast<size_t>(width) * 3);
    }
}

}  // namespace corvasse

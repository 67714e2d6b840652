#pragma once
// An off-screen 24-bit bitmap with direct pixel access, used to rasterise and
// blend the glyphs of the anti-aliased label.

#include <cstdint>
#include <vector>

class QImage;

namespace corvasse {

class FastBitmap {
public:
    // Allocates width x height pixels, every byte 0. A negative side counts as 0,
    // which gives an empty bitmap that owns no pixels.
    FastBitmap(int width, int height);

    FastBitmap(const FastBitmap&) = delete;
    FastBitmap& operator=(const FastBitmap&) = delete;

    // Bytes per row: the row of 3 x width bytes rounded up to a multiple of 4.
    static int StrideFor(int width);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }

    // Row y, top-down; pixels are stored blue, green, red.
    uint8_t* Row(int y) { return rows_[y]; }
    const uint8_t* Row(int y) const { return rows_[y]; }

    // Sets the first width x height pixels to one colour.
    void Fill(int width, int height, uint8_t red, uint8_t green, uint8_t blue);

    // A QImage that draws straight into these pixels (no copy); valid while the
    // bitmap lives. Null for an empty bitmap.
    QImage View();

    // Copies an image of the same size, converting it to blue, green, red.
    void CopyFrom(const QImage& image);

private:
    int width_;
    int height_;
    int stride_;
    std::vector<uint8_t> pixels_;
    std::vector<uint8_t*> rows_;
};

}  // namespace corvasse

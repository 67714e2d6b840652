#include "ui/fast_bitmap.h"

#include <gtest/gtest.h>
#include <QImage>
#include <utility>

namespace corvasse {
namespace {

TEST(FastBitmapTest, RowsAreRoundedUpToWholeWordsAndAddressedTopDown) {
    for (const auto& [width, stride] : {std::pair{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {100, 300}}) {
        EXPECT_EQ(FastBitmap::StrideFor(width), stride) << width;
    }

    FastBitmap bitmap(5, 3);
    EXPECT_EQ(bitmap.Stride(), 16);
    EXPECT_EQ(bitmap.Row(1) - bitmap.Row(0), 16);
    EXPECT_EQ(bitmap.Row(2) - bitmap.Row(0), 32);
}

TEST(FastBitmapTest, StoresBlueGreenRedAndFillsOnlyTheAskedCorner) {
    FastBitmap bitmap(4, 2);
    bitmap.Fill(2, 1, 0x11, 0x22, 0x33);
    EXPECT_EQ(bitmap.Row(0)[0], 0x33);
    EXPECT_EQ(bitmap.Row(0)[1], 0x22);
    EXPECT_EQ(bitmap.Row(0)[2], 0x11);
    EXPECT_EQ(bitmap.Row(0)[5], 0x11);
    EXPECT_EQ(bitmap.Row(0)[6], 0);
    EXPECT_EQ(bitmap.Row(1)[0], 0);

    // The view shares the pixels in the same byte order.
    EXPECT_EQ(bitmap.View().pixel(1, 0), qRgb(0x11, 0x22, 0x33));
    bitmap.View().setPixel(3, 1, qRgb(1, 2, 3));
    EXPECT_EQ(bitmap.Row(1)[9], 3);
    EXPECT_EQ(bitmap.Row(1)[11], 1);
}

TEST(FastBitmapTest, CopiesAnImageAndToleratesEmptyOrNegativeSizes) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(2, 1, qRgb(200, 100, 50));
    FastBitmap bitmap(3, 2);
    bitmap.CopyFrom(image);
    EXPECT_EQ(bitmap.Row(0)[0], 30);
    EXPECT_EQ(bitmap.Row(1)[6], 50);
    EXPECT_EQ(bitmap.Row(1)[8], 200);

    FastBitmap empty(-5, 7);
    EXPECT_EQ(empty.Width(), 0);
    EXPECT_EQ(empty.Height(), 0);
    EXPECT_TRUE(empty.View().isNull());
    empty.Fill(10, 10, 1, 2, 3);
    empty.CopyFrom(image);
}

}  // namespace
}  // namespace corvasse

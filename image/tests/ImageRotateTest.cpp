#include <gtest/gtest.h>

#include <QImage>

#include "image/ImageRotate.h"

using zelmora::ImageRotate::RotatePicture;

namespace {

// Every pixel gets its own colour, so a test can tell where a colour came from.
QRgb code(int x, int y) {
    return qRgb(x * 5, y * 5, 77);
}

QImage coded(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, code(x, y));
    return img;
}

QImage filled(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

const QRgb kCleared = qRgb(1, 2, 3);

}  // namespace

TEST(RotatePicture, AngleZeroTakesTheSameOffsetInAllFourQuarters) {
    const QImage src = coded(21, 21);  // centre (10, 10)
    QImage dst = filled(21, 21, kCleared);
    RotatePicture(src, dst, 0.0f);
    struct Offset {
        int x, y;
    };
    for (const Offset o : {Offset{3, 4}, Offset{7, 3}, Offset{-3, -4}, Offset{-7, -3},
                           Offset{4, -3}, Offset{-4, 3}}) {
        SCOPED_TRACE(testing::Message() << "offset " << o.x << "," << o.y);
        EXPECT_EQ(dst.pixel(10 + o.x, 10 + o.y), code(10 + o.x, 10 + o.y));
    }
    // X = 0 uses a quarter turn for the angle and still lands on (0, Y).
    for (int y = 0; y <= 9; ++y) {
        EXPECT_EQ(dst.pixel(10, 10 + y), code(10, 10 + y)) << y;
        EXPECT_EQ(dst.pixel(10, 10 - y), code(10, 10 - y)) << y;
    }
}

TEST(RotatePicture, NearlyHalfATurnTakesTheOppositeOffset) {
    const QImage src = coded(25, 25);  // centre (12, 12), offsets up to 11
    QImage dst = filled(25, 25, kCleared);
    RotatePicture(src, dst, 3.14f);
    EXPECT_EQ(dst.pixel(12 + 10, 12), code(12 - 10, 12));
    EXPECT_EQ(dst.pixel(12 - 10, 12), code(12 + 10, 12));
    EXPECT_EQ(dst.pixel(12, 12 + 10), code(12, 12 - 10));
    EXPECT_EQ(dst.pixel(12, 12), code(12, 12));
}

TEST(RotatePicture, LargerDestinationKeepsItsColourWhereTheSourceEnds) {
    const QImage src = coded(11, 11);       // centre (5, 5)
    QImage dst = filled(31, 31, kCleared);  // centre (15, 15)
    RotatePicture(src, dst, 0.0f);
    EXPECT_EQ(dst.pixel(15 + 3, 15 + 4), code(5 + 3, 5 + 4));
    EXPECT_EQ(dst.pixel(15 + 5, 15), code(10, 5));
    EXPECT_EQ(dst.pixel(15 + 6, 15), kCleared);  // source offset 6 is past its edge
    EXPECT_EQ(dst.pixel(15 - 5, 15), code(0, 5));
    EXPECT_EQ(dst.pixel(15 - 6, 15), kCleared);
    EXPECT_EQ(dst.pixel(15 + 12, 15 + 12), kCleared);
    EXPECT_EQ(dst.pixel(15 - 12, 15 - 12), kCleared);
}

TEST(RotatePicture, TinyDestinationDrawsNothing) {
    const QImage src = coded(11, 11);
    QImage dst = filled(1, 1, kCleared);
    RotatePicture(src, dst, 0.5f);
    EXPECT_EQ(dst.pixel(0, 0), kCleared);
}

TEST(RotatePicture, EvenSizesLeaveTheLeftColumnAndTopRowAlone) {
    // 20 pixels: centre 10, offsets -9 ... 9, so column 0 and row 0 are never drawn.
    const QImage src = coded(20, 20);
    QImage dst = filled(20, 20, kCleared);
    RotatePicture(src, dst, 0.0f);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(dst.pixel(0, i), kCleared) << i;
        EXPECT_EQ(dst.pixel(i, 0), kCleared) << i;
    }
    EXPECT_EQ(dst.pixel(19, 19), code(19, 19));
}

TEST(RotatePicture, IndexedPicturesAreConvertedToColourFirst) {
    QImage src(21, 21, QImage::Format_Indexed8);
    src.setColorTable({qRgb(200, 10, 10), qRgb(10, 200, 10)});
    src.fill(0);
    src.setPixel(13, 14, 1);  // offset (3, 4)
    QImage dst(21, 21, QImage::Format_Indexed8);
    dst.setColorTable({kCleared});
    dst.fill(0);

    RotatePicture(src, dst, 0.0f);

    EXPECT_FALSE(dst.format() == QImage::Format_Indexed8);
    EXPECT_EQ(dst.pixel(13, 14), qRgb(10, 200, 10));
    EXPECT_EQ(dst.pixel(12, 12), qRgb(200, 10, 10));
    EXPECT_EQ(dst.pixel(0, 0), kCleared);  // never drawn, kept through the conversion
}

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>

#include "image/cDIBSection.h"
#include "image/tests/DibTestUtil.h"
#include "testing/CoreEnv.h"

using namespace zelmora;
using namespace zelmora::dibtest;

namespace {

bool allZero(const cDIBSection& dib) {
    const std::uint8_t* p = dib.DIBSectionBitsPtr();
    return std::all_of(p, p + std::size_t(dib.BytesPerScanLine()) * dib.Height(),
                       [](std::uint8_t b) { return b == 0; });
}

}  // namespace

TEST(cDIBSection, SizesRowsAndCreation) {
    struct Case {
        int w, h;
        bool created;
        int bytesPerScanLine;
    };
    for (const Case c : {Case{1, 1, true, 4}, Case{4, 2, true, 12}, Case{5, 3, true, 16},
                         Case{64, 64, true, 192}, Case{0, 10, false, 0}, Case{10, 0, false, 32},
                         Case{-3, 10, false, -8}, Case{10, -1, false, 32}}) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        cDIBSection dib;
        EXPECT_EQ(dib.Create(c.w, c.h), c.created);
        EXPECT_EQ(dib.BytesPerScanLine(), c.bytesPerScanLine);
        EXPECT_EQ(dib.Width(), c.w);
        EXPECT_EQ(dib.Height(), c.h);
        EXPECT_EQ(dib.hdc() != 0, c.created);
        EXPECT_EQ(dib.hDib() != 0, c.created);
        EXPECT_EQ(dib.DIBSectionBitsPtr() != nullptr, c.created);
        if (c.created) {
            EXPECT_TRUE(allZero(dib));
        }
    }
}

TEST(cDIBSection, ASizeBeyond32BitsRaisesOverflowBeforeAllocating) {
    cDIBSection dib = made(8, 8);
    EXPECT_EQ(errorNumber([&] { dib.Create(800'000'000, 1); }), AppError::kOverflow);  // width x 3
    EXPECT_EQ(errorNumber([&] { dib.Create(40'000, 20'000); }), AppError::kOverflow);  // all rows
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.Width(), 8);  // the size that could not be made is not recorded
}

TEST(cDIBSection, AFailedCreateDIBLeavesNoPixelsOfTheOldSize) {
    cDIBSection dib = made(4, 4);
    EXPECT_FALSE(dib.CreateDIB(10, 0));
    EXPECT_EQ(dib.Width(), 10);  // the size is written even when creation fails
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.hDib(), 0u);
    EXPECT_TRUE(dib.toImage().isNull());
    EXPECT_TRUE(dib.CreateDIB(3, 2));
    EXPECT_TRUE(allZero(dib));
}

TEST(cDIBSection, ClearUpReleasesButKeepsTheSize) {
    cDIBSection dib = made(6, 5);
    dib.ClearUp();
    dib.ClearUp();
    EXPECT_EQ(dib.hdc(), 0u);
    EXPECT_EQ(dib.hDib(), 0u);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.Width(), 6);
    EXPECT_EQ(dib.Height(), 5);
    EXPECT_EQ(dib.BytesPerScanLine(), 20);
    // Pixel members on the empty buffer find no rows.
    EXPECT_EQ(errorNumber([&] { dib.SUM(0); }), AppError::kSubscriptOutOfRange);
}

TEST(cDIBSection, OrientationRoundTripThroughQImage) {
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(2, 1, qRgb(30, 20, 10));  // top-down (2, 1): R 30, G 20, B 10
    picture.setPixel(6, 4, qRgb(255, 128, 1));

    cDIBSection dib;
    dib.CreateFromPicture(picture);
    ASSERT_EQ(dib.Width(), 7);
    ASSERT_EQ(dib.Height(), 5);
    const std::uint8_t* bits = dib.DIBSectionBitsPtr();
    const int row = 5 - 1 - 1;  // storage row H - 1 - y
    EXPECT_EQ(bits[row * 24 + 6], 10);
    EXPECT_EQ(bits[row * 24 + 7], 20);
    EXPECT_EQ(bits[row * 24 + 8], 30);
    EXPECT_EQ(bits[0 * 24 + 18], 1);  // (6, 4) is on the bottom line: storage row 0
    EXPECT_EQ(bits[0 * 24 + 20], 255);
    EXPECT_EQ(bits[row * 24 + 21], 0);  // padding bytes are left alone
    EXPECT_EQ(dib.toImage(), picture);

    QImage back(7, 5, QImage::Format_RGB32);
    back.fill(Qt::white);
    dib.PaintPicture(back, 0, 0, -1, -1, 0, 0);
    EXPECT_EQ(back, picture);

    // Indexed pictures come in as their colours, not their palette numbers.
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(9, 8, 7)});
    indexed.fill(0);
    indexed.setPixel(1, 0, 1);
    dib.CreateFromPicture(indexed);
    EXPECT_EQ(get(dib, 1, 0), (Bgr{7, 8, 9}));
}

TEST(cDIBSection, BlockCopiesAndTheirSizeRules) {
    QImage source(6, 6, QImage::Format_RGB32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) source.setPixel(x, y, qRgb(x * 10, y * 10, 5));
    cDIBSection dib = made(4, 4);

    // Any negative size means the buffer's own; parts outside the source are black.
    dib.LoadPictureBlt(source, 3, 1, -7, -1);
    EXPECT_EQ(get(dib, 0, 0), (Bgr{5, 10, 30}));
    EXPECT_EQ(get(dib, 2, 3), (Bgr{5, 40, 50}));
    EXPECT_EQ(get(dib, 3, 0), (Bgr{0, 0, 0}));

    // Crop as the analysis does, with the block reaching past the buffer.
    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(qRgb(1, 1, 1));
    dib.PaintPicture(target, 1, 1, 3, 3, 2, 2);
    EXPECT_EQ(target.pixel(0, 0), qRgb(1, 1, 1));    // outside the destination block
    EXPECT_EQ(target.pixel(1, 1), qRgb(50, 30, 5));  // source (2, 2)
    EXPECT_EQ(target.pixel(3, 3), qRgb(0, 0, 0));    // source (4, 4) is outside: black

    // Only exactly -1 means "own size" when painting; -2 draws nothing.
    target.fill(qRgb(1, 1, 1));
    dib.PaintPicture(target, 0, 0, -2, -1, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), qRgb(1, 1, 1));
    dib.PaintPicture(target, 0, 0, -1, -1, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), qRgb(30, 10, 5));
}

TEST(cDIBSection, CopyToClipboard) {
    cDIBSection dib = made(3, 2);
    putGrey(dib, 1, 1, 77);
    testenv::dialogs().expectMsgBox(
        "I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!");
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    EXPECT_FALSE(dib.CopyToClipboard(true));
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));

    EXPECT_TRUE(dib.CopyToClipboard(false));
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(3, 2));
    EXPECT_EQ(copied.pixel(1, 1) & 0xFFFFFF, qRgb(77, 77, 77) & 0xFFFFFF);
}

TEST(cDIBSection, ResampleAndRandomise) {
    cDIBSection dib = made(5, 3);
    dib.RandomiseBits(true);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const Bgr p = get(dib, x, y);
            EXPECT_TRUE(p.b == p.g && p.g == p.r);
        }

    // Height first: the same size gives an exact copy.
    const auto same = dib.Resample(3, 5);
    ASSERT_TRUE(same);
    EXPECT_TRUE(std::equal(dib.DIBSectionBitsPtr(), dib.DIBSectionBitsPtr() + 3 * 16,
                           same->DIBSectionBitsPtr()));
    const auto turned = dib.Resample(5, 3);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->Width(), 3);
    EXPECT_EQ(turned->Height(), 5);
    EXPECT_EQ(dib.Resample(0, 3), nullptr);

    dib.RandomiseBits(false);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(get(dib, x, y).b, 0);
}

TEST(cDIBSection, BilinearResampleRoundsHalvesToEven) {
    // Storage rows: blue of (0, 0) = 0, (0, 1) = 5, (1, 0) = 10, (1, 1) = 15.
    cDIBSection src = made(2, 2);
    src.DIBSectionBitsPtr()[0] = 0;
    src.DIBSectionBitsPtr()[3] = 10;
    src.DIBSectionBitsPtr()[8 + 0] = 5;
    src.DIBSectionBitsPtr()[8 + 3] = 15;
    cDIBSection dst = made(2, 2);
    EXPECT_FALSE(src.ResampleDib(dst));  // always False
    // Scale (2 - 1) / 2: destination row 1 sits half-way, so column 0 gives
    // round(2.5) = 2, column 1 round(12.5) = 12 and their middle round(7) = 7.
    const std::uint8_t* d = dst.DIBSectionBitsPtr();
    EXPECT_EQ(d[0], 0);
    EXPECT_EQ(d[3], 5);
    EXPECT_EQ(d[8 + 0], 2);
    EXPECT_EQ(d[8 + 3], 7);

    cDIBSection thin = made(1, 4);
    cDIBSection wide = made(3, 3);
    EXPECT_EQ(errorNumber([&] { thin.ResampleDib(wide); }), AppError::kSubscriptOutOfRange);
}

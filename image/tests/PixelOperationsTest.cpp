#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "image/tests/DibTestUtil.h"

using namespace zelmora;
using namespace zelmora::dibtest;

namespace zelmora {
// Reaches the private step that nothing in the program calls.
struct cDIBSectionTestAccess {
    static void ResampleProfile(cDIBSection& dib) { dib.ResampleProfile(); }
};
}  // namespace zelmora

namespace {

cDIBSection picture(int w, int h, std::uint8_t fill = 0) {
    cDIBSection dib = made(w, h);
    fillGrey(dib, fill);
    return dib;
}

std::vector<std::uint8_t> bytesOf(const cDIBSection& dib) {
    return {dib.DIBSectionBitsPtr(),
            dib.DIBSectionBitsPtr() + std::size_t(dib.BytesPerScanLine()) * dib.Height()};
}

struct Case {
    const char* name;
    std::function<void()> run;
};

}  // namespace

TEST(PixelOperations, Table) {
    const std::vector<Case> cases = {
        {"SUM(0) of a pure green pixel is its luminance, counted at the floor",
         [] {
             cDIBSection d = picture(1, 1);
             put(d, 0, 0, {0, 255, 0});
             EXPECT_DOUBLE_EQ(d.SUM(0), 180.285);
             EXPECT_EQ(LumHistogram[180], 1);
         }},
        {"SUM(1) adds the red bytes and clears the histogram first",
         [] {
             LumHistogram[3] = 9;
             cDIBSection d = picture(2, 1);
             put(d, 0, 0, {10, 20, 30});
             put(d, 1, 0, {1, 2, 3});
             EXPECT_EQ(d.SUM(1), 33.0);
             EXPECT_EQ(LumHistogram[30], 1);
             EXPECT_EQ(LumHistogram[3], 1);
             EXPECT_EQ(d.SUM(3), 11.0);
             EXPECT_EQ(d.SUM(7), 0.0);
         }},
        {"SUMSQ(avg, 1) works on the blue byte",
         [] {
             cDIBSection d = picture(1, 1);
             put(d, 0, 0, {10, 20, 30});
             EXPECT_EQ(d.SUMSQ(4, 1), 36.0);
             EXPECT_EQ(MaxLuminance, 10);
             EXPECT_EQ(d.SUMSQ(4, 3), 26.0 * 26.0);
             EXPECT_EQ(MaxLuminance, 30);
         }},
        {"SUMSQ(avg, 0): a strong blue byte counts as HotCountRed, and the counters add up",
         [] {
             cDIBSection d = picture(1, 1);
             put(d, 0, 0, {200, 0, 0});  // L = 14.2
             EXPECT_NEAR(d.SUMSQ(0, 0), 14.2 * 14.2, 1e-9);
             EXPECT_EQ(MaxLuminance, 14);
             d.SUMSQ(0, 0);
             EXPECT_EQ(d.HotCountRed, 2);
             EXPECT_EQ(d.HotCountGreen, 0);
             EXPECT_EQ(d.HotCountBlue, 0);
             put(d, 0, 0, {64, 64, 64});  // L = 64: not hot (strictly greater than L + 50)
             d.SUMSQ(0, 0);
             EXPECT_EQ(d.HotCountRed, 2);
         }},
        {"Crop(dest, 0, 0, 2, 2) copies the top-left 2 x 2, six bytes a row",
         [] {
             cDIBSection src = picture(4, 4);
             for (int y = 0; y < 4; ++y)
                 for (int x = 0; x < 4; ++x) put(src, x, y, {std::uint8_t(x), std::uint8_t(y), 9});
             cDIBSection dst = picture(2, 2, 99);
             EXPECT_FALSE(src.Crop(dst, 0, 0, 2, 2));
             EXPECT_EQ(get(dst, 0, 0), (Bgr{0, 0, 9}));
             EXPECT_EQ(get(dst, 1, 1), (Bgr{1, 1, 9}));
         }},
        {"Crop partly below the picture keeps the destination rows it skips",
         [] {
             cDIBSection src = picture(4, 4);
             for (int y = 0; y < 4; ++y) putGrey(src, 0, y, std::uint8_t(10 + y));
             cDIBSection dst = picture(2, 4, 99);
             src.Crop(dst, 0, 2, 2, 4);        // lines 2 ... 5 of a 4-line picture
             EXPECT_EQ(get(dst, 0, 3).g, 99);  // storage rows 0 and 1 are skipped
             EXPECT_EQ(get(dst, 0, 2).g, 99);
             EXPECT_EQ(get(dst, 0, 1).g, 13);
             EXPECT_EQ(get(dst, 0, 0).g, 12);
         }},
        {"Crop past the right edge stops quietly and keeps what it copied",
         [] {
             cDIBSection src = picture(4, 1, 50);
             cDIBSection dst = picture(3, 1, 99);
             EXPECT_FALSE(src.Crop(dst, 2, 0, 3, 1));  // bytes 6 ... 14 of a 12-byte row
             EXPECT_EQ(get(dst, 0, 0), (Bgr{50, 50, 50}));
             EXPECT_EQ(get(dst, 1, 0),
                       (Bgr{50, 50, 50}));  // source bytes 9 ... 11, then byte 12 fails
             EXPECT_EQ(get(dst, 2, 0), (Bgr{99, 99, 99}));
         }},
        {"StackSum adds frames, StackAvg divides and floors, hits 0 fails",
         [] {
             cDIBSection d = picture(2, 2, 7);
             StackArray stk(6, 2);
             d.StackSum(stk);
             putGrey(d, 0, 0, 8);
             d.StackSum(stk);
             EXPECT_EQ(stk.at(0, 1), 15);
             cDIBSection avg = picture(2, 2);
             avg.StackAvg(stk, 2);
             EXPECT_EQ(get(avg, 0, 0), (Bgr{7, 7, 7}));  // floor(15 / 2)
             EXPECT_EQ(get(avg, 1, 1), (Bgr{7, 7, 7}));
             EXPECT_EQ(errorNumber([&] { avg.StackAvg(stk, 0); }), 11);
             StackArray tooSmall(3, 1);
             d.StackSum(tooSmall);  // quiet
             EXPECT_EQ(tooSmall.at(2, 0), 7);
         }},
        {"ProcessLUT maps every byte; without a table it fails",
         [] {
             cDIBSection d = picture(2, 1, 10);
             EXPECT_EQ(errorNumber([&] { d.ProcessLUT(); }), AppError::kSubscriptOutOfRange);
             LutTable.assign(256, 0);
             for (int v = 0; v < 256; ++v) LutTable[v] = std::uint8_t(255 - v);
             int rows = 0;
             d.events.Progress = [&](std::int32_t) { ++rows; };
             d.ProcessLUT();
             EXPECT_EQ(get(d, 1, 0), (Bgr{245, 245, 245}));
             EXPECT_EQ(rows, 1);
         }},
        {"ProcessKernel1D filters from a copy and wraps around the whole picture",
         [] {
             cDIBSection d = picture(5, 3);
             putGrey(d, 0, 0, 100);
             KernelHalfWidth = 1;
             Kernel1D = {0.25, 0.5, 0.25};
             d.ProcessKernel1D();
             EXPECT_EQ(get(d, 0, 0).g, 25);
             EXPECT_EQ(get(d, 1, 0).g, 12);  // from the unfiltered neighbour
             EXPECT_EQ(get(d, 4, 0).g, 12);  // wrapped from the left edge
             EXPECT_EQ(get(d, 0, 1).g, 12);
             EXPECT_EQ(get(d, 0, 2).g, 12);  // wrapped from the top line
             EXPECT_EQ(get(d, 4, 2).g, 6);
             EXPECT_EQ(get(d, 2, 0).g, 0);
             Kernel1D.clear();
             EXPECT_EQ(errorNumber([&] { d.ProcessKernel1D(); }), AppError::kSubscriptOutOfRange);
         }},
        {"AutoContrast stretches each byte position; a constant one stays",
         [] {
             cDIBSection d = picture(3, 1);
             put(d, 0, 0, {7, 10, 0});
             put(d, 1, 0, {7, 15, 0});
             put(d, 2, 0, {7, 20, 0});
             d.AutoContrast();
             EXPECT_EQ(get(d, 0, 0), (Bgr{7, 0, 0}));
             EXPECT_EQ(get(d, 1, 0), (Bgr{7, 128, 0}));  // 127.5 to even
             EXPECT_EQ(get(d, 2, 0), (Bgr{7, 255, 0}));
         }},
        {"Transform shifts within the destination's size, filling with 0",
         [] {
             cDIBSection src = picture(3, 2);
             for (int x = 0; x < 3; ++x) putGrey(src, x, 0, std::uint8_t(10 * (x + 1)));
             cDIBSection dst = picture(3, 2, 99);
             EXPECT_FALSE(src.Transform(dst, 1, 0));
             EXPECT_EQ(get(dst, 0, 0).g, 20);
             EXPECT_EQ(get(dst, 1, 0).g, 30);
             EXPECT_EQ(get(dst, 2, 0).g, 0);
             src.Transform(dst, 0, 1);  // storage row i takes row i + 1: the top line is 0
             EXPECT_EQ(get(dst, 0, 1).g, 10);
             EXPECT_EQ(get(dst, 0, 0).g, 0);
         }},
        {"Flip with both flags off leaves the destination; each flag mirrors",
         [] {
             cDIBSection src = picture(3, 2);
             put(src, 0, 0, {1, 2, 3});
             cDIBSection dst = picture(3, 2, 99);
             EXPECT_FALSE(src.Flip(dst, false, false));
             EXPECT_EQ(get(dst, 0, 0), (Bgr{99, 99, 99}));
             src.Flip(dst, true, false);
             EXPECT_EQ(get(dst, 2, 0), (Bgr{1, 2, 3}));
             src.Flip(dst, false, true);
             EXPECT_EQ(get(dst, 0, 1), (Bgr{1, 2, 3}));
         }},
        {"SplitColors and CombineColors walk exactly Width columns and undo each other",
         [] {
             cDIBSection src = picture(2, 2);
             put(src, 0, 0, {1, 2, 3});
             put(src, 1, 1, {4, 5, 6});
             cDIBSection r = picture(2, 2), g = picture(2, 2), b = picture(2, 2);
             r.DIBSectionBitsPtr()[6] = 99;  // row padding (bytes 6 and 7 of 8)
             src.SplitColors(r, g, b);
             EXPECT_EQ(get(r, 0, 0), (Bgr{1, 1, 1}));
             EXPECT_EQ(get(g, 1, 1), (Bgr{5, 5, 5}));
             EXPECT_EQ(get(b, 1, 1), (Bgr{6, 6, 6}));
             EXPECT_EQ(r.DIBSectionBitsPtr()[6], 99);  // padding untouched
             cDIBSection back = picture(2, 2, 99);
             back.DIBSectionBitsPtr()[6] = 99;
             back.CombineColors(r, g, b);
             EXPECT_EQ(bytesOf(back)[0], 0);  // top-down (0, 1) was black
             EXPECT_EQ(get(back, 0, 0), (Bgr{1, 2, 3}));
             EXPECT_EQ(get(back, 1, 1), (Bgr{4, 5, 6}));
             EXPECT_EQ(back.DIBSectionBitsPtr()[6], 99);
             cDIBSection tiny = picture(1, 1);  // failing steps are skipped, the rest go on
             src.SplitColors(tiny, g, b);
             EXPECT_EQ(get(g, 1, 1), (Bgr{5, 5, 5}));
         }},
        {"TransformRotateScale without turn or scale copies all but a one-pixel border",
         [] {
             cDIBSection src = picture(5, 5);
             for (int y = 0; y < 5; ++y)
                 for (int x = 0; x < 5; ++x) putGrey(src, x, y, std::uint8_t(10 * x + y + 1));
             cDIBSection dst = picture(5, 5, 99);
             EXPECT_FALSE(src.TransformRotateScale(dst, 0, 0, 2, 2, 0.0, 1.0, 1.0, 1.0));
             EXPECT_EQ(get(dst, 2, 2), get(src, 2, 2));
             EXPECT_EQ(get(dst, 1, 3), get(src, 1, 3));
             EXPECT_EQ(get(dst, 0, 2), (Bgr{0, 0, 0}));
             EXPECT_EQ(get(dst, 2, 4), (Bgr{0, 0, 0}));
             EXPECT_EQ(errorNumber([&] { src.TransformRotateScale(dst, 0, 0, 2, 2, 0, 0, 1, 1); }),
                       11);
         }},
        {"Features(100, 0, 0) thresholds the luminance and returns 0",
         [] {
             cDIBSection d = picture(2, 1);
             putGrey(d, 0, 0, 100);
             putGrey(d, 1, 0, 101);
             LumHistogram[5] = 3;
             EXPECT_EQ(d.Features(100, 0, 0), 0);
             EXPECT_EQ(get(d, 0, 0), (Bgr{0, 0, 0}));
             EXPECT_EQ(get(d, 1, 0), (Bgr{255, 255, 255}));
             EXPECT_EQ(LumHistogram[5], 0);
         }},
        {"ClampToRange floors inside the range",
         [] {
             EXPECT_EQ(ClampToRange(0, 255, -3.0), 0);
             EXPECT_EQ(ClampToRange(0, 255, 300.0), 255);
             EXPECT_EQ(ClampToRange(0, 255, 12.7), 12);
             EXPECT_EQ(ClampToRange(-5, 5, -2.5), -3);
         }},
        {"ResampleProfile leaves 2U + 2 zeros but the last",
         [] {
             RadialValues.assign(100, 0.0f);
             RadialValues[80] = 4.0f;
             cDIBSection d;
             cDIBSectionTestAccess::ResampleProfile(d);
             ASSERT_EQ(RadialResample.size(), 200u);
             EXPECT_EQ(RadialResample[199], 12.0f);
             EXPECT_EQ(RadialResample[198], 0.0f);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetStarData();
        c.run();
    }
}

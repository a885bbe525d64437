#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "focus/FocusGraphs.h"
#include "focus/FocusHistory.h"
#include "focus/RasterCanvas.h"

using namespace zelmora::focus;

namespace {

using Profile = std::vector<std::uint8_t>;

Profile gaussian(double sigma, double peak = 200.0, double centre = 32.0) {
    Profile p(64);
    for (int j = 0; j < 64; ++j)
        p[j] = static_cast<std::uint8_t>(
            std::lround(peak * std::exp(-(j - centre) * (j - centre) / (2 * sigma * sigma))));
    return p;
}

// The canvas's rules, pinned once: Bresenham lines with both ends, the
// four-pixel radius-1 circle, coordinates rounded half to even, the dash
// pattern (4 on, 3 off) and reads outside the surface.
TEST(RasterCanvasTest, GoldenDrawing) {
    const QRgb L = rgb(255, 0, 0), C = rgb(0, 255, 0), D = rgb(0, 0, 255);
    RasterCanvas canvas(12, 8);
    canvas.Line(0, 0, 7, 3, L);
    canvas.Circle(9.5, 2.5, C);  // (10, 2)
    canvas.DashedLine(1, -0.5, 1, 7, D);
    const char* expected[8] = {"Ld..........", ".dLL......C.", ".d..LL...C.C", ".d....LL..C.",
                               "............", "............", "............", ".d.........."};
    for (int y = 0; y < 8; ++y) {
        std::string row;
        for (int x = 0; x < 12; ++x) {
            const QRgb c = *canvas.Point(x, y);
            row += c == L ? 'L' : c == C ? 'C' : c == D ? 'd' : c == rgb(0, 0, 0) ? '.' : '?';
        }
        EXPECT_EQ(row, expected[y]) << "row " << y;
    }
    EXPECT_FALSE(canvas.Point(12, 0));
    EXPECT_FALSE(canvas.Point(0, -1));
    EXPECT_EQ(RasterCanvas::toPixel(2.5), 2);
    EXPECT_EQ(RasterCanvas::toPixel(3.5), 4);
    EXPECT_EQ(RasterCanvas::toPixel(-1.5), -2);
    EXPECT_EQ(RasterCanvas::toPixel(std::nan("")), 0);
}

class GraphsTest : public ::testing::Test {
protected:
    GraphsTest() { table.redim(3); }
    FocusGraphs graphs;
    FocusHistory table;
};

TEST_F(GraphsTest, BoxesHaveTheirInnerSizes) {
    EXPECT_EQ(graphs.picFWHM.ScaleWidth(), 60);
    EXPECT_EQ(graphs.picFWHM.ScaleHeight(), 270);
    EXPECT_EQ(graphs.PicRII.ScaleWidth(), 204);
    EXPECT_EQ(graphs.PicRII.ScaleHeight(), 180);
    EXPECT_EQ(graphs.picPlot.ScaleWidth(), 387);
    EXPECT_EQ(graphs.picPlot.ScaleHeight(), 60);
}

TEST_F(GraphsTest, WidthsAndPeakOfTwoProfiles) {
    ASSERT_TRUE(graphs.GraphFWHM(gaussian(2.0), gaussian(4.0, 120.0), table, 3));
    // FWHM = 2.3548 sigma; whole pixel columns, the circle's radius included.
    EXPECT_NEAR(table.at(0, 3), 2.3548 * 2.0, 1.0);
    EXPECT_NEAR(table.at(1, 3), 2.3548 * 4.0, 1.0);
    EXPECT_EQ(table.at(2, 3), 160.0f);
    EXPECT_EQ(graphs.lblFWHM[2], QStringLiteral("160"));
    EXPECT_EQ(graphs.lblFWHM[0], QString::number(table.at(0, 3), 'f', 2));
}

TEST_F(GraphsTest, ColumnScanSeesOnlyTheColumnProfile) {
    // The row profile (and its half-maximum line, on the same row when the
    // maxima are equal) is drawn first in its own colour.
    ASSERT_TRUE(graphs.GraphFWHM(gaussian(2.0), gaussian(2.0), table, 3));
    const float alone = table.at(1, 3);
    ASSERT_TRUE(graphs.GraphFWHM(gaussian(9.0), gaussian(2.0), table, 3));
    EXPECT_EQ(table.at(1, 3), alone);
    EXPECT_GT(table.at(0, 3), alone + 10);
}

TEST_F(GraphsTest, CurveOutsideTheScannedColumnsGivesZero) {
    // The row profile's star lies in columns 60 to 63: drawn, never scanned.
    Profile row(64, 0);
    row[61] = 200;
    row[62] = 180;
    ASSERT_TRUE(graphs.GraphFWHM(row, gaussian(3.0), table, 3));
    EXPECT_EQ(table.at(0, 3), 0.0f);
    EXPECT_EQ(graphs.lblFWHM[0], QStringLiteral(".00"));
    EXPECT_GT(table.at(1, 3), 0.0f);
}

TEST_F(GraphsTest, SingleCrossingGivesZeroNotANegativeWidth) {
    // A ramp crosses its half-maximum row in one pixel column only.
    Profile ramp(64);
    for (int j = 0; j < 64; ++j) ramp[j] = static_cast<std::uint8_t>(std::min(255, 4 * j));
    ASSERT_TRUE(graphs.GraphFWHM(ramp, gaussian(3.0), table, 3));
    EXPECT_EQ(table.at(0, 3), 0.0f);
}

TEST_F(GraphsTest, DoughnutProfileGivesTheOuterEdges) {
    Profile ring(64, 0);
    for (int j = 22; j <= 27; ++j) ring[j] = 200;
    for (int j = 37; j <= 42; ++j) ring[j] = 200;
    ASSERT_TRUE(graphs.GraphFWHM(ring, ring, table, 3));
    EXPECT_NEAR(table.at(0, 3), 20.0f, 1.0f);
    EXPECT_NEAR(table.at(1, 3), 20.0f, 1.0f);
}

TEST_F(GraphsTest, FaintProfilesDrawAndWriteNothing) {
    ASSERT_TRUE(graphs.GraphFWHM(gaussian(2.0), gaussian(2.0), table, 3));
    const QImage before = graphs.picFWHM.image().copy();
    table.set(0, 2, 7.0f);
    // Brightest sample 3: half maximum under 2.
    EXPECT_FALSE(graphs.GraphFWHM(gaussian(2.0, 3.0), gaussian(2.0), table, 2));
    EXPECT_EQ(table.at(0, 2), 7.0f);
    EXPECT_EQ(table.at(2, 2), 0.0f);
    EXPECT_EQ(graphs.picFWHM.image(), before);
    EXPECT_FALSE(
        graphs.GraphRadiiV(std::vector<float>(10, 3.0f), std::vector<float>(10, 3.0f), table, 2));
    EXPECT_EQ(table.at(3, 2), 0.0f);
}

TEST_F(GraphsTest, RadialValueIsWhereTheRunningTotalPassesHalf) {
    // Running totals 10, 20, ... 100 at distances 0, 1, ... 9: past 50 at distance 5.
    std::vector<float> values, distances;
    for (int i = 0; i < 10; ++i) {
        values.push_back(10.0f * (i + 1));
        distances.push_back(float(i));
    }
    ASSERT_TRUE(graphs.GraphRadiiV(values, distances, table, 3));
    EXPECT_EQ(table.at(3, 3), 5.0f);
    EXPECT_EQ(graphs.Label4, QStringLiteral("5.00"));
}

TEST_F(GraphsTest, TrendOnlyReadsTheTable) {
    FocusHistory big;
    big.redim(100);  // the last column index at which a shift once happened
    for (int c = 2; c <= 100; ++c)
        for (int r = 0; r < 4; ++r) big.set(r, c, float(c % 7 + r * 10));
    const FocusHistory copy = big;
    graphs.PlotT(big, 50);
    for (int c = 0; c <= 100; ++c)
        for (int r = 0; r < 5; ++r) ASSERT_EQ(big.at(r, c), copy.at(r, c)) << r << "," << c;
    // The cursor marks column 51 of 100.
    const int m = RasterCanvas::toPixel(51.0f / 100.0f * 387.0f);
    EXPECT_EQ(*graphs.picPlot.Point(m, 0), FocusGraphs::kCursorColour);
}

TEST_F(GraphsTest, TrendOfAnAllZeroTableLeavesTheBoxClear) {
    graphs.PlotT(table, 2);
    QImage black(graphs.picPlot.image().size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(graphs.picPlot.image(), black);
}

}  // namespace

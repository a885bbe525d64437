#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
#include <vector>

#include "image/StarData.h"
#include "image/cDIBSection.h"
#include "image/synth/StarRenderer.h"
#include "image/tests/DibTestUtil.h"

using namespace zelmora;
using namespace zelmora::dibtest;

namespace {

struct Px {
    int x, y;
    Bgr c;
};

cDIBSection picture(int w, int h, std::uint8_t fill, const std::vector<Px>& pixels) {
    cDIBSection dib = made(w, h);
    fillGrey(dib, fill);
    for (const Px& p : pixels) put(dib, p.x, p.y, p.c);
    return dib;
}

Bgr grey(std::uint8_t v) {
    return {v, v, v};
}

}  // namespace

// --- maxpeak -----------------------------------------------------------------

TEST(maxpeak, FindsTheBrightestPixelWithTiesToTheLastInScanOrder) {
    struct Case {
        const char* name;
        std::vector<Px> pixels;
        int channel;
        double x, y;  // y is the top-down line + 1
    };
    const Bgr redOnly{0, 0, 250};
    const Bgr greenOnly{0, 255, 0};
    const Bgr blueOnly{90, 0, 0};
    const std::vector<Case> cases = {
        {"all black: the last pixel, top right", {}, 0, 9, 1},
        {"equal maxima on one line: the right one",
         {{2, 4, grey(200)}, {7, 4, grey(200)}},
         0,
         7,
         5},
        {"equal maxima on two lines: the upper line",
         {{5, 2, grey(200)}, {3, 7, grey(200)}},
         0,
         5,
         3},
        {"luminance weighs green most",
         {{1, 1, redOnly}, {6, 6, greenOnly}, {4, 3, blueOnly}},
         0,
         6,
         7},
        {"channel 1 is red", {{1, 1, redOnly}, {6, 6, greenOnly}, {4, 3, blueOnly}}, 1, 1, 2},
        {"channel 2 is green", {{1, 1, redOnly}, {6, 6, greenOnly}, {4, 3, blueOnly}}, 2, 6, 7},
        {"channel 3 is blue", {{1, 1, redOnly}, {6, 6, greenOnly}, {4, 3, blueOnly}}, 3, 4, 4},
        {"an unknown channel ties everywhere", {{1, 1, grey(255)}}, 9, 9, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cDIBSection dib = picture(10, 8, 0, c.pixels);
        const aPoint p = dib.maxpeak(c.channel);
        EXPECT_EQ(p.X, c.x);
        EXPECT_EQ(p.Y, c.y);
    }
}

TEST(maxpeak, EmptyBufferThatHadASizeRaisesOutOfRange) {
    cDIBSection dib = made(4, 4);
    dib.ClearUp();
    EXPECT_EQ(errorNumber([&] { dib.maxpeak(0); }), AppError::kSubscriptOutOfRange);
}

// --- Centroid ----------------------------------------------------------------

TEST(Centroid, WeightedCentreAddsFiveHundredthsBeforeTheFlipAndClipsAtEveryEdge) {
    // A symmetric blob: its weighted centre is exactly its middle pixel.
    auto blob = [](int x, int y) {
        return std::vector<Px>{{x, y, grey(200)},
                               {x - 1, y, grey(100)},
                               {x + 1, y, grey(100)},
                               {x, y - 1, grey(100)},
                               {x, y + 1, grey(100)}};
    };
    // Three by three pixels of one grey.
    auto square = [](int x, int y, std::uint8_t v) {
        std::vector<Px> p;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) p.push_back({x + dx, y + dy, grey(v)});
        return p;
    };
    struct Case {
        const char* name;
        int w, h;
        std::uint8_t fill;
        std::vector<Px> pixels;
        int l, t, ww, hh;
        double x, y;  // expected; (0, 0) = none
    };
    const std::vector<Case> cases = {
        {"one pixel, whole picture", 64, 64, 0, {{10, 20, grey(255)}}, -1, 0, 0, 0, 10.05, 20.95},
        {"window inside", 64, 64, 0, {{40, 30, grey(255)}}, 20, 10, 40, 40, 40.05, 30.95},
        {"nothing above the threshold", 64, 64, 25, {}, -1, 0, 0, 0, 0, 0},
        {"the bright pixel outside the window",
         64,
         64,
         0,
         {{5, 5, grey(255)}},
         20,
         20,
         10,
         10,
         0,
         0},
        {"window past the right edge", 100, 100, 10, blob(90, 50), 58, 18, 64, 64, 90.05, 50.95},
        {"window past the left edge", 100, 100, 10, blob(3, 50), -29, 18, 64, 64, 3.05, 50.95},
        {"window past the top", 100, 100, 10, blob(50, 2), 18, -30, 64, 64, 50.05, 2.95},
        {"window past the bottom", 100, 100, 10, blob(50, 97), 18, 65, 64, 64, 50.05, 97.95},
        {"window past a corner", 100, 100, 10, blob(97, 97), 65, 65, 64, 64, 97.05, 97.95},
        {"window wholly outside", 100, 100, 10, blob(50, 50), 200, 200, 64, 64, 0, 0},
        // A sky at or above the threshold: the pixels count above the window's
        // own sky, read from its corners, as far as they stand out of it.
        {"a sky brighter than the threshold", 64, 64, 79, blob(45, 33), 20, 10, 40, 40, 45.05,
         33.95},
        {"a bright sky, window past the left edge", 100, 100, 79, blob(3, 50), -29, 18, 64, 64,
         3.05, 50.95},
        {"a sky at the threshold", 64, 64, 25, blob(45, 33), 20, 10, 40, 40, 45.05, 33.95},
        {"a faint patch three levels above a flat sky", 64, 64, 79, square(45, 33, 82), 20, 10, 40,
         40, 45.05, 33.95},
        {"a pixel one level above a flat sky",
         64,
         64,
         79,
         {{45, 33, grey(80)}},
         20,
         10,
         40,
         40,
         0,
         0},
        {"a star on a sky near full scale",
         64,
         64,
         230,
         {{45, 33, grey(255)}},
         20,
         10,
         40,
         40,
         45.05,
         33.95},
        {"a sky at full scale", 64, 64, 255, {}, 20, 10, 40, 40, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cDIBSection dib = picture(c.w, c.h, c.fill, c.pixels);
        const aPoint p = dib.Centroid(25, c.l, c.t, c.ww, c.hh);
        EXPECT_NEAR(p.X, c.x, 1e-12);
        EXPECT_NEAR(p.Y, c.y, 1e-12);
    }
}

TEST(Centroid, ReportsProgressPerRowAndCompletion) {
    cDIBSection dib = picture(100, 100, 0, {{50, 50, grey(255)}});
    std::vector<std::int32_t> init, rows, done;
    dib.events.InitProgress = [&](std::int32_t v) { init.push_back(v); };
    dib.events.Progress = [&](std::int32_t v) { rows.push_back(v); };
    dib.events.Complete = [&](std::int32_t v) { done.push_back(v); };
    dib.Centroid(25, 58, -10, 64, 64);               // reaches 10 lines above the top
    EXPECT_EQ(init, std::vector<std::int32_t>{64});  // before clipping
    ASSERT_EQ(rows.size(), 55u);                     // storage rows 45 ... 99
    EXPECT_EQ(rows.front(), 45);
    EXPECT_EQ(rows.back(), 99);
    EXPECT_EQ(done.size(), 1u);
}

// --- ProcessStar ---------------------------------------------------------------

class ProcessStarTest : public ::testing::Test {
protected:
    cDIBSection out = made(64, 64);

    std::int32_t channel = 0;

    void run(cDIBSection& src, aPoint aoi, aPoint dims = {32, 32}) {
        src.ProcessStar(aoi, dims, out, channel);
    }
};

TEST_F(ProcessStarTest, DimsAreLimitedTo32AndTheArraysSizedFromThem) {
    cDIBSection src = picture(100, 100, 0, {});
    aPoint dims{40, 40};
    src.ProcessStar({50.05, 50.95}, dims, out, 0);
    EXPECT_EQ(dims.X, 32);
    EXPECT_EQ(dims.Y, 32);
    EXPECT_EQ(RowProfile.size(), 64u);
    EXPECT_EQ(ColumnProfile.size(), 64u);
    EXPECT_EQ(RadialValues.size(), 4096u);
    EXPECT_EQ(RadialDistances.size(), 4096u);

    aPoint small{10, 5};
    src.ProcessStar({50.05, 50.95}, small, out, 0);
    EXPECT_EQ(RowProfile.size(), 20u);
    EXPECT_EQ(ColumnProfile.size(), 10u);
    EXPECT_EQ(RadialValues.size(), 200u);
}

TEST_F(ProcessStarTest, ASinglePixelAtTheCentroidSitsAtBoxPosition32) {
    cDIBSection src = picture(100, 100, 0, {{50, 50, grey(200)}});
    const aPoint c = src.Centroid(25, 18, 18, 64, 64);
    ASSERT_DOUBLE_EQ(c.X, 50.05);
    ASSERT_DOUBLE_EQ(c.Y, 50.95);
    run(src, c);
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(RowProfile[k], k == 32 ? 200 : 0) << k;
        EXPECT_EQ(ColumnProfile[k], k == 32 ? 200 : 0) << k;
    }
    // Output pixel (32, 32) counted from the bottom: top-down line 63 - 32.
    EXPECT_EQ(get(out, 32, 31), grey(200));
    EXPECT_EQ(get(out, 31, 31), grey(0));
    EXPECT_EQ(get(out, 32, 32), grey(0));
    EXPECT_EQ(RadialDistances[0], 0.0f);
    EXPECT_EQ(RadialValues[0], 200.0f);
    EXPECT_EQ(RadialValues[4095], 200.0f);
    EXPECT_FLOAT_EQ(RadialDistances[4095], static_cast<float>(std::sqrt(2.0 * 32 * 32)));
    EXPECT_TRUE(std::is_sorted(RadialDistances.begin(), RadialDistances.end()));
}

TEST_F(ProcessStarTest, EdgeCasesTable) {
    struct Extra {
        const std::vector<std::uint8_t>* array;
        int index;
        int value;
    };
    struct Case {
        const char* name;
        std::uint8_t fill;
        Px star;
        aPoint aoi;
        int channel = 0;
        float startBackground = 0.0f;
        std::optional<Px> referenceSizeAndGrey;  // x, y = size, c = value everywhere
        std::optional<Px> referencePixel;        // one pixel of a full-size reference
        int row32, column32;                     // RowProfile(32), ColumnProfile(32)
        int filled;                              // samples inside the picture
        float total;                             // sum of their values (before background)
        std::optional<float> background;         // StarBackground afterwards (unset: not checked)
        std::vector<Extra> extra = {};
    };
    const auto* row = &RowProfile;
    const auto* col = &ColumnProfile;
    const std::vector<Case> cases = {
        {"unclipped",
         20,
         {50, 50, grey(200)},
         {50.05, 50.95},
         0,
         0,
         {},
         {},
         200,
         200,
         4096,
         20 * 4095 + 200,
         20,
         {{row, 0, 20}, {col, 63, 20}}},
        {"fractional centre: floor picks the pixel",
         20,
         {50, 50, grey(200)},
         {50.7, 50.2},
         0,
         0,
         {},
         {},
         200,
         200,
         4096,
         20 * 4095 + 200,
         20},
        {"cleaned values round half to even",
         13,
         {50, 50, grey(14)},
         {50.05, 50.95},
         0,
         10.5f,
         {},
         {},
         4,
         4,
         4096,
         13 * 4095 + 14,
         13,
         {{row, 0, 2}, {col, 0, 2}}},
        {"mean of the three channels",
         0,
         {50, 50, {10, 20, 200}},
         {50.05, 50.95},
         0,
         0,
         {},
         {},
         77,
         77,
         4096,
         77,
         0},
        {"red only",
         0,
         {50, 50, {10, 20, 200}},
         {50.05, 50.95},
         1,
         0,
         {},
         {},
         200,
         200,
         4096,
         200,
         0},
        {"green only",
         0,
         {50, 50, {10, 20, 200}},
         {50.05, 50.95},
         2,
         0,
         {},
         {},
         20,
         20,
         4096,
         20,
         0},
        {"blue only",
         0,
         {50, 50, {10, 20, 200}},
         {50.05, 50.95},
         3,
         0,
         {},
         {},
         10,
         10,
         4096,
         10,
         0},
        {"unknown channel mode",
         0,
         {50, 50, {10, 20, 200}},
         {50.05, 50.95},
         7,
         0,
         {},
         {},
         0,
         0,
         4096,
         0,
         0},
        {"darker than the reference gives 0",
         0,
         {50, 50, {0, 0, 200}},
         {50.05, 50.95},
         1,
         0,
         {},
         Px{50, 50, {0, 0, 250}},
         0,
         0,
         4096,
         0,
         0},
        {"reference smaller than the picture: outside counts as 0",
         50,
         {50, 50, grey(50)},
         {50.05, 50.95},
         0,
         0,
         Px{60, 60, grey(5)},
         {},
         45,
         45,
         4096,
         45 * 43 * 42 + 50 * (4096 - 43 * 42),
         {},
         {{row, 41, 45}, {row, 42, 50}}},
        {"clipped at the right",
         20,
         {95, 50, grey(200)},
         {95.05, 50.95},
         0,
         0,
         {},
         {},
         200,
         200,
         37 * 64,
         20 * (37 * 64 - 1) + 200,
         20,
         {{row, 36, 20}, {row, 37, 0}}},
        {"clipped at the left",
         20,
         {5, 50, grey(200)},
         {5.05, 50.95},
         0,
         0,
         {},
         {},
         200,
         200,
         37 * 64,
         20 * (37 * 64 - 1) + 200,
         20,
         {{row, 26, 0}, {row, 27, 20}}},
        {"clipped at the top",
         20,
         {50, 5, grey(200)},
         {50.05, 5.95},
         0,
         0,
         {},
         {},
         200,
         200,
         38 * 64,
         20 * (38 * 64 - 1) + 200,
         20,
         {{col, 37, 20}, {col, 38, 0}}},
        {"clipped at the bottom",
         20,
         {50, 95, grey(200)},
         {50.05, 95.95},
         0,
         0,
         {},
         {},
         200,
         200,
         36 * 64,
         20 * (36 * 64 - 1) + 200,
         20,
         {{col, 27, 0}, {col, 28, 20}}},
        {"a star on the top line keeps that line",
         20,
         {50, 0, grey(200)},
         {50.05, 0.95},
         0,
         0,
         {},
         {},
         200,
         200,
         33 * 64,
         20 * (33 * 64 - 1) + 200,
         20,
         {{col, 32, 200}, {col, 33, 0}}},
        {"clipped at a corner",
         20,
         {2, 97, grey(200)},
         {2.05, 97.95},
         0,
         0,
         {},
         {},
         200,
         200,
         34 * 34,
         20 * (34 * 34 - 1) + 200,
         20},
        {"box wholly outside: no samples, background kept",
         20,
         {50, 50, grey(200)},
         {300, 300},
         0,
         7.5f,
         {},
         {},
         0,
         0,
         0,
         0,
         7.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetStarData();
        channel = c.channel;
        StarBackground = c.startBackground;
        if (c.referenceSizeAndGrey) {
            oReferenceDib = picture(c.referenceSizeAndGrey->x, c.referenceSizeAndGrey->y,
                                    c.referenceSizeAndGrey->c.g, {});
        } else if (c.referencePixel) {
            oReferenceDib = picture(100, 100, 0, {*c.referencePixel});
        }
        cDIBSection src = picture(100, 100, c.fill, {c.star});
        run(src, c.aoi);

        ASSERT_EQ(RadialValues.size(), 4096u);
        EXPECT_EQ(RowProfile[32], c.row32);
        EXPECT_EQ(ColumnProfile[32], c.column32);
        if (c.filled > 0) {
            EXPECT_EQ(RadialValues[c.filled - 1], c.total);
            EXPECT_TRUE(
                std::is_sorted(RadialDistances.begin(), RadialDistances.begin() + c.filled));
        }
        // The slots no sample reached stay (0, 0) after the filled ones.
        for (int k = c.filled; k < 4096; ++k) {
            if (RadialValues[k] != 0.0f || RadialDistances[k] != 0.0f) {
                ADD_FAILURE() << "slot " << k << " was written";
                break;
            }
        }
        if (c.background) {
            EXPECT_EQ(StarBackground, *c.background);
        }
        for (const Extra& e : c.extra)
            EXPECT_EQ((*e.array)[e.index], e.value) << "index " << e.index;
    }
}

TEST_F(ProcessStarTest, EachCallSubtractsTheBackgroundOfTheCallBefore) {
    cDIBSection src = picture(100, 100, 20, {{50, 50, grey(200)}});
    run(src, {50.05, 50.95});
    EXPECT_EQ(RowProfile[0], 20);
    EXPECT_EQ(RowProfile[32], 200);
    EXPECT_EQ(StarBackground, 20.0f);
    run(src, {50.05, 50.95});
    EXPECT_EQ(RowProfile[0], 0);
    EXPECT_EQ(RowProfile[32], 180);
    EXPECT_EQ(get(out, 32, 31), grey(180));
    EXPECT_EQ(RadialValues[0], 200.0f);  // the radial values are taken before subtraction
}

TEST_F(ProcessStarTest, AnOutputTooSmallFailsAndLeavesTheLastMeasurement) {
    cDIBSection src = picture(100, 100, 20, {{50, 50, grey(200)}});
    run(src, {50.05, 50.95});
    const auto row = RowProfile;
    const auto values = RadialValues;
    cDIBSection small = made(32, 32);
    aPoint dims{32, 32};
    EXPECT_EQ(errorNumber([&] {
                  src.ProcessStar({50.05, 50.95}, dims, small, 0);
              }),
              AppError::kSubscriptOutOfRange);
    EXPECT_EQ(RowProfile, row);
    EXPECT_EQ(RadialValues, values);
    EXPECT_EQ(StarBackground, 20.0f);
}

TEST_F(ProcessStarTest, MeasurementLetsNoOtherEventRunInTheMiddle) {
    cDIBSection src = picture(100, 100, 20, {{50, 50, grey(200)}});
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    src.maxpeak(0);
    src.Centroid(25, 18, 18, 64, 64);
    run(src, {50.05, 50.95});
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

// --- The background pins the sort's order among equal distances ---------------

TEST_F(ProcessStarTest, GoldenBackgroundOfANoisyStar) {
    // Values from tests/golden/star_background_golden.py, an independent
    // implementation of the renderer, the box sampling and the sort.
    cDIBSection src = made(100, 100);
    synth::renderStars(src, {{50.3, 49.6, 6.0, 150.0}}, {30.0, 8.0, 1});
    run(src, {50.05, 50.95});

    EXPECT_EQ(StarBackground, 30.43170738220215f);
    EXPECT_EQ(RadialValues[0], 165.0f);
    EXPECT_EQ(RadialValues[1], 338.0f);
    EXPECT_EQ(RadialValues[1000], 35949.0f);
    EXPECT_EQ(RadialValues[3276], 103398.0f);
    EXPECT_EQ(RadialValues[4095], 128318.0f);
    // The eight equal distances sqrt(1044) at sorted positions 3271 ... 3278,
    // in the order the sort leaves them; the last three enter the background.
    const std::vector<float> group = {28, 23, 36, 37, 46, 34, 29, 27};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(RadialDistances[3271 + k], static_cast<float>(std::sqrt(1044.0)));
        EXPECT_EQ(RadialValues[3271 + k] - RadialValues[3270 + k], group[k]) << k;
    }

    // A stable sort of the same samples puts other values past the cut.
    std::vector<std::pair<float, float>> samples;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j) {
            const Bgr p = get(src, 18 + j, 99 - (17 + i));
            samples.emplace_back(static_cast<float>(std::hypot(32 - j, 32 - i)), float(p.g));
        }
    std::stable_sort(samples.begin(), samples.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    double outer = 0;
    for (int k = 3276; k <= 4095; ++k) outer += samples[k].second;
    const auto stableBackground = static_cast<float>(outer / 820.0);
    EXPECT_EQ(stableBackground, 30.44390296936035f);
    EXPECT_NE(stableBackground, StarBackground);
}

// --- Synthetic stars -------------------------------------------------------------

namespace {

struct Measured {
    aPoint centroid;
    int rowWidth;  // samples of RowProfile at or above half its peak
    int columnWidth;
    int rowPeakIndex;
    int columnPeakIndex;
    float halfFluxRadius;  // distance at which the radial sum passes half its total
};

Measured analyse(cDIBSection& crop) {
    const aPoint peak = crop.maxpeak(0);
    Measured m;
    m.centroid =
        crop.Centroid(25, static_cast<int>(peak.X) - 32, static_cast<int>(peak.Y) - 32, 64, 64);
    cDIBSection out = made(64, 64);
    aPoint dims{32, 32};
    crop.ProcessStar(m.centroid, dims, out, 0);
    auto width = [](const std::vector<std::uint8_t>& p) {
        const int top = *std::max_element(p.begin(), p.end());
        return static_cast<int>(
            std::count_if(p.begin(), p.end(), [&](int v) { return 2 * v >= top; }));
    };
    auto peakIndex = [](const std::vector<std::uint8_t>& p) {
        return static_cast<int>(std::max_element(p.begin(), p.end()) - p.begin());
    };
    m.rowWidth = width(RowProfile);
    m.columnWidth = width(ColumnProfile);
    m.rowPeakIndex = peakIndex(RowProfile);
    m.columnPeakIndex = peakIndex(ColumnProfile);
    const float total = RadialValues.back();
    for (std::size_t k = 0; k < RadialValues.size(); ++k)
        if (RadialValues[k] >= total / 2) {
            m.halfFluxRadius = RadialDistances[k];
            break;
        }
    return m;
}

}  // namespace

TEST(SyntheticStar, WiderStarsGiveWiderProfiles) {
    int lastRow = 0, lastColumn = 0;
    float lastRadius = 0;
    for (const double fwhm : {2.5, 4.5, 6.5, 8.5, 11.5}) {
        SCOPED_TRACE(fwhm);
        resetStarData();
        cDIBSection crop = made(100, 100);
        // No background: the radial sum then holds the star's light alone.
        synth::renderStars(crop, {{50.0, 50.0, fwhm, 220.0}}, {0.0, 0.0, 1});
        const Measured m = analyse(crop);
        EXPECT_GT(m.rowWidth, lastRow);
        EXPECT_GT(m.columnWidth, lastColumn);
        EXPECT_GT(m.halfFluxRadius, lastRadius);
        EXPECT_NEAR(m.rowWidth, fwhm, 1.0);
        EXPECT_NEAR(m.columnWidth, fwhm, 1.0);
        lastRow = m.rowWidth;
        lastColumn = m.columnWidth;
        lastRadius = m.halfFluxRadius;
    }
}

TEST(SyntheticStar, TheCentroidFindsANoisyStarOnAnySky) {
    // Off the pixel grid, so that a centroid pulled to the window's middle
    // (the brightest pixel) misses it; on the brightest sky the star's top is
    // cut at full scale.
    for (const double sky : {0.0, 22.0, 79.0, 180.0}) {
        SCOPED_TRACE(sky);
        cDIBSection crop = made(100, 100);
        synth::renderStars(crop, {{50.4, 49.6, 6.0, 120.0}}, {sky, sky > 0 ? 3.0 : 0.0, 5});
        const aPoint peak = crop.maxpeak(0);
        const aPoint c =
            crop.Centroid(25, static_cast<int>(peak.X) - 32, static_cast<int>(peak.Y) - 32, 64, 64);
        EXPECT_NEAR(c.X, 50.4 + 0.05, 0.15);
        EXPECT_NEAR(c.Y, 49.6 + 0.95, 0.15);
    }
}

TEST(SyntheticStar, AStarFarOutOfFocusIsFoundOnABrightSkyToo) {
    // Its light reaches the window's corners, which then show no sky: the
    // window's light is all counted as the star's, weighed by its grey, as on
    // a dark sky. With the window on the star's brightest pixel, as the focus
    // analysis places it, the sky's pull towards the middle stays small.
    for (const double sky : {22.0, 79.0})
        for (const double fwhm : {60.0, 90.0}) {
            SCOPED_TRACE(testing::Message() << "sky " << sky << " FWHM " << fwhm);
            cDIBSection crop = made(100, 100);
            synth::renderStars(crop, {{50.4, 49.6, fwhm, 120.0}}, {sky, 3.0, 5});
            const aPoint peak = crop.maxpeak(0);
            const aPoint c = crop.Centroid(25, static_cast<int>(peak.X) - 32,
                                           static_cast<int>(peak.Y) - 32, 64, 64);
            EXPECT_NEAR(c.X, 50.4 + 0.05, 1.0);
            EXPECT_NEAR(c.Y, 49.6 + 0.95, 1.0);
        }
}

namespace {

// The rule the centroid has always followed on a dark sky, written out again:
// the pixels of the window brighter than the threshold, each weighed by its
// whole grey.
aPoint centroidAboveBlack(const cDIBSection& dib, int l, int t, int w, int h, double threshold) {
    double sx = 0, sy = 0, s = 0;
    for (int y = std::max(t, 0); y <= std::min(t + h, dib.Height() - 1); ++y)
        for (int x = std::max(l, 0); x <= std::min(l + w, dib.Width() - 1); ++x) {
            const Bgr c = get(dib, x, y);
            const double v = (c.b + c.g + c.r) / 3.0;
            if (v > threshold) {
                sx += x * v;
                sy += y * v;
                s += v;
            }
        }
    aPoint p;
    if (s > 0) {
        p.X = sx / s + 0.05;
        p.Y = sy / s + 0.95;
    }
    return p;
}

}  // namespace

TEST(SyntheticStar, TheCentroidFollowsTheStarOnEverySkyAndKeepsItsPixelsOnADarkOne) {
    struct Row {
        double level, noise;  // the sky
        double fwhm, x, y;    // the star
    };
    // A small star off the pixel grid and away from the middle of the window,
    // so that a pull of sky pixels towards the middle shows; then stars so far
    // out of focus that their light reaches the window's corners, near its
    // middle, where the focus analysis keeps a star it follows (off it, the
    // window cuts a wide star's light unevenly and the old rule's centre
    // follows the cut).
    constexpr double kX = 44.4, kY = 55.6, kFwhm = 5.0;
    constexpr double kWideX = 50.4, kWideY = 49.6;
    const std::vector<Row> rows = {
        {0, 0, kFwhm, kX, kY},       {10, 2, kFwhm, kX, kY},       {22, 3, kFwhm, kX, kY},
        {25, 3, kFwhm, kX, kY},      {26, 3, kFwhm, kX, kY},       {27, 3, kFwhm, kX, kY},
        {28, 3, kFwhm, kX, kY},      {29, 3, kFwhm, kX, kY},       {30, 3, kFwhm, kX, kY},
        {79, 3, kFwhm, kX, kY},      {180, 3, kFwhm, kX, kY},      {10, 2, 30, kWideX, kWideY},
        {10, 2, 40, kWideX, kWideY}, {10, 2, 50, kWideX, kWideY},  {10, 2, 60, kWideX, kWideY},
        {10, 2, 65, kWideX, kWideY}, {10, 2, 70, kWideX, kWideY},  {10, 2, 80, kWideX, kWideY},
        {10, 2, 90, kWideX, kWideY}, {10, 2, 120, kWideX, kWideY},
    };
    // 0 is no star at all.
    const std::vector<double> peaks = {0, 12, 24, 40, 80, 120, 160};
    constexpr int kL = 18, kT = 18;  // the 65 x 65 window around the crop's centre
    std::uint64_t seed = 11;         // fresh noise for every row
    std::printf(
        "  sky | noise | FWHM |   miss in px for the peaks 12, 24, 40, 80, 120, 160 (-: none)\n");
    for (const Row& row : rows) {
        ++seed;
        // The same field without the star tells whether the sky and its noise
        // stay below the threshold: then the old rule's pixels are counted.
        cDIBSection bare = made(100, 100);
        synth::renderStars(bare, {}, {row.level, row.noise, seed});
        const aPoint none = centroidAboveBlack(bare, kL, kT, 64, 64, 25);
        const bool darkSky = none.X == 0 && none.Y == 0;
        QString misses;
        for (const double peak : peaks) {
            SCOPED_TRACE(testing::Message() << "sky " << row.level << " noise " << row.noise
                                            << " FWHM " << row.fwhm << " peak " << peak);
            cDIBSection crop = made(100, 100);
            std::vector<synth::Star> stars;
            if (peak > 0) stars.push_back({row.x, row.y, row.fwhm, peak});
            synth::renderStars(crop, stars, {row.level, row.noise, seed});
            const aPoint c = crop.Centroid(25, kL, kT, 64, 64);
            const bool found = c.X != 0 || c.Y != 0;
            const double miss = std::hypot(c.X - (row.x + 0.05), c.Y - (row.y + 0.95));
            if (peak > 0)
                misses += found ? QString::asprintf(" %5.2f", miss) : QStringLiteral("     -");
            if (darkSky) {
                // A star this faint and wide lifts even the corners' darkest
                // part as a slightly brighter sky would, and falls away there
                // too gently to show: nothing stands out of that sky, where
                // the old rule found a few of the noise's pixels.
                const aPoint old = centroidAboveBlack(crop, kL, kT, 64, 64, 25);
                if (found || peak >= 12 * row.noise) {
                    EXPECT_NEAR(c.X, old.X, 0.05);
                    EXPECT_NEAR(c.Y, old.Y, 0.05);
                }
            } else if (peak == 0) {
                EXPECT_FALSE(found) << "nothing stands out of the sky, yet " << c.X << ", " << c.Y;
            } else if (peak >= 12 * row.noise) {
                // Clearly out of the sky's noise.
                EXPECT_TRUE(found);
                EXPECT_LT(miss, 0.5) << c.X << ", " << c.Y;
            } else {
                // Too faint to measure well: found on the star or not at all.
                EXPECT_TRUE(!found || miss < 2.5) << c.X << ", " << c.Y;
            }
        }
        std::printf("%5.0f | %5.0f | %4.0f |%s%s\n", row.level, row.noise, row.fwhm,
                    qPrintable(misses), darkSky ? "  (below the threshold: the old rule)" : "");
    }
}

TEST(SyntheticStar, ClippingNearEachEdgeKeepsTheStarCentred) {
    struct Case {
        const char* name;
        double x, y;
    };
    for (const Case& c :
         {Case{"left", 6, 50}, Case{"right", 93, 50}, Case{"top", 50, 6}, Case{"bottom", 50, 93},
          Case{"top left", 6, 6}, Case{"bottom right", 93, 93}}) {
        SCOPED_TRACE(c.name);
        resetStarData();
        cDIBSection crop = made(100, 100);
        synth::renderStars(crop, {{c.x, c.y, 3.0, 220.0}}, {5.0, 2.0, 7});
        const Measured m = analyse(crop);
        EXPECT_NEAR(m.centroid.X, c.x + 0.05, 0.1);
        EXPECT_NEAR(m.centroid.Y, c.y + 0.95, 0.1);
        EXPECT_EQ(m.rowPeakIndex, 32);
        EXPECT_EQ(m.columnPeakIndex, 32);
        EXPECT_NEAR(m.rowWidth, 3.0, 1.0);
        EXPECT_NEAR(m.columnWidth, 3.0, 1.0);
    }
}

TEST(SyntheticStar, RendererIsDeterministicAndHasTheAskedShape) {
    cDIBSection a = made(40, 30);
    cDIBSection b = made(40, 30);
    const std::vector<synth::Star> stars = {{20, 15, 4.0, 100.0}};
    synth::renderStars(a, stars, {10.0, 3.0, 42});
    synth::renderStars(b, stars, {10.0, 3.0, 42});
    EXPECT_TRUE(std::equal(a.DIBSectionBitsPtr(), a.DIBSectionBitsPtr() + 30 * a.BytesPerScanLine(),
                           b.DIBSectionBitsPtr()));
    cDIBSection clean = made(40, 30);
    synth::renderStars(clean, stars, {10.0, 0.0, 1});
    EXPECT_EQ(get(clean, 20, 15), grey(110));
    EXPECT_EQ(get(clean, 22, 15), grey(60));  // half the peak at half the width
    EXPECT_EQ(get(clean, 0, 0), grey(10));
}

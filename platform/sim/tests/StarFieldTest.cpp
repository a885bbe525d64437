#include <gtest/gtest.h>

#include <cmath>

#include "platform/sim/SimSky.h"
#include "platform/sim/StarField.h"
#include "platform/sim/tests/StarMoments.h"

using namespace zelmora::sim;
using zelmora::testing_sim::measureStar;

namespace {

class StarFieldTest : public ::testing::Test {
protected:
    void SetUp() override { SimSky::instance().reset(); }
    void TearDown() override { SimSky::instance().reset(); }

    static RenderRequest request(bool noise) {
        RenderRequest r;
        r.width = 160;
        r.height = 120;
        r.exposureSec = 1;
        r.gain = 4;
        r.noise = noise;
        return r;
    }

    static double widthAt(int focuser, bool noise) {
        SimSky::instance().setFocuserPosition(focuser);
        const Frame f = SimSky::instance().render(request(noise));
        return measureStar([&](int x, int y) { return double(f.at(x, y)); }, f.width, f.height,
                           f.width / 2, f.height / 2)
            .sigma;
    }
};

TEST_F(StarFieldTest, WidthGrowsWithDistanceFromBestFocusAndIsSmallestThere) {
    SimSky::instance().setBestFocus(4000);
    for (bool noise : {false, true}) {
        SCOPED_TRACE(noise ? "with noise" : "without noise");
        const double best = widthAt(4000, noise);
        double previous = best;
        for (int step = 100; step <= 600; step += 100) {
            const double inside = widthAt(4000 - step, noise);
            const double outside = widthAt(4000 + step, noise);
            EXPECT_GT(inside, previous) << "step " << step;
            EXPECT_GT(outside, previous) << "step " << step;
            // The blur depends on the distance only, not on its side.
            if (!noise) {
                EXPECT_NEAR(inside, outside, 0.01 * outside) << "step " << step;
            }
            previous = std::min(inside, outside);
        }
        // The measured width is the model's sigma.
        EXPECT_NEAR(best, SimSky::instance().seeing() / 2.3548, 0.15);
    }
}

TEST_F(StarFieldTest, LightIsConservedAsTheStarBlursSoThePeakDrops) {
    auto& sky = SimSky::instance();
    const RenderRequest r = request(false);
    const double expected = SensorModel::kGuideStarFlux * r.exposureSec * r.gain;
    const double bg = std::lround(backgroundLevel(r));
    double lastPeak = 1e9;
    for (int away : {0, 150, 300, 600}) {
        sky.setFocuserPosition(5000 + away);
        // The guide star alone, so that no neighbour's light is counted.
        SkySnapshot s = sky.snapshot();
        s.stars = std::make_shared<std::vector<Star>>(1, s.stars->front());
        const Frame f = renderFrame(s, r);
        double sum = 0;
        for (std::uint16_t v : f.pixels) sum += v - bg;
        const double peak = f.at(f.width / 2, f.height / 2) - bg;
        EXPECT_NEAR(sum, expected, 0.005 * expected) << away;
        EXPECT_LT(peak, lastPeak) << away;
        lastPeak = peak;
    }
}

TEST_F(StarFieldTest, SameSeedSameFrameAndOtherSeedOtherField) {
    RenderRequest r = request(true);
    r.width = 1200;
    r.height = 800;
    auto a = makeStarField(7), b = makeStarField(7), c = makeStarField(8);
    ASSERT_EQ(a->size(), b->size());
    for (std::size_t i = 0; i < a->size(); ++i) EXPECT_EQ((*a)[i].x, (*b)[i].x);
    EXPECT_NE((*a)[1].x, (*c)[1].x);
    // The bright star sits at the centre with nothing close to it.
    EXPECT_EQ((*a)[0].x, 0);
    EXPECT_EQ((*a)[0].y, 0);
    for (std::size_t i = 1; i < a->size(); ++i)
        EXPECT_GE(std::hypot((*a)[i].x, (*a)[i].y), kGuideStarClearance);

    SkySnapshot s;
    s.stars = a;
    s.noiseSeed = 3;
    EXPECT_EQ(renderFrame(s, r).pixels, renderFrame(s, r).pixels);
}

TEST_F(StarFieldTest, ScaledRenderKeepsTheStarCentredAndShrinksIt) {
    auto& sky = SimSky::instance();
    sky.setFocuserPosition(5300);
    RenderRequest full = request(false);
    full.width = 400;
    full.height = 300;
    RenderRequest half = full;
    half.width = 200;
    half.height = 150;
    half.scale = 0.5;
    const Frame a = sky.render(full), b = sky.render(half);
    auto ma =
        measureStar([&](int x, int y) { return double(a.at(x, y)); }, a.width, a.height, 200, 150);
    auto mb =
        measureStar([&](int x, int y) { return double(b.at(x, y)); }, b.width, b.height, 100, 75);
    EXPECT_NEAR(ma.x, 200, 0.05);
    EXPECT_NEAR(ma.y, 150, 0.05);
    EXPECT_NEAR(mb.x, 100, 0.05);
    EXPECT_NEAR(mb.sigma, ma.sigma / 2, 0.05 * ma.sigma);
}

TEST_F(StarFieldTest, BrightStarsClipAtFullScale) {
    RenderRequest r = request(false);
    r.exposureSec = 60;
    r.gain = 16;
    const Frame f = SimSky::instance().render(r);
    EXPECT_EQ(f.at(f.width / 2, f.height / 2), 65535);
}

}  // namespace

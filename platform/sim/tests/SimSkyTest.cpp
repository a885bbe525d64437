#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/sim/SimSky.h"

using namespace zelmora::sim;

namespace {

class SimSkyTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimSky::instance().reset();
        SimSky::instance().setTimeSource([this] { return now; });
    }
    void TearDown() override { SimSky::instance().reset(); }
    std::int64_t now = 1000;
};

TEST_F(SimSkyTest, SigmaCombinesSeeingAndDefocus) {
    auto& sky = SimSky::instance();
    sky.setSeeing(2.3548200450309493 * 1.5);  // sigma 1.5
    sky.setBestFocus(1000);
    sky.setBlurPerStep(0.02);
    sky.setFocuserPosition(1000);
    EXPECT_NEAR(sky.starSigma(), 1.5, 1e-9);
    sky.setFocuserPosition(1100);  // defocus sigma 2
    EXPECT_NEAR(sky.starSigma(), 2.5, 1e-9);
    sky.setFocuserPosition(900);
    EXPECT_NEAR(sky.starSigma(), 2.5, 1e-9);
    EXPECT_NEAR(sky.snapshot().sigmaPx, 2.5, 1e-9);
}

TEST_F(SimSkyTest, ContactHeldGivesOneExposureOfThatLength) {
    auto& sky = SimSky::instance();
    std::vector<ShutterEvent> seen;
    const int id = sky.addShutterListener([&](const ShutterEvent& e) { seen.push_back(e); });
    sky.releaseShutter();  // nothing held: nothing happens
    sky.pressShutter();
    EXPECT_TRUE(sky.shutterOpen());
    now += 1500;
    sky.pressShutter();  // pressing again while held changes nothing
    now += 1000;
    sky.releaseShutter();
    sky.releaseShutter();
    sky.removeShutterListener(id);
    sky.pressShutter();
    sky.releaseShutter();

    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].open);
    EXPECT_EQ(seen[0].atMs, 1000);
    EXPECT_FALSE(seen[1].open);
    EXPECT_EQ(seen[1].atMs, 3500);
    EXPECT_EQ(seen[1].exposureMs, 2500);
    EXPECT_FALSE(sky.shutterOpen());
}

TEST_F(SimSkyTest, FieldDriftsAtTheSetRateAndKeepsWhatItDriftedWhenTheRateChanges) {
    auto& sky = SimSky::instance();
    sky.setDrift(0.5, -0.25);
    now += 10'000;
    double x = 0, y = 0;
    sky.driftOffset(x, y);
    EXPECT_NEAR(x, 5.0, 1e-9);
    EXPECT_NEAR(y, -2.5, 1e-9);
    sky.setDrift(0, 0);
    now += 10'000;
    sky.driftOffset(x, y);
    EXPECT_NEAR(x, 5.0, 1e-9);
    const SkySnapshot s = sky.snapshot();
    EXPECT_NEAR(s.offsetX, 5.0, 1e-9);
    EXPECT_NEAR(s.offsetY, -2.5, 1e-9);
}

TEST_F(SimSkyTest, EachSnapshotHasFreshNoiseButTheSameStars) {
    auto& sky = SimSky::instance();
    const SkySnapshot a = sky.snapshot(), b = sky.snapshot();
    EXPECT_EQ(a.stars, b.stars);
    EXPECT_NE(a.noiseSeed, b.noiseSeed);
    sky.setSeed(99);
    EXPECT_NE(sky.snapshot().stars, a.stars);
    EXPECT_EQ(sky.seed(), 99u);
}

}  // namespace

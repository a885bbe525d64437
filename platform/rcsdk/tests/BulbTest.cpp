#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

class BulbTest : public SimRcTest {
protected:
    void SetUp() override {
        SimRcTest::SetUp();
        sim::SimSky::instance().setTimeSource([this] { return now.load(); });
    }
    std::atomic<std::int64_t> now{50'000};
};

TEST_F(BulbTest, PressAndReleaseInBulbGiveOneImageOfThatLength) {
    for (bool dial : {true, false}) {
        SCOPED_TRACE(dial ? "mode dial on Bulb" : "Manual with Tv Bulb");
        simrc::reset();
        if (dial)
            simrc::setShootingMode(RC_MODE_BULB);
        else
            simrc::setTv(RC_TV_BULB);
        const RCVersionRecord v = version();
        ASSERT_EQ(RCStartSDK(&v, 0), 0u);
        EventLog events;
        const RCHandle s = open();
        ASSERT_EQ(RCStartCaptureSession(s, &EventLog::callback, &events), 0u);
        ASSERT_EQ(RCSelectReleaseDataKind(s, RC_KIND_PICTURE_TO_PC), 0u);
        // The PC cannot time a bulb exposure; the cable does.
        EXPECT_EQ(RCCapture(s), RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED);

        auto& sky = sim::SimSky::instance();
        sky.pressShutter();
        now += 2500;
        ASSERT_TRUE(simrc::waitUntilIdle());
        EXPECT_TRUE(events.codes().empty());  // nothing until the contact opens
        sky.releaseShutter();
        ASSERT_TRUE(simrc::waitUntilIdle());

        const auto caps = simrc::captures();
        ASSERT_EQ(caps.size(), 1u);
        EXPECT_EQ(caps[0].exposureMs, 2500);
        EXPECT_TRUE(caps[0].bulb);
        EXPECT_TRUE(caps[0].fromBody);
        EXPECT_EQ(events.codes(), (std::vector<std::uint32_t>{30, 28, 29, 34, 27}));
        EXPECT_EQ(RCEndCaptureSession(s), 0u);
    }
}

TEST_F(BulbTest, OutsideBulbThePressTakesOneExposureAtTheShutterSpeed) {
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    simrc::setTv(48);  // 2 seconds
    ASSERT_TRUE(simrc::waitUntilIdle());
    auto& sky = sim::SimSky::instance();
    sky.pressShutter();
    now += 5000;
    sky.releaseShutter();
    ASSERT_TRUE(simrc::waitUntilIdle());
    const auto caps = simrc::captures();
    ASSERT_EQ(caps.size(), 1u);
    EXPECT_EQ(caps[0].exposureMs, 2000);
    EXPECT_FALSE(caps[0].bulb);
    EXPECT_EQ(log.images().size(), 1u);
    (void)s;
}

TEST_F(BulbTest, WithoutASessionTheBodyReleaseGoesToTheCard) {
    simrc::setShootingMode(RC_MODE_BULB);
    simrc::setShotsLeft(10);
    auto& sky = sim::SimSky::instance();
    sky.pressShutter();
    now += 1000;
    sky.releaseShutter();
    EXPECT_EQ(simrc::cameraState().shotsLeft, 9u);
    ASSERT_EQ(simrc::captures().size(), 1u);
    EXPECT_EQ(simrc::captures()[0].kinds, std::uint32_t(RC_KIND_PICTURE_TO_CARD));
}

}  // namespace

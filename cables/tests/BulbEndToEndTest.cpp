#include <atomic>

#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "cables/tests/CableFixture.h"
#include "platform/ports/SimulatedDsusb.h"
#include "platform/rcsdk/RemoteCapture.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"

using namespace zelmora;
using namespace zelmora::cables;

namespace {

std::atomic<int> imagesReady{0};

std::uint32_t onRelease(std::uint32_t event, const void*, std::uint32_t, void*) {
    if (event == RC_EVENT_IMAGE_READY) ++imagesReady;
    return 0;
}

// The simulated camera in Bulb with a capture session sending pictures to the
// PC, and the program's simulated cables, all on the test's virtual clock.
class BulbThroughTheCable : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        imagesReady = 0;
        simrc::setShootingMode(RC_MODE_BULB);
        RCVersionRecord v{};
        v.structSize = 40;
        v.major = 8;
        ASSERT_EQ(RCStartSDK(&v, 0), 0u);
        RCHandle e = 0;
        RCDeviceRecord rec{};
        ASSERT_EQ(RCEnumDeviceReset(1, &e), 0u);
        ASSERT_EQ(RCEnumDeviceNext(e, &rec), 0u);
        ASSERT_EQ(RCEnumDeviceRelease(e), 0u);
        ASSERT_EQ(RCOpenSource(&rec, &source_), 0u);
        ASSERT_EQ(RCStartCaptureSession(source_, &onRelease, nullptr), 0u);
        ASSERT_EQ(RCSelectReleaseDataKind(source_, RC_KIND_PICTURE_TO_PC), 0u);
        cableSetup().useSimulated(true);
    }
    void TearDown() override {
        RCEndCaptureSession(source_);
        simrc::reset();
        sim::SimSky::instance().reset();
    }
    RCHandle source_ = 0;
};

TEST_P(BulbThroughTheCable, OneFrameOfTheHeldLength) {
    const std::string cable = GetParam();
    CableSetup& c = cableSetup();
    ProgramState& s = state();
    if (cable == "parallel") {
        c.PortTable[0] = {0x378, "ECP", "PS/2", 1, true};
        c.selectPort(0);
        c.FullPressPin = 2;
        DSLRControl::ClearDataPort();
    } else if (cable == "serial") {
        s.bSerialEnabled = true;
        c.ComPort = "COM1";
        c.ShutterSignal = "DTR";
        ASSERT_TRUE(SerialPort::OpenComPort());
    } else {
        s.bDSUSBEnabled = true;
        c.createDSUSB();
        testenv::vclock().advance(dsusb::kPollMs);  // its first poll finds the box
        ASSERT_TRUE(s.bDSUSBConnected);
    }

    const qint64 heldMs = 95'000;
    DSLRControl::PressShutter();
    EXPECT_TRUE(sim::SimSky::instance().shutterOpen());
    // The end of the exposure releases the cable in the timer's own handler.
    testenv::vclock().scheduleIn(heldMs, [] { DSLRControl::ReleaseShutter(); });
    testenv::vclock().advance(heldMs);
    EXPECT_FALSE(sim::SimSky::instance().shutterOpen());
    ASSERT_TRUE(simrc::waitUntilIdle());

    const auto frames = simrc::captures();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].exposureMs, heldMs);
    EXPECT_TRUE(frames[0].bulb);
    EXPECT_TRUE(frames[0].fromBody);
    EXPECT_EQ(imagesReady.load(), 1);
    if (cable == "dsusb") EXPECT_TRUE(c.simBox()->redLamp());
}

INSTANTIATE_TEST_SUITE_P(Cables, BulbThroughTheCable,
                         ::testing::Values("parallel", "serial", "dsusb"));

TEST_F(BulbThroughTheCable, UnpluggingTheBoxMidExposureEndsIt) {
    CableSetup& c = cableSetup();
    state().bDSUSBEnabled = true;
    c.createDSUSB();
    testenv::vclock().advance(dsusb::kPollMs);
    DSLRControl::PressShutter();
    testenv::vclock().advance(10'000);
    c.simBox()->setPresent(false);
    ASSERT_TRUE(simrc::waitUntilIdle());
    ASSERT_EQ(simrc::captures().size(), 1u);
    EXPECT_EQ(simrc::captures()[0].exposureMs, 10'000);
}

}  // namespace

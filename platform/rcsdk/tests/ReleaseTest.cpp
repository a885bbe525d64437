#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

class ReleaseTest : public SimRcTest {};

TEST_F(ReleaseTest, ThumbnailThenPictureWithOneNumberOnTheLibrarysThread) {
    const RCHandle s = session();
    captureAndWait(s);
    EXPECT_EQ(log.codes(), (std::vector<std::uint32_t>{28, 29, 34, 34, 27}));
    const auto images = log.images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(std::uint32_t(images[0].kind), std::uint32_t(RC_IMAGE_THUMBNAIL));
    EXPECT_EQ(std::uint32_t(images[1].kind), std::uint32_t(RC_IMAGE_PICTURE));
    EXPECT_EQ(std::uint32_t(images[0].number), std::uint32_t(images[1].number));
    EXPECT_EQ(int(images[1].format), RC_FORMAT_JPEG);
    EXPECT_GT(std::uint32_t(images[1].size), 0u);
    EXPECT_EQ(log.events[1].count, 2u);
    for (const auto& e : log.events) EXPECT_NE(e.thread, std::this_thread::get_id());
    EXPECT_EQ(log.overlaps, 0);

    // The next release has the next number.
    captureAndWait(s);
    EXPECT_EQ(std::uint32_t(log.images().back().number), images[0].number + 1);
    EXPECT_EQ(RCEndCaptureSession(s), 0u);
    EXPECT_EQ(RCCloseSource(s), 0u);
}

TEST_F(ReleaseTest, CardKindsUseShotsAndNeedACard) {
    simrc::setShotsLeft(40000);  // more than a 16-bit reader holds; reported as is
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC | RC_KIND_PICTURE_TO_CARD);
    std::uint32_t shots = 0;
    ASSERT_EQ(RCGetNumAvailableShot(s, &shots), 0u);
    EXPECT_EQ(shots, 40000u);
    captureAndWait(s);
    ASSERT_EQ(RCGetNumAvailableShot(s, &shots), 0u);
    EXPECT_EQ(shots, 39999u);

    simrc::setShotsLeft(0);
    EXPECT_EQ(RCCapture(s), RC_COMP_CAMERA | RC_ERR_CARD_FULL);
    simrc::setCard(false);
    EXPECT_EQ(RCCapture(s), RC_COMP_CAMERA | RC_ERR_NO_CARD);
    ASSERT_EQ(RCGetNumAvailableShot(s, &shots), 0u);
    EXPECT_EQ(shots, 0u);
    // To the PC only, no card is needed.
    ASSERT_EQ(RCSelectReleaseDataKind(s, RC_KIND_PICTURE_TO_PC), 0u);
    captureAndWait(s);
}

TEST_F(ReleaseTest, ReleaseNeedsASessionAKindAndAnIdleCamera) {
    // A thirty-second exposure at real speed keeps the camera busy.
    simrc::setTimeScale(1);
    simrc::setTv(16);
    const RCHandle s = open();
    EXPECT_EQ(RCCapture(s), RC_COMP_LIBRARY | RC_ERR_SEQUENCE);
    ASSERT_EQ(RCStartCaptureSession(s, &EventLog::callback, &log), 0u);
    EXPECT_EQ(RCCapture(s), RC_COMP_LIBRARY | RC_ERR_SEQUENCE);  // no kind selected
    EXPECT_EQ(RC_ERROR_ID(RCSelectReleaseDataKind(s, 0x10)), RC_ERR_INVALID_PARAMETER);
    ASSERT_EQ(RCSelectReleaseDataKind(s, RC_KIND_PICTURE_TO_PC), 0u);
    ASSERT_EQ(RCCapture(s), 0u);
    EXPECT_EQ(RCCapture(s), RC_COMP_CAMERA | RC_ERR_BUSY);
    // Ending the session abandons the exposure at once.
    EXPECT_EQ(RCEndCaptureSession(s), 0u);
    EXPECT_TRUE(simrc::waitUntilIdle(5000));
    EXPECT_TRUE(log.codes().empty());
    EXPECT_EQ(RCEndCaptureSession(s), RC_COMP_LIBRARY | RC_ERR_SEQUENCE);
}

TEST_F(ReleaseTest, CameraSideChangesAndEventsReachTheirCallbacks) {
    const RCHandle s = session();
    simrc::setShootingMode(RC_MODE_AV);
    simrc::fireReleaseEvent(RC_EVENT_HARDWARE_ERROR);
    ASSERT_TRUE(simrc::waitUntilIdle());
    EXPECT_EQ(log.codes(), (std::vector<std::uint32_t>{27, 10}));

    struct DeviceLog {
        std::mutex m;
        std::vector<std::uint32_t> codes;
        void* context = nullptr;
        static std::uint32_t cb(std::uint32_t code, std::uint32_t, std::uint32_t, void* ctx) {
            auto* self = static_cast<DeviceLog*>(ctx);
            std::lock_guard lock(self->m);
            self->codes.push_back(code);
            return 0;
        }
    } devLog;
    RCHandle reg = 0;
    ASSERT_EQ(RCRegisterEventCallbackFunction(s, &DeviceLog::cb, &devLog, &reg), 0u);
    simrc::fireDeviceEvent(RC_SEVERITY_WARNING | 0x21);
    simrc::fireDeviceEvent(RC_SEVERITY_SHUTDOWN | 0x01);
    ASSERT_TRUE(simrc::waitUntilIdle());
    ASSERT_EQ(RCUnregisterEventCallbackFunction(s, reg), 0u);
    simrc::fireDeviceEvent(RC_SEVERITY_WARNING | 0x22);
    ASSERT_TRUE(simrc::waitUntilIdle());
    EXPECT_EQ(devLog.codes, (std::vector<std::uint32_t>{0x20021, 0x40001}));
    EXPECT_EQ(RC_ERROR_ID(RCUnregisterEventCallbackFunction(s, reg)), RC_ERR_INVALID_HANDLE);
}

TEST_F(ReleaseTest, RawPictureAndTheSettingsChangedSwitch) {
    simrc::CameraProfile p = simrc::profiles::eos20D();
    p.format = {4, 0};
    p.rawPlusJpeg = true;
    p.settingsChangedAfterCapture = false;
    simrc::setDevices({p});
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    captureAndWait(s);
    EXPECT_EQ(log.codes(), (std::vector<std::uint32_t>{28, 29, 34, 34}));
    const auto images = log.images();
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(std::uint32_t(images[0].kind), std::uint32_t(RC_IMAGE_PICTURE));
    EXPECT_EQ(int(images[0].format), RC_FORMAT_RAW);
    EXPECT_EQ(std::uint32_t(images[1].kind), std::uint32_t(RC_IMAGE_SECOND_PICTURE));
    EXPECT_EQ(int(images[1].format), RC_FORMAT_JPEG);
}

TEST_F(ReleaseTest, SynchronousDeliveryRunsTheReleaseInsideTheCall) {
    simrc::setSynchronousDelivery(true);
    const RCHandle s = session(RC_KIND_PICTURE_TO_PC);
    ASSERT_EQ(RCCapture(s), 0u);
    EXPECT_EQ(log.codes(), (std::vector<std::uint32_t>{28, 29, 34, 27}));
    for (const auto& e : log.events) EXPECT_EQ(e.thread, std::this_thread::get_id());
}

TEST_F(ReleaseTest, InjectedFaultsReturnTheirCodesAtTheChosenCalls) {
    const RCHandle s = open();
    const RCResult code = RC_COMP_CAMERA | RC_ERR_COMMUNICATION;
    simrc::failCall("RCGetTvValue", code, 2, 1);
    std::uint16_t tv = 0;
    EXPECT_EQ(RCGetTvValue(s, &tv), 0u);
    EXPECT_EQ(RCGetTvValue(s, &tv), code);
    EXPECT_EQ(RCGetTvValue(s, &tv), code);
    EXPECT_EQ(RCGetTvValue(s, &tv), 0u);
    EXPECT_EQ(simrc::callCount("RCGetTvValue"), 4);

    simrc::failCall("RCLockUI", 0x123, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(RCLockUI(s), 0x123u);
    EXPECT_EQ(RCUnlockUI(s), 0u);  // other functions are untouched
    EXPECT_FALSE(simrc::uiLocked());
    simrc::clearFaults();
    EXPECT_EQ(RCLockUI(s), 0u);
    EXPECT_TRUE(simrc::uiLocked());
    // Unlocking more often than locking is harmless.
    EXPECT_EQ(RCUnlockUI(s), 0u);
    EXPECT_EQ(RCUnlockUI(s), 0u);
    EXPECT_FALSE(simrc::uiLocked());
}

}  // namespace

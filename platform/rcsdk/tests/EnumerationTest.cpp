#include <cstddef>
#include <functional>
#include <string>

#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

class EnumerationTest : public SimRcTest {};

// Every enumeration: the items the camera offers, then the end code for good, and
// a release that leaves nothing open.
TEST_F(EnumerationTest, EveryEnumerationEndsWithTheEndCodeAndReleasesCleanly) {
    simrc::setDevices({simrc::profiles::eos20D(), simrc::profiles::eos350D()});
    simrc::setLens(true);
    const RCHandle s = open();
    const simrc::CameraProfile cam = simrc::cameraState();

    struct Case {
        std::string kind;
        std::function<RCResult(RCHandle*)> reset;
        std::function<RCResult(RCHandle)> next;
        std::function<RCResult(RCHandle)> release;
        std::size_t expected;
    };
    const std::vector<Case> cases = {
        {"Device", [](RCHandle* e) { return RCEnumDeviceReset(1, e); },
         [](RCHandle e) {
             RCDeviceRecord r;
             return RCEnumDeviceNext(e, &r);
         },
         RCEnumDeviceRelease, 2},
        {"Volume", [&](RCHandle* e) { return RCEnumVolumeReset(s, e); },
         [](RCHandle e) {
             RCHandle v;
             return RCEnumVolumeNext(e, &v);
         },
         RCEnumVolumeRelease, 1},
        {"Tv", [&](RCHandle* e) { return RCEnumTvValueReset(s, e); },
         [](RCHandle e) {
             std::uint16_t v;
             return RCEnumTvValueNext(e, &v);
         },
         RCEnumTvValueRelease, cam.tvValues.size()},
        {"Av", [&](RCHandle* e) { return RCEnumAvValueReset(s, e); },
         [](RCHandle e) {
             std::uint16_t v;
             return RCEnumAvValueNext(e, &v);
         },
         RCEnumAvValueRelease, cam.avValues.size()},
        {"ImageFormat", [&](RCHandle* e) { return RCEnumImageFormatAttributeReset(s, e); },
         [](RCHandle e) {
             std::uint16_t q, z;
             return RCEnumImageFormatAttributeNext(e, &q, &z);
         },
         RCEnumImageFormatAttributeRelease, cam.formats.size()},
        {"RelCamSettingData",
         [&](RCHandle* e) {
             std::uint32_t size = 0;
             return RCEnumRelCamSettingDataReset(s, RC_SETTING_ISO, e, &size);
         },
         [](RCHandle e) {
             std::uint16_t v;
             return RCEnumRelCamSettingDataNext(e, 2, &v);
         },
         RCEnumRelCamSettingDataRelease, cam.isoValues.size()},
        {"CustomFunction", [&](RCHandle* e) { return RCEnumCustomFunctionSettingReset(s, e); },
         [](RCHandle e) {
             RCCustomFunction f;
             return RCEnumCustomFunctionSettingNext(e, &f);
         },
         RCEnumCustomFunctionSettingRelease, cam.customFunctions.size()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        RCHandle e = 0;
        ASSERT_EQ(c.reset(&e), 0u);
        EXPECT_EQ(simrc::openEnumerators(c.kind), 1);
        std::size_t n = 0;
        RCResult r;
        while ((r = c.next(e)) == 0) ++n;
        EXPECT_EQ(n, c.expected);
        EXPECT_EQ(RC_ERROR_ID(r), RC_ERR_ENUM_END);
        EXPECT_EQ(RC_ERROR_ID(c.next(e)), RC_ERR_ENUM_END);  // and stays ended
        EXPECT_EQ(c.release(e), 0u);
        EXPECT_EQ(simrc::openEnumerators(c.kind), 0);
        EXPECT_EQ(RC_ERROR_ID(c.release(e)), RC_ERR_INVALID_HANDLE);
        EXPECT_EQ(RC_ERROR_ID(c.next(e)), RC_ERR_INVALID_HANDLE);
    }
    EXPECT_EQ(simrc::openEnumerators(), 0);
}

TEST_F(EnumerationTest, DeviceRecordCarriesTheDisplayNameAtByteEightAndOpensThatCamera) {
    static_assert(sizeof(RCDeviceRecord) == 400);
    static_assert(offsetof(RCDeviceRecord, name) == 8);
    simrc::setDevices({simrc::profiles::eos10D(), simrc::profiles::powerShotG2()});
    const RCDeviceRecord rec = device(1);
    EXPECT_EQ(rec.type, 2u);
    EXPECT_STREQ(rec.name, "PowerShot G2");
    RCHandle s = 0;
    ASSERT_EQ(RCOpenSource(&rec, &s), 0u);
    char model[32];
    std::uint32_t size = sizeof(model);
    ASSERT_EQ(RCGetDevicePropertyData(s, RC_PROP_MODEL_NAME, &size, model, 0), 0u);
    EXPECT_STREQ(model, "PowerShot G2");

    // A record from before the camera was unplugged no longer opens anything.
    simrc::setDevices({simrc::profiles::eos10D()});
    RCHandle t = 0;
    EXPECT_EQ(RCOpenSource(&rec, &t), RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    EXPECT_EQ(RC_ERROR_ID(RCLockUI(s)), RC_ERR_COMMUNICATION);

    // No camera at all: the walk ends at once.
    simrc::setDevices({});
    RCHandle e = 0;
    RCDeviceRecord none{};
    ASSERT_EQ(RCEnumDeviceReset(1, &e), 0u);
    EXPECT_EQ(RC_ERROR_ID(RCEnumDeviceNext(e, &none)), RC_ERR_ENUM_END);
    EXPECT_EQ(RCEnumDeviceRelease(e), 0u);
}

TEST_F(EnumerationTest, VolumeCapacitySaysWhetherACardIsIn) {
    static_assert(offsetof(RCVolumeInfo, capacity) == 4);
    const RCHandle s = open();
    for (bool card : {true, false}) {
        simrc::setCard(card);
        RCHandle e = 0, v = 0;
        ASSERT_EQ(RCEnumVolumeReset(s, &e), 0u);
        ASSERT_EQ(RCEnumVolumeNext(e, &v), 0u);
        RCVolumeInfo info{};
        ASSERT_EQ(RCGetVolumeInfo(v, &info), 0u);
        EXPECT_EQ(info.capacity != 0, card);
        EXPECT_EQ(RC_ERROR_ID(RCEnumVolumeNext(e, &v)), RC_ERR_ENUM_END);
        EXPECT_EQ(RCEnumVolumeRelease(e), 0u);
    }
}

TEST_F(EnumerationTest, DevicePropertiesModelCapabilityAndBattery) {
    simrc::setDevices({simrc::profiles::eos350DRebelXT()});
    simrc::setBattery(0x10 | RC_BATTERY_WEAK);
    const RCHandle s = open();
    ASSERT_EQ(RCEnumDevicePropertyReset(s, 0), 0u);
    EXPECT_EQ(simrc::openEnumerators("DeviceProperty"), 1);

    char model[32];
    std::uint32_t size = 31;  // too small: the property's size comes back
    EXPECT_EQ(RC_ERROR_ID(RCGetDevicePropertyData(s, RC_PROP_MODEL_NAME, &size, model, 0)),
              RC_ERR_INVALID_PARAMETER);
    EXPECT_EQ(size, 32u);
    ASSERT_EQ(RCGetDevicePropertyData(s, RC_PROP_MODEL_NAME, &size, model, 0), 0u);
    EXPECT_STREQ(model, "EOS 350D DIGITAL REBEL XT");

    std::uint32_t word = 0;
    size = 4;
    ASSERT_EQ(RCGetDevicePropertyData(s, RC_PROP_CAPABILITY, &size, &word, 0), 0u);
    EXPECT_TRUE(word & RC_CAPABILITY_REMOTE_RELEASE);
    ASSERT_EQ(RCGetDevicePropertyData(s, RC_PROP_BATTERY, &size, &word, 0), 0u);
    EXPECT_EQ(word & 0xF, std::uint32_t(RC_BATTERY_WEAK));
    EXPECT_EQ(RC_ERROR_ID(RCGetDevicePropertyData(s, 99, &size, &word, 0)), RC_ERR_NOT_SUPPORTED);

    ASSERT_EQ(RCEnumDevicePropertyRelease(s), 0u);
    EXPECT_EQ(simrc::openEnumerators(), 0);
}

}  // namespace

#include "platform/rcsdk/tests/SimRcFixture.h"

using namespace zelmora;
using namespace zelmora::simrc_test;

namespace {

class SettingsTest : public SimRcTest {};

TEST_F(SettingsTest, ValuesTheCameraDoesNotAllowAreRefusedAndLeaveTheSettingAsItWas) {
    simrc::setLens(true);
    const RCHandle s = open();
    const RCResult refused = RC_COMP_PARAMETER | RC_ERR_INVALID_VALUE;
    std::uint16_t v = 0, q = 0, z = 0;

    EXPECT_EQ(RCSetTvValue(s, 0xFFFF), refused);
    EXPECT_EQ(RCSetTvValue(s, 57), refused);  // not a third stop the camera offers
    ASSERT_EQ(RCSetTvValue(s, 104), 0u);      // 1/60
    EXPECT_EQ(RCSetTvValue(s, 0xFFFF), refused);
    ASSERT_EQ(RCGetTvValue(s, &v), 0u);
    EXPECT_EQ(v, 104);

    EXPECT_EQ(RCSetAvValue(s, 0xFFFF), refused);
    EXPECT_EQ(RCSetAvValue(s, 8), refused);  // f/1.0 is beyond this lens
    ASSERT_EQ(RCSetAvValue(s, 56), 0u);
    ASSERT_EQ(RCGetAvValue(s, &v), 0u);
    EXPECT_EQ(v, 56);

    EXPECT_EQ(RCSetImageFormatAttribute(s, 4, 2), refused);  // Raw comes only Large
    EXPECT_EQ(RCSetImageFormatAttribute(s, 0xFFFF, 0), refused);
    ASSERT_EQ(RCSetImageFormatAttribute(s, 2, 1), 0u);
    ASSERT_EQ(RCGetImageFormatAttribute(s, &q, &z), 0u);
    EXPECT_EQ(q, 2);
    EXPECT_EQ(z, 1);

    const std::uint16_t badIso = 0xFFFF, iso800 = 96;
    EXPECT_EQ(RCSetRelCamSettingData(s, RC_SETTING_ISO, 2, &badIso), refused);
    ASSERT_EQ(RCSetRelCamSettingData(s, RC_SETTING_ISO, 2, &iso800), 0u);
    EXPECT_EQ(RC_ERROR_ID(RCSetRelCamSettingData(s, 0x0800000D, 2, &iso800)), RC_ERR_NOT_SUPPORTED);

    // The mode dial cannot be turned from the PC on these bodies.
    EXPECT_EQ(RCSetShootingMode(s, RC_MODE_AV), RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED);
}

TEST_F(SettingsTest, BulbByTvOnlyInManual) {
    const RCHandle s = open();
    ASSERT_EQ(RCSetTvValue(s, RC_TV_BULB), 0u);
    simrc::setShootingMode(RC_MODE_TV);
    EXPECT_EQ(RCSetTvValue(s, RC_TV_BULB), RC_COMP_PARAMETER | RC_ERR_INVALID_VALUE);
}

TEST_F(SettingsTest, NoLensReadsAsNoLensAndOffersNoApertures) {
    for (std::uint16_t noLens : {std::uint16_t(0), std::uint16_t(0xFFFF)}) {
        simrc::CameraProfile p = simrc::profiles::eos20D();
        p.lens = false;
        p.noLensAv = noLens;
        simrc::setDevices({p});
        const RCHandle s = open();
        std::uint16_t av = 1;
        ASSERT_EQ(RCGetAvValue(s, &av), 0u);
        EXPECT_EQ(av, noLens);
        RCHandle e = 0;
        ASSERT_EQ(RCEnumAvValueReset(s, &e), 0u);
        EXPECT_EQ(RC_ERROR_ID(RCEnumAvValueNext(e, &av)), RC_ERR_ENUM_END);
        EXPECT_EQ(RCEnumAvValueRelease(e), 0u);
        EXPECT_EQ(RCSetAvValue(s, 56), RC_COMP_PARAMETER | RC_ERR_INVALID_VALUE);
        EXPECT_EQ(RCCloseSource(s), 0u);
    }
}

TEST_F(SettingsTest, IsoReadsZeroExtendedIntoTheCallersSize) {
    simrc::CameraProfile p = simrc::profiles::eos20D();
    p.iso = 0x58;
    p.isoValueSize = 6;
    simrc::setDevices({p});
    const RCHandle s = open();
    std::uint32_t value = 0xFFFFFFFF, size = 4;
    ASSERT_EQ(RCGetRelCamSettingData(s, RC_SETTING_ISO, &size, &value), 0u);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(value, 0x58u);
    size = 1;
    EXPECT_EQ(RC_ERROR_ID(RCGetRelCamSettingData(s, RC_SETTING_ISO, &size, &value)),
              RC_ERR_INVALID_PARAMETER);

    RCHandle e = 0;
    std::uint32_t valueSize = 0;
    ASSERT_EQ(RCEnumRelCamSettingDataReset(s, RC_SETTING_ISO, &e, &valueSize), 0u);
    EXPECT_EQ(valueSize, 6u);
    std::uint8_t buf[8];
    EXPECT_EQ(RC_ERROR_ID(RCEnumRelCamSettingDataNext(e, 2, buf)), RC_ERR_INVALID_PARAMETER);
    std::memset(buf, 0xAA, sizeof(buf));
    ASSERT_EQ(RCEnumRelCamSettingDataNext(e, 6, buf), 0u);
    EXPECT_EQ(buf[0], p.isoValues[0]);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[5], 0);
    EXPECT_EQ(buf[6], 0xAA);
    EXPECT_EQ(RCEnumRelCamSettingDataRelease(e), 0u);
}

TEST_F(SettingsTest, MirrorLockLivesWhereEachFamilyKeepsIt) {
    struct Case {
        simrc::CameraProfile profile;
        std::uint32_t type, kind;
    };
    for (const Case& c :
         {Case{simrc::profiles::eos20D(), 2, 12}, Case{simrc::profiles::eos350DRebelXT(), 2, 7},
          Case{simrc::profiles::eos10D(), 1, 12}, Case{simrc::profiles::eosD60(), 1, 12}}) {
        SCOPED_TRACE(c.profile.modelName);
        simrc::setDevices({c.profile});
        simrc::setMirrorLock(true);
        const RCHandle s = open();
        RCHandle e = 0;
        ASSERT_EQ(RCEnumCustomFunctionSettingReset(s, &e), 0u);
        RCCustomFunction f{};
        int on = 0;
        while (RCEnumCustomFunctionSettingNext(e, &f) == 0)
            if (f.value == 1) {
                ++on;
                EXPECT_EQ(f.type, c.type);
                EXPECT_EQ(f.kind, c.kind);
            }
        EXPECT_EQ(on, 1);
        EXPECT_EQ(RCEnumCustomFunctionSettingRelease(e), 0u);
        EXPECT_EQ(RCCloseSource(s), 0u);
    }
}

TEST_F(SettingsTest, StartAndFinishAreCounted) {
    // The fixture started once; a second client starts too.
    RCVersionRecord v = version();
    v.minor = 3;
    ASSERT_EQ(RCStartSDK(&v, 0), 0u);
    const RCHandle s = open();
    ASSERT_EQ(RCFinishSDK(), 0u);
    EXPECT_EQ(RCLockUI(s), 0u);  // still running for the other client
    ASSERT_EQ(RCFinishSDK(), 0u);
    EXPECT_EQ(simrc::openSources(), 0);
    EXPECT_EQ(RC_ERROR_ID(RCLockUI(s)), RC_ERR_NOT_STARTED);
    EXPECT_EQ(RCFinishSDK(), 0u);  // once more than started: harmless
    v.major = 7;
    EXPECT_EQ(RC_ERROR_ID(RCStartSDK(&v, 0)), RC_ERR_NOT_SUPPORTED);
}

}  // namespace

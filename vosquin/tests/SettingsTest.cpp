// The setting lists and the host's puts, mirror lock, battery and shots left.

#include <QCoreApplication>
#include <QFile>

#include "testing/TestEnv.h"
#include "vosquin/tests/VosquinFixture.h"

namespace zelmora::vosquin {
namespace {

using simrc::CameraProfile;
namespace profiles = simrc::profiles;

constexpr RCResult kRefused = RC_COMP_PARAMETER | RC_ERR_INVALID_VALUE;  // 0x04000010

class VosquinSettingsTest : public test::VosquinTest {
protected:
    void connectWith(CameraProfile p) {
        simrc::setDevices({p});
        connectReady();
    }
    int logCount(const QString& line) { return int(logMessages().count(line)); }
};

TEST_F(VosquinSettingsTest, TvPutsSelectByWholeTextIgnoringCaseAndApply) {
    connectWith(profiles::eos20D());
    put("Tv", std::string("1/125"));
    EXPECT_EQ(simrc::cameraState().tv, 112);
    EXPECT_EQ(text("Tv"), "1/125");
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnBulbMode(False)"});
    EXPECT_EQ(logCount("Setting TV:112"), 1);

    put("Tv", std::string("bulb"));
    EXPECT_EQ(simrc::cameraState().tv, RC_TV_BULB);
    EXPECT_EQ(text("Tv"), "Bulb");
    EXPECT_EQ(rec.take(),
              (std::vector<std::string>{"OnReadyForRelease(False)", "OnBulbMode(True)",
                                        "OnReadyForRelease(False)"}));  // the refill sees Bulb

    // The value the camera has already: no set.
    const int sets = simrc::callCount("RCSetTvValue");
    put("Tv", std::string("Bulb"));
    EXPECT_EQ(simrc::callCount("RCSetTvValue"), sets);
    EXPECT_FALSE(simrc::uiLocked());
}

TEST_F(VosquinSettingsTest, PutsThatMatchNoEntryKeepTheSelectionAndLeaveTheCameraAlone) {
    CameraProfile p = profiles::eos20D();
    p.lens = true;
    connectWith(p);
    const char* const names[] = {"Tv", "Av", "ISO", "ImageQuality"};
    const char* const values[] = {"1/6(1/3)", "f/2.8", "12345", "Superb"};
    for (int i = 0; i < 4; ++i) {
        const std::string before =
            i == 3 ? dlg().list(CCameraDlg::kQuality).selectedText() : text(names[i]);
        put(names[i], std::string(values[i]));
        const std::string after =
            i == 3 ? dlg().list(CCameraDlg::kQuality).selectedText() : text(names[i]);
        EXPECT_EQ(after, before) << names[i];
        EXPECT_FALSE(before.empty()) << names[i];
    }
    put("ISO", std::string());  // an empty text matches nothing either
    for (const char* call :
         {"RCSetTvValue", "RCSetAvValue", "RCSetRelCamSettingData", "RCSetImageFormatAttribute"})
        EXPECT_EQ(simrc::callCount(call), 0) << call;
    EXPECT_EQ(logCount("Tv not changed, no entry matches:1/6(1/3)"), 1);
    EXPECT_EQ(logCount("ISO not changed, no entry matches:"), 1);
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(VosquinSettingsTest, IsoAndAvPutsApplyAndRefillTheLists) {
    CameraProfile p = profiles::eos20D();
    p.lens = true;
    connectWith(p);
    put("ISO", std::string("800"));
    EXPECT_EQ(simrc::cameraState().iso, 96);
    EXPECT_EQ(text("ISO"), "800");
    EXPECT_EQ(logCount("Setting ISO:96"), 1);
    put("Av", std::string("5.6"));
    EXPECT_EQ(simrc::cameraState().av, 48);
    EXPECT_EQ(text("Av"), "5.6");
    EXPECT_TRUE(rec.events.empty());  // Av and ISO changes tell the host nothing
}

TEST_F(VosquinSettingsTest, QualityPutsMatchThePrefixAndNeverPickAnUnknownSizeByAccident) {
    CameraProfile p = profiles::eos20D();
    p.formats = {{2, 0}, {3, 0xFFFF}, {3, 0}, {4, 0}, {9, 0}, {3, 3}};
    p.format = {2, 0};
    connectWith(p);
    std::vector<std::string> listed;
    for (const ComboEntry& e : dlg().list(CCameraDlg::kQuality).entries()) listed.push_back(e.text);
    // "Error" entries are not offered; the list is sorted.
    EXPECT_EQ(listed, (std::vector<std::string>{"Fine\\Large", "Fine\\Unknown", "Normal\\Large",
                                                "Raw\\Large"}));
    EXPECT_EQ(text("ImageQuality"), "Normal");

    // The search starts at the second entry: "Fine\Unknown" would be met first.
    put("ImageQuality", std::string("fine"));
    EXPECT_EQ(simrc::cameraState().format, (simrc::QualitySize{3, 0}));
    EXPECT_EQ(text("ImageQuality"), "Fine");
    EXPECT_EQ(text("ImageSize"), "Large");
    EXPECT_EQ(logCount("Setting QualSize:30"), 1);

    put("ImageQuality", std::string("Raw"));
    EXPECT_EQ(simrc::cameraState().format, (simrc::QualitySize{4, 0}));
    // Only its whole text chooses the entry of unknown size, with the size exactly.
    put("ImageQuality", std::string("FINE\\unknown"));
    EXPECT_EQ(simrc::cameraState().format, (simrc::QualitySize{3, 0xFFFF}));
    EXPECT_EQ(text("ImageSize"), "Unknown");
    put("ImageSize", std::string("Small"));  // accepted, changes nothing
    EXPECT_EQ(simrc::cameraState().format, (simrc::QualitySize{3, 0xFFFF}));
}

TEST_F(VosquinSettingsTest, AFailingSetLogsTheFailingCallsCode) {
    connectWith(profiles::eos20D());
    simrc::failCall("RCSetTvValue", kRefused);
    put("Tv", std::string("1/125"));
    simrc::failCall("RCSetImageFormatAttribute", kRefused);
    put("ImageQuality", std::string("Raw"));
    simrc::failCall("RCSetRelCamSettingData", kRefused);
    put("ISO", std::string("800"));
    EXPECT_EQ(logCount("OnSelchangeTv ErrorCode = 0x04000010"), 1);
    EXPECT_EQ(logCount("On Quality Size Change ErrorCode = 0x04000010"), 1);
    EXPECT_EQ(logCount("Error Setting ISO ErrorCode = 0x04000010"), 1);
    EXPECT_EQ(simrc::cameraState().tv, 56);
    EXPECT_FALSE(simrc::uiLocked());
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(VosquinSettingsTest, CameraSideChangesRefillTheListsButNotTheQualityList) {
    CameraProfile p = profiles::eos20D();
    p.lens = true;
    connectWith(p);
    simrc::setIso(104);
    simrc::setTv(112);
    simrc::setImageFormat({4, 0});
    deliver();
    EXPECT_EQ(text("ISO"), "1600");
    EXPECT_EQ(text("Tv"), "1/125");
    EXPECT_EQ(text("ImageQuality"), "Raw");  // read from the camera
    EXPECT_EQ(dlg().list(CCameraDlg::kQuality).selectedText(), "Fine\\Large");  // not refilled
    // Each change ends with the release kinds told again.
    EXPECT_EQ(rec.named("OnReadyForRelease").size(), 3u);

    // Bulb on the dial: both lists enabled, neither refilled, no allowed speeds.
    const int tvCount = dlg().list(CCameraDlg::kTv).count();
    simrc::setShootingMode(RC_MODE_BULB);
    deliver();
    EXPECT_EQ(dlg().list(CCameraDlg::kTv).count(), tvCount);
    EXPECT_TRUE(dlg().list(CCameraDlg::kTv).enabled());
    EXPECT_TRUE(dlg().list(CCameraDlg::kAv).enabled());
    EXPECT_EQ(text("AllowedTv"), "");
    EXPECT_EQ(text("ShootingMode"), "Bulb");

    // Lens off: Av disabled, its entries kept.
    simrc::setShootingMode(RC_MODE_MANUAL);
    simrc::setLens(false);
    deliver();
    EXPECT_FALSE(dlg().list(CCameraDlg::kAv).enabled());
    EXPECT_EQ(text("Av"), "2.8");
}

TEST_F(VosquinSettingsTest, TvAndAvModesGateTheLists) {
    CameraProfile p = profiles::eos20D();
    p.lens = true;
    p.mode = RC_MODE_AV;
    connectWith(p);
    EXPECT_FALSE(dlg().list(CCameraDlg::kTv).enabled());
    EXPECT_EQ(dlg().list(CCameraDlg::kTv).count(), 0);
    EXPECT_TRUE(dlg().list(CCameraDlg::kAv).enabled());
    EXPECT_EQ(text("ShootingMode"), "Av");
    simrc::setShootingMode(RC_MODE_TV);
    deliver();
    EXPECT_TRUE(dlg().list(CCameraDlg::kTv).enabled());
    EXPECT_FALSE(dlg().list(CCameraDlg::kAv).enabled());
    EXPECT_EQ(text("Tv"), "1");
    EXPECT_NE(text("AllowedTv"), "");
    simrc::setShootingMode(RC_MODE_MANUAL2);
    deliver();
    EXPECT_EQ(text("ShootingMode"), "Manual2");
    EXPECT_EQ(dlg().list(CCameraDlg::kMode).selectedText(), "Manual");
    EXPECT_EQ(text("AllowedTv"), "");
}

TEST_F(VosquinSettingsTest, AnUnsupportedModeShowsOneBoxEvenWhenTheCameraKeepsReporting) {
    connectWith(profiles::eos20D());
    int boxes = 0;
    testenv::dialogs()
        .expectMsgBox("Please set your camera to Manual, Tv, Av or Bulb mode!")
        .whileShowing([&] {
            ++boxes;
            // Another change arrives while the box is up.
            simrc::fireSettingsChanged();
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::sendPostedEvents();
        });
    simrc::setShootingMode(1);  // Program
    deliver();
    EXPECT_EQ(boxes, 1);
    const auto& shown = testenv::dialogs().shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().style, platform::Msg::Exclamation);
    EXPECT_EQ(text("ShootingMode"), "Program");
}

TEST_F(VosquinSettingsTest, MirrorLockByModel) {
    struct Case {
        CameraProfile profile;
        bool lockOn;
        bool expected;
        const char* line;  // a line the walk must log
    };
    const Case cases[] = {
        {profiles::eos20D(), true, true, "Mirror Lock on 20D is True"},
        {profiles::eos20D(), false, false, "Its a 20D"},
        {profiles::eos350D(), true, true, "Mirror Lock on 350D is True"},
        {profiles::eos350DRebelXT(), true, true, "Mirror Lock on 350D is True"},
        {profiles::eos10D(), true, true, "Mirror Lock on 10D is True"},
        {profiles::eosD60(), true, true, "Mirror Lock on 10D is True"},
        {profiles::eos300D(), true, false, "Its a 300D No mirror lock"},
        {profiles::digitalRebel(), true, false, "Its a 300D No mirror lock"},
        {profiles::eosD30(), true, false, "Type:1 Kind:12 Value:1"},  // a family of its own
        {profiles::eos1D(), true, false, "Type:1 Kind:12 Value:1"},
    };
    for (const Case& c : cases) {
        simrc::reset();
        QFile::remove(logPath());
        simrc::setDevices({c.profile});
        simrc::setMirrorLock(c.lockOn);
        make();
        connectCamera();
        EXPECT_EQ(flag("MirrorLock"), c.expected) << c.profile.modelName;
        const QStringList log = logMessages();
        EXPECT_TRUE(log.contains(
            QString::fromStdString("Getting Mirror Lock Setting for:" + c.profile.modelName)));
        EXPECT_TRUE(log.contains(c.line)) << c.profile.modelName << ": " << c.line;
        EXPECT_EQ(simrc::openEnumerators(), 0);
        ctrl_.reset();
    }
    // Without a camera, or when the walk fails: off, and the failure logged.
    make();
    EXPECT_FALSE(flag("MirrorLock"));
    connectCamera();
    simrc::failCall("RCEnumCustomFunctionSettingNext", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    EXPECT_FALSE(flag("MirrorLock"));
    EXPECT_TRUE(logMessages().contains("Get Mirror Lock ErrorCode = 0x00200080"));
    EXPECT_EQ(simrc::openEnumerators(), 0);
}

TEST_F(VosquinSettingsTest, BatteryTexts) {
    connectWith(profiles::eos20D());
    const std::pair<std::uint32_t, const char*> cases[] = {
        {2, "Empty"},   {3, "Low"},     {4, "Weak"},   {6, "Good"},
        {0x36, "Good"}, {5, "unknown"}, {0, "unknown"}};
    for (const auto& [level, textWanted] : cases) {
        simrc::setBattery(level);
        call("RequestBatteryLevel");
        EXPECT_EQ(rec.named("OnBatteryLevelChange").back(),
                  std::string("OnBatteryLevelChange(") + textWanted + ")");
    }
    rec.take();
    simrc::failCall("RCGetDevicePropertyData", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    call("RequestBatteryLevel");
    EXPECT_TRUE(rec.events.empty());
    EXPECT_TRUE(logMessages().contains("Getting Battery Status error ErrorCode = 0x00200080"));
}

TEST_F(VosquinSettingsTest, ShotsLeftFitInSixteenBits) {
    connectWith(profiles::eos20D());
    const std::pair<std::uint32_t, std::int16_t> cases[] = {
        {250, 250}, {32767, 32767}, {32768, 32767}, {100000, 32767}, {0, 0}};
    for (const auto& [shots, expected] : cases) {
        simrc::setShotsLeft(shots);
        EXPECT_EQ(get("NoShotsLeft"), automation::Variant(expected)) << shots;
    }
}

}  // namespace
}  // namespace zelmora::vosquin

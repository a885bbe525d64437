#include <gtest/gtest.h>

#include "camera/CameraSettingLists.h"
#include "camera/clsCamera.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace sim = zelmora::simrc;

namespace {

// A started library with device 0 open; the lists work on a fresh camera object.
struct ListsFixture : ::testing::Test, CameraSettingLists::Host {
    clsCamera camera;
    CameraSettingLists lists{camera, *this};
    RCHandle src = 0;
    bool half = true;
    int detectCalls = 0;
    int isoChanged = 0;

    RCHandle source() const override { return src; }
    void DetectExposureSteps() override { ++detectCalls; }
    bool HalfStop() const override { return half; }

    void open(sim::CameraProfile profile) {
        sim::reset();
        sim::setSynchronousDelivery(true);
        sim::setDevices({std::move(profile)});
        RCVersionRecord v{40, 8, 3, {}};
        ASSERT_EQ(RCStartSDK(&v, 0), 0u);
        RCHandle en = 0;
        RCDeviceRecord rec{};
        ASSERT_EQ(RCEnumDeviceReset(1, &en), 0u);
        ASSERT_EQ(RCEnumDeviceNext(en, &rec), 0u);
        RCEnumDeviceRelease(en);
        ASSERT_EQ(RCOpenSource(&rec, &src), 0u);
    }
    ListsFixture() {
        QObject::connect(&camera, &clsCamera::ISOChanged, [this] { ++isoChanged; });
    }
    int leftOpen = 0;  // an enumeration whose release itself failed cannot be released
    void TearDown() override {
        EXPECT_EQ(sim::openEnumerators(), leftOpen) << "an enumeration was left open";
        leftOpen = 0;
        if (src) RCCloseSource(src);
        while (sim::startCount() > 0) RCFinishSDK();
    }
    static QStringList texts(const SettingList& l) {
        QStringList t;
        for (const auto& i : l.items) t << i.text;
        return t;
    }
    static std::vector<std::int32_t> codes(const SettingList& l) {
        std::vector<std::int32_t> c;
        for (const auto& i : l.items) c.push_back(i.item);
        return c;
    }
    void refreshAll() {
        lists.RefreshModeList();
        lists.RefreshIsoList();
        lists.RefreshTvList();
        lists.RefreshAvList();
        lists.RefreshQualitySizeList();
    }
};

sim::CameraProfile withLens(sim::CameraProfile p) {
    p.lens = true;
    p.av = 40;
    p.avValues = {32, 37, 40, 48, 56};
    return p;
}

}  // namespace

TEST_F(ListsFixture, ModeGateDecidesWhichListsAreRefreshed) {
    struct Case {
        std::uint16_t mode;
        const char* text;
        bool av, tv, iso;
    };
    const Case cases[] = {
        {4, "Manual", true, true, true},     {101, "Manual", true, true, true},
        {3, "Av", true, false, false},       {2, "Tv", false, true, true},
        {7, "Bulb", false, false, false},    {0, "Auto", false, false, false},
        {1, "Program", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto p = withLens(sim::profiles::eos10D());
        p.mode = c.mode;
        open(p);
        // Old entries that a skipped refresh keeps.
        for (SettingList* l : {&camera.lists().lbAv, &camera.lists().lbTv, &camera.lists().lbISO}) {
            l->clear();
            l->add("old", -7);
        }
        refreshAll();
        EXPECT_EQ(camera.ShootingMode(), c.text);
        EXPECT_EQ(texts(camera.lists().lbMode), QStringList{c.text});
        EXPECT_FALSE(camera.lists().lbMode.enabled);
        EXPECT_EQ(texts(camera.lists().lbAv) != QStringList{"old"}, c.av);
        EXPECT_EQ(texts(camera.lists().lbTv) != QStringList{"old"}, c.tv);
        EXPECT_EQ(texts(camera.lists().lbISO) != QStringList{"old"}, c.iso);
        EXPECT_EQ(isoChanged, c.iso ? 1 : 0);
        EXPECT_TRUE(camera.lists().lbQualitySize.enabled);
        TearDown();
        isoChanged = 0;
        camera.setShootingMode({});
    }
}

TEST_F(ListsFixture, CameraListsCarryTextsCodesAndTheCurrentSelection) {
    auto p = withLens(sim::profiles::eos10D());
    p.tvValues = {16, 21, 48, 56, 83, 4};
    p.tv = 56;
    p.isoValues = {72, 80, 88};
    open(p);
    refreshAll();
    const auto& l = camera.lists();
    EXPECT_EQ(texts(l.lbAv), (QStringList{"2.8", "3.5(1/3)", "4.0", "5.6", "8"}));
    EXPECT_EQ(l.lbAv.selectedText(), "4.0");
    EXPECT_TRUE(l.lbAv.enabled);
    EXPECT_EQ(texts(l.lbTv), (QStringList{"30\"", "20\"(1/3)", "2", "1", "1/10(1/3)", "Bulb"}));
    EXPECT_EQ(l.lbTv.selectedItem(), 56);
    EXPECT_EQ(camera.CurrentTv(), "1");
    EXPECT_EQ(texts(l.lbISO), (QStringList{"100", "200", "400"}));
    EXPECT_EQ(camera.CurrentISO(), "400");
    EXPECT_EQ(camera.CurrentQuality(), "LARGE/FINE");
}

TEST_F(ListsFixture, TwentyDAndThreeFiftyDInManualGetAnExtraBulbEntry) {
    struct Case {
        sim::CameraProfile profile;
        bool b20D, b350D;
        std::uint16_t mode;
        bool bulb;
    };
    const Case cases[] = {
        {sim::profiles::eos20D(), true, false, 4, true},
        {sim::profiles::eos350D(), false, true, 101, true},
        {sim::profiles::eos20D(), true, false, 2, false},
        {sim::profiles::eos10D(), false, false, 4, false},
    };
    for (const Case& c : cases) {
        auto p = c.profile;
        p.mode = c.mode;
        p.tvValues = {4, 48, 56};  // the camera offers Bulb itself too
        open(p);
        state().b20D = c.b20D;
        state().b350D = c.b350D;
        lists.RefreshModeList();
        lists.RefreshTvList();
        std::vector<std::int32_t> want{4, 48, 56};
        if (c.bulb) want.push_back(4);
        EXPECT_EQ(codes(camera.lists().lbTv), want) << c.profile.displayName;
        TearDown();
    }
}

TEST_F(ListsFixture, NoLensLeavesAnEmptyAvList) {
    for (std::uint16_t noLens : {std::uint16_t(0), std::uint16_t(0xFFFF)}) {
        auto p = sim::profiles::eos10D();
        p.lens = false;
        p.noLensAv = noLens;
        p.av = noLens;
        p.avValues = {32, 40};
        open(p);
        camera.lists().lbAv.add("old", 1);
        lists.RefreshModeList();
        lists.RefreshAvList();
        EXPECT_TRUE(camera.lists().lbAv.items.empty());
        EXPECT_FALSE(camera.lists().lbAv.enabled);
        TearDown();
    }
}

TEST_F(ListsFixture, D60ProbesAperturesAndRestoresTheSavedOne) {
    auto p = withLens(sim::profiles::eosD60());
    p.avValues = {24, 37, 40, 45, 56};
    p.av = 45;
    open(p);
    state().bD60 = true;
    int pointer = 0;
    lists.setRestorePointer([&] { ++pointer; });
    lists.RefreshModeList();
    lists.RefreshAvList();
    const auto& av = camera.lists().lbAv;
    EXPECT_EQ(texts(av), (QStringList{"2", "3.5", "4", "5", "8"}));
    EXPECT_EQ(av.selectedText(), "5");
    EXPECT_TRUE(av.enabled);
    EXPECT_EQ(sim::cameraState().av, 45);
    EXPECT_EQ(sim::callCount("RCSetAvValue"), 48);
    EXPECT_FALSE(sim::uiLocked());
    EXPECT_EQ(pointer, 1);
}

TEST_F(ListsFixture, D60ProbeWithoutALensOrAFailedReadNeverWritesBack) {
    auto p = sim::profiles::eosD60();
    p.lens = false;
    p.av = 0xFFFF;
    p.avValues = {40};
    open(p);
    state().bD60 = true;
    lists.RefreshModeList();
    lists.RefreshAvList();
    EXPECT_EQ(sim::callCount("RCSetAvValue"), 47);  // no restore
    EXPECT_FALSE(camera.lists().lbAv.hasSelection());
    EXPECT_FALSE(camera.lists().lbAv.enabled);

    // A failed read: nothing could be restored, so nothing is tried (aperture 0 never written).
    auto q = withLens(sim::profiles::eosD60());
    open(q);
    state().bD60 = true;
    lists.RefreshModeList();
    sim::failCall("RCGetAvValue", RC_COMP_CAMERA | RC_ERR_COMMUNICATION);
    lists.RefreshAvList();
    EXPECT_EQ(sim::callCount("RCSetAvValue"), 0);
    EXPECT_EQ(sim::cameraState().av, q.av);
    EXPECT_TRUE(camera.lists().lbAv.items.empty());
    EXPECT_FALSE(sim::uiLocked());
}

TEST_F(ListsFixture, D60FixedTvTablesFollowTheExposureSteps) {
    for (bool halfStop : {true, false}) {
        auto p = sim::profiles::eosD60();
        p.tv = 40;
        open(p);
        state().bD60 = true;
        half = halfStop;
        detectCalls = 0;
        lists.RefreshModeList();
        lists.RefreshTvList();
        const auto& tv = camera.lists().lbTv;
        EXPECT_EQ(detectCalls, 1);
        // The tables hold Bulb plus 39 half-stop codes, or Bulb plus 58 third-stop codes.
        EXPECT_EQ(tv.items.size(), halfStop ? 40u : 59u);
        EXPECT_EQ(tv.items.front().text, "Bulb");
        EXPECT_EQ(tv.selectedText(), "4\"");
        EXPECT_TRUE(tv.enabled);
        TearDown();
    }
}

TEST_F(ListsFixture, D60FixedIsoListKeepsEnabledStateAndRaisesNothing) {
    auto p = sim::profiles::eosD60();
    p.iso = 80;
    open(p);
    state().bD60 = true;
    camera.lists().lbISO.enabled = false;
    lists.RefreshModeList();
    lists.RefreshIsoList();
    EXPECT_EQ(texts(camera.lists().lbISO), (QStringList{"100", "200", "400", "800", "1000"}));
    EXPECT_EQ(camera.CurrentISO(), "200");
    EXPECT_FALSE(camera.lists().lbISO.enabled);
    EXPECT_EQ(isoChanged, 0);
}

TEST_F(ListsFixture, IsoValueSizeAboveFourGivesAnEmptyListButStillRaisesIsoChanged) {
    auto p = sim::profiles::eos10D();
    p.isoValueSize = 8;
    open(p);
    lists.RefreshModeList();
    lists.RefreshIsoList();
    EXPECT_TRUE(camera.lists().lbISO.items.empty());
    EXPECT_FALSE(camera.lists().lbISO.enabled);
    EXPECT_EQ(isoChanged, 1);
}

TEST_F(ListsFixture, InvalidIsoCodeReadsAsMinusOneAndShowsInvalid) {
    auto p = sim::profiles::eos10D();
    p.isoValues = {72, 0xFFFF};
    p.iso = 0xFFFF;
    open(p);
    // The library sign-extends the invalid code into any wider buffer.
    std::int32_t v = 0;
    std::uint32_t size = 4;
    ASSERT_EQ(RCGetRelCamSettingData(src, RC_SETTING_ISO, &size, &v), 0u);
    EXPECT_EQ(v, -1);
    lists.RefreshModeList();
    lists.RefreshIsoList();
    EXPECT_EQ(texts(camera.lists().lbISO), (QStringList{"100", "(Invalid)"}));
    EXPECT_EQ(camera.CurrentISO(), "(Invalid)");
}

TEST_F(ListsFixture, QualitySizeTextsItemValuesAndSkippedPairs) {
    auto p = sim::profiles::eos10D();
    p.formats = {{3, 0},      {3, 2},      {4, 5}, {2, 3}, {3, 8},
                 {0xFFFF, 1}, {1, 0xFFFF}, {5, 7}, {0, 1}, {2, 1}};
    p.format = {2, 1};
    open(p);
    lists.RefreshQualitySizeList();
    const auto& l = camera.lists().lbQualitySize;
    EXPECT_EQ(texts(l), (QStringList{"LARGE/FINE", "SMALL/FINE", "MEDIUM1/RAW", "MEDIUM3/SUPERFINE",
                                     "MEDIUM/NORMAL"}));
    EXPECT_EQ(codes(l), (std::vector<std::int32_t>{3, 23, 54, 75, 12}));
    EXPECT_EQ(l.selectedText(), "MEDIUM/NORMAL");  // after the unknown pairs, walk went on
    EXPECT_TRUE(l.enabled);
}

TEST_F(ListsFixture, BatteryNibbles) {
    open(sim::profiles::eos20D());
    const std::pair<std::uint32_t, const char*> cases[] = {
        {2, "Empty"}, {3, "Low"}, {4, "Weak"}, {6, "Good"}, {0x16, "Good"}, {5, ""}, {0, ""}};
    for (auto [value, text] : cases) {
        sim::setBattery(value);
        EXPECT_EQ(lists.GetBatteryLevel(), text) << value;
    }
}

// Each enumeration's calls, failed in turn: the exact report, and every
// enumeration released (checked in TearDown).
TEST_F(ListsFixture, FailureAtEachCallReportsAndReleases) {
    const RCResult other = RC_COMP_CAMERA | RC_ERR_COMMUNICATION;        // 0x200080
    const RCResult unsupported = RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;  // 0x200007
    struct Case {
        const char* call;
        RCResult code;
        const char* box;
    };
    const Case cases[] = {
        {"RCGetShootingMode", other, "ErrorCode = 0x200080"},
        {"RCGetAvValue", unsupported,
         "Unable to retrieve valid Av settings from your camera. This feature is not supported on "
         "your model. ErrorCode = 0x200007"},
        {"RCEnumAvValueReset", other,
         "Unable to retrieve valid Av settings from your camera. ErrorCode = 0x200080"},
        {"RCEnumAvValueRelease", other,
         "Unable to retrieve valid Av settings from your camera. ErrorCode = 0x200080"},
        {"RCGetTvValue", unsupported,
         "Unable to retrieve valid Tv settings from your camera. This feature is not supported on "
         "your model. ErrorCode = 0x200007"},
        {"RCEnumTvValueReset", other,
         "Unable to retrieve valid Tv settings from your camera. ErrorCode = 0x200080"},
        {"RCEnumTvValueRelease", other,
         "Unable to retrieve valid Tv settings from your camera. ErrorCode = 0x200080"},
        {"RCEnumRelCamSettingReset", other,
         "Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x200080"},
        {"RCGetRelCamSettingData", other,
         "Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x200080"},
        {"RCEnumRelCamSettingDataReset", other,
         "Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x200080"},
        {"RCEnumRelCamSettingDataRelease", other,
         "Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x200080"},
        {"RCEnumRelCamSettingRelease", other,
         "Unable to retrieve valid ISO values from your Camera. ErrorCode = 0x200080"},
        {"RCGetImageFormatAttribute", other, "ErrorCode = 0x200080"},
        {"RCEnumImageFormatAttributeReset", other, "ErrorCode = 0x200080"},
        {"RCEnumImageFormatAttributeRelease", other, "ErrorCode = 0x200080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        open(withLens(sim::profiles::eos10D()));
        testenv::dialogs().clear();
        testenv::dialogs().expectMsgBox(c.box);
        sim::failCall(c.call, c.code);
        refreshAll();
        if (std::string_view(c.call).ends_with("Release")) leftOpen = 1;
        EXPECT_TRUE(testenv::dialogs().allUsed());
        ASSERT_EQ(testenv::dialogs().shown().size(), 1u);
        EXPECT_EQ(testenv::dialogs().shown()[0].text, c.box);
        TearDown();
        camera.setShootingMode({});
    }
}

TEST_F(ListsFixture, AvFailureLogLinesCarryTheErrorIdInHex) {
    testenv::enableTrace();
    open(withLens(sim::profiles::eos10D()));
    lists.RefreshModeList();
    sim::failCall("RCEnumAvValueReset", RC_COMP_CAMERA | 0xABu);
    testenv::dialogs().expectMsgBox("Unable to retrieve valid Av settings");
    lists.RefreshAvList();
    const QStringList lines = testenv::traceLines();
    EXPECT_TRUE(lines.filter("RCEnumAvValueReset Error. ErrorCode = 0xAB").size() == 1)
        << lines.join("\n").toStdString();
    EXPECT_EQ(
        lines.filter("Unable to retrieve valid Av settings from your camera. ErrorCode = 0xAB")
            .size(),
        1);
    EXPECT_EQ(lines.filter("Current Av value: &h28").size(), 1);
}

#include <gtest/gtest.h>

#include "capture/CaptureRules.h"
#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "shell/Conv.h"

using namespace zelmora;
using namespace zelmora::capture::rules;
namespace Msg = zelmora::platform::Msg;

namespace {
int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}
QStringList texts(const CheckResult& r) {
    QStringList out;
    for (const auto& s : r.steps)
        out << (s.gapQuestion ? QStringLiteral("<gap>") : s.text.left(40));
    return out;
}
}  // namespace

TEST(ConversionsTest, NumericTestAndPatterns) {
    const std::vector<std::pair<QString, bool>> numeric = {
        {"30.", true},  {".5", true}, {" -2 ", true},  {"1e3", true},    {"0", true}, {"", false},
        {"   ", false}, {"a", false}, {"1.5.", false}, {"12abc", false}, {".", false}};
    for (const auto& [text, ok] : numeric)
        EXPECT_EQ(Conv::isNumeric(text), ok) << text.toStdString();

    // Halves away from zero, unlike the whole-number conversions.
    const std::vector<std::tuple<double, int, QString>> patterns = {
        {5, 2, "05"},    {-5, 2, "-05"},  {0.5, 2, "01"},  {2.5, 1, "3"}, {-2.5, 1, "-3"},
        {100, 2, "100"}, {33.3, 1, "33"}, {-0.4, 2, "00"}, {0, 2, "00"}};
    for (const auto& [x, digits, text] : patterns)
        EXPECT_EQ(Conv::zeroPadded(x, digits), text) << x;
    EXPECT_EQ(Conv::fixed(1.0 / 125, 4), "0.0080");
    EXPECT_EQ(Conv::fixed(0.00005, 4), "0.0001");

    // Whole numbers round halves to even; overflow 6, type mismatch 13.
    EXPECT_EQ(Conv::parseInt16("2.5"), 2);
    EXPECT_EQ(Conv::parseInt16("3.5"), 4);
    EXPECT_EQ(errorOf([] { Conv::parseInt16("99999"); }), 6);
    EXPECT_EQ(errorOf([] { Conv::parseInt32("abc"); }), 13);
    EXPECT_EQ(errorOf([] { Conv::parseInt32("3000000000"); }), 6);
}

TEST(CaptureRulesTest, ShutterSpeedTexts) {
    const std::vector<std::pair<QString, double>> cases = {
        {"1/125", 0.008}, {"0''5", 0.5},  {"1''3", 1.3},        {"30''", 30},       {"2", 2},
        {"1", 1},         {"3''2", 3.2},  {"1/6(1/3)", 0.1667}, {"1/8000", 0.0001}, {"Bulb", 0},
        {"", 0},          {"1.5''", 1.5}, {"2''", 2},           {"1/4", 0.25},      {"garbage", 0}};
    for (const auto& [tv, seconds] : cases)
        EXPECT_DOUBLE_EQ(tvSeconds(tv), seconds) << tv.toStdString();
}

TEST(CaptureRulesTest, LongExposureAndTotals) {
    EXPECT_EQ(longSeconds("2", "30"), 150);
    EXPECT_EQ(longSeconds("", ""), 0);
    EXPECT_EQ(errorOf([] { longSeconds("40000000", "0"); }), 6);
    EXPECT_EQ(errorOf([] { longSeconds("x", "0"); }), 13);

    // 2 min 30 s, 3 exposures, 10 s between, 5 s lead-in, mirror lock-up 2 s.
    EXPECT_EQ(totalExposure("3", "10", "5", "2", true, 150), 481);
    EXPECT_EQ(totalExposure("3", "10", "5", "2", false, 150), 475);
    EXPECT_EQ(totalExposure("0", "10", "5", "2", true, 150), 0);
    // Short tab without a camera: only the gaps and the lead-in count.
    EXPECT_EQ(totalExposure("4", "15", "5", "15", false, 0), 50);
    // The float sum rounds half to even: 2 x 0.25 + 0 = 0.5 -> 0; 6 x 0.25 = 1.5 -> 2.
    EXPECT_EQ(totalExposure("2", "0", "0", "0", false, 0.25), 0);
    EXPECT_EQ(totalExposure("6", "0", "0", "0", false, 0.25), 2);
    EXPECT_EQ(errorOf([] { totalExposure("", "1", "1", "1", false, 1); }), 13);
    EXPECT_EQ(totalLabel(481, true), "Total Exp Time: 481 secs");
    EXPECT_EQ(totalLabel(50, false), "Total Approx Exp Time: 50 secs");
}

TEST(CaptureRulesTest, GapWarningAndMirrorDelay) {
    struct Case {
        QString between;
        bool checkGap, connected, warn;
    };
    const std::vector<Case> cases = {{"0", true, true, false},    {"5", true, true, true},
                                     {"8", true, true, false},    {"5", false, true, false},
                                     {"5", true, false, false},   {"7.4", true, true, true},
                                     {"99999", true, true, false}};
    for (const auto& c : cases)
        EXPECT_EQ(needsGapWarning(c.between, c.checkGap, c.connected), c.warn)
            << c.between.toStdString();

    for (const char* bad : {"0", "60", "abc", "", "99999", "-3"})
        EXPECT_FALSE(mirrorDelayValid(bad)) << bad;
    for (const char* good : {"1", "59", "30", " 5 "}) EXPECT_TRUE(mirrorDelayValid(good)) << good;
}

TEST(CaptureRulesTest, ShortRunChecksInOrder) {
    RunInputs ok;
    ok.connected = true;
    ok.expCount = "3";
    ok.tv = "1/125";
    ok.pictoPC = true;
    ok.directory = "/tmp";
    ok.directoryExists = true;
    EXPECT_TRUE(shortRunChecks(ok).ok);
    EXPECT_TRUE(shortRunChecks(ok).steps.empty());

    RunInputs bad = ok;
    bad.expCount = "0";
    bad.tv = "Bulb";
    bad.directory = "";
    bad.directoryExists = false;
    bad.cameraMirrorLock = true;
    const CheckResult r = shortRunChecks(bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(texts(r), QStringList({"Enter Valid Values in the No Exposures e",
                                     "Your Camera is currently set to Bulb Mod",
                                     "You have chosen to download images to th",
                                     "You have chosen to download images to th",
                                     "You currently Mirror Lock Turned on. Tur"}));
    EXPECT_EQ(r.steps[0].style, 0);
    EXPECT_EQ(r.steps[1].style, Msg::Exclamation);

    // Camera card, short gap: the question is asked, and does not refuse.
    RunInputs gap = ok;
    gap.pictoPC = false;
    gap.pictoCam = true;
    gap.gapWarning = true;
    EXPECT_TRUE(shortRunChecks(gap).ok);
    EXPECT_EQ(texts(shortRunChecks(gap)), QStringList({"<gap>"}));
    gap.pictoPC = true;
    gap.pictoCam = false;
    EXPECT_TRUE(shortRunChecks(gap).steps.empty());  // saving to the PC: never asked

    // Nowhere to save the images, or no camera to take them: refused.
    RunInputs lost = ok;
    lost.pictoPC = false;
    EXPECT_EQ(texts(shortRunChecks(lost)), QStringList({kNoSaveTarget.left(40)}));
    RunInputs none = ok;
    none.connected = false;
    EXPECT_EQ(texts(shortRunChecks(none)), QStringList({kNoCamera.left(40)}));
}

TEST(CaptureRulesTest, LongRunChecksInOrder) {
    RunInputs ok;
    ok.expMin = "2";
    ok.expSec = "30";
    ok.expTime = 150;
    ok.pictoCam = true;
    EXPECT_TRUE(longRunChecks(ok).ok);

    struct Case {
        std::function<void(RunInputs&)> change;
        QString first;
    };
    const std::vector<Case> cases = {
        {[](RunInputs& i) { i.expSec = ""; },
         "Enter Valid Values in the Exposure Control Min & Sec entry fields!"},
        {[](RunInputs& i) { i.expTime = 0; }, "Exposure Time Cannot be 0 seconds!"},
        {[](RunInputs& i) { i.expTime = -5; }, "Exposure Time Cannot be 0 seconds!"},
        {[](RunInputs& i) {
             i.connected = true;
             i.cameraMirrorLock = true;
         },
         "You have Mirror Lock set in your Camera, but have not selected the Mirror Lock "
         "Checkbox."},
        {[](RunInputs& i) {
             i.connected = true;
             i.mirrorLockBox = true;
         },
         "You have the Mirror Lock Checkbox selected, but do not have Mirror Lock enabled"},
        {[](RunInputs& i) { i.dsusbEnabled = true; }, "You have told Zelmora to use a DSUSB"},
        {[](RunInputs& i) {
             i.connected = true;
             i.pictoCam = false;
         },
         kNoSaveTarget},
    };
    for (const auto& c : cases) {
        RunInputs in = ok;
        c.change(in);
        const CheckResult r = longRunChecks(in);
        EXPECT_FALSE(r.ok) << c.first.toStdString();
        ASSERT_EQ(r.steps.size(), 1u) << c.first.toStdString();
        EXPECT_TRUE(r.steps[0].text.startsWith(c.first)) << r.steps[0].text.toStdString();
    }
    // Mirror lock is not checked without a camera; the DSUSB box present passes.
    RunInputs noCam = ok;
    noCam.cameraMirrorLock = true;
    noCam.dsusbEnabled = noCam.dsusbConnected = true;
    EXPECT_TRUE(longRunChecks(noCam).ok);
    // An empty folder fails both folder checks.
    RunInputs folder = ok;
    folder.pictoCam = false;
    folder.pictoPC = true;
    EXPECT_EQ(longRunChecks(folder).steps.size(), 2u);
    // The gap question comes after the folder checks and before mirror lock.
    RunInputs order = folder;
    order.pictoPC = false;
    order.pictoCam = true;
    order.gapWarning = true;
    order.connected = true;
    order.mirrorLockBox = true;
    const CheckResult r = longRunChecks(order);
    ASSERT_EQ(r.steps.size(), 2u);
    EXPECT_TRUE(r.steps[0].gapQuestion);
    EXPECT_TRUE(r.steps[1].text.startsWith("You have the Mirror Lock Checkbox"));
}

TEST(CaptureRulesTest, EnablingRulesTable) {
    struct Case {
        int tab;
        bool connected;
        QString tv;
        bool pc, cam;
        ModeChanges expected;
    };
    ModeChanges shortReady;
    shortReady.txtObjPrefix = shortReady.cbExpStart = shortReady.cbExpStop = shortReady.chPictoCam =
        shortReady.chPictoPC = shortReady.button19 = true;
    shortReady.showShortExpLB = true;
    ModeChanges shortBlocked;
    shortBlocked.cbExpStart = shortBlocked.cbExpStop = shortBlocked.button19 = false;
    shortBlocked.showShortExpLB = true;
    ModeChanges shortOff;
    shortOff.txtObjPrefix = shortOff.cbExpStart = shortOff.cbExpStop = shortOff.chPictoCam =
        shortOff.chPictoPC = shortOff.button19 = false;
    shortOff.showShortExpLB = true;
    ModeChanges longReady;
    longReady.button19 = false;
    longReady.cbExpStart = longReady.cbExpStop = longReady.chPictoCam = longReady.chPictoPC = true;
    ModeChanges longBlocked;
    longBlocked.button19 = longBlocked.cbExpStart = longBlocked.cbExpStop = false;
    ModeChanges longNoCamera;
    longNoCamera.button19 = longNoCamera.txtObjPrefix = longNoCamera.chPictoPC = false;
    longNoCamera.setPictoPC = 0;
    longNoCamera.setPictoCam = 1;
    longNoCamera.cbExpStart = longNoCamera.cbExpStop = true;
    ModeChanges namingOn;
    namingOn.txtObjPrefix = namingOn.chkUseISO = namingOn.txtDirectory = namingOn.cmdBrowse = true;
    ModeChanges namingOff;
    namingOff.txtObjPrefix = namingOff.chkUseISO = namingOff.txtDirectory = namingOff.cmdBrowse =
        false;

    const std::vector<Case> cases = {
        {1, true, "1/125", true, false, shortReady},
        {1, true, "1/125", false, true, shortReady},
        {1, true, "Bulb", true, false, shortBlocked},
        {1, true, "1/125", false, false, shortBlocked},
        {1, false, "", true, false, shortOff},
        {2, true, "Bulb", false, true, longReady},
        {2, true, "1/125", true, false, longBlocked},
        {2, true, "Bulb", false, false, longBlocked},
        {2, false, "", true, false, longNoCamera},
        {3, false, "", true, false, namingOn},
        {3, true, "", false, true, namingOff},
        {4, true, "Bulb", true, true, ModeChanges{}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_TRUE(modeControls(c.tab, c.connected, c.tv, c.pc, c.cam) == c.expected)
            << "row " << i;
    }
}

TEST(CaptureRulesTest, FileNames) {
    struct Case {
        QString prefix;
        bool useISO;
        double seconds;
        QString iso, stem;
    };
    const std::vector<Case> cases = {
        {" M31 ", true, 360, "400", "M31-360s-400-"},
        {" M31 ", false, 360, "400", "M31-"},
        {"", true, 360, "400", ""},
        {"   ", false, 360, "400", "-"},
        {"   ", true, 360, "400", "-360s-400-"},
        {"M42", true, 0.008, "100", "M42-0.008s-100-"},
        {"M42", true, 0.1667, "100", "M42-0.1667s-100-"},
        {"M42", true, 1.5, "100", "M42-1.5s-100-"},
        // Never outside the download folder, never a name the file system refuses.
        {"../etc/x", false, 0, "", "__etc_x-"},
        {"a/b\\c", false, 0, "", "a_b_c-"},
        {"NGC:7000*?", false, 0, "", "NGC_7000__-"},
        {"tab\there\x01", false, 0, "", "tab_here_-"},
        {"<M\"1>|", false, 0, "", "_M_1__-"},
        {"....", false, 0, "", "__-"},
        {"M31", true, 30, "../1", "M31-30s-__1-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fileStem(c.prefix, c.useISO, c.seconds, c.iso), c.stem) << c.prefix.toStdString();
    // The full name the control composes: stem & frame & image number & extension.
    EXPECT_EQ(fileStem(" M31 ", true, 360, "400") + "1" + "0012" + ".CR2",
              "M31-360s-400-10012.CR2");

    EXPECT_EQ(sampleName(" M31 ", true), "M31-360s-ISO400-001.crw");
    EXPECT_EQ(sampleName("M31", false), "M31-001.crw");
    EXPECT_EQ(sampleName("a/b", false), "a_b-001.crw");
}

TEST(CaptureRulesTest, SaveTargets) {
    EXPECT_TRUE(pcBoxChanged(true) == (SaveTargets{true, std::nullopt, false}));
    EXPECT_TRUE(pcBoxChanged(false) == (SaveTargets{false, std::nullopt, true}));
    EXPECT_TRUE(camBoxChanged(true) == (SaveTargets{std::nullopt, true, true}));
    EXPECT_TRUE(camBoxChanged(false) == (SaveTargets{std::nullopt, false, false}));
    EXPECT_TRUE(applySaveTargets(true, false) == (SaveTargets{true, false, false}));
    EXPECT_TRUE(applySaveTargets(false, true) == (SaveTargets{false, true, true}));
    EXPECT_TRUE(applySaveTargets(false, false) == (SaveTargets{false, false, true}));

    struct Case {
        bool longRun, connected, controlPicPc, pc, cam;
        QString dir, expected;
    };
    const std::vector<Case> cases = {
        {false, true, true, true, false, "/img", "/img/"},
        {false, true, false, false, true, "/img", "/app/Thumbs/"},
        {true, true, false, false, true, "/img/", "/app/Thumbs/"},
        {true, true, false, true, false, "/img/", "/img/"},
        {true, false, false, true, false, "/img", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runSavePath(c.longRun, c.connected, c.controlPicPc, c.pc, c.cam, c.dir, "/app"),
                  c.expected);
}

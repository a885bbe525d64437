// Connecting, disconnecting and ending the session on the simulated cameras.

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "testing/TestEnv.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/tests/VosquinFixture.h"

namespace zelmora::vosquin {
namespace {

using simrc::CameraProfile;
namespace profiles = simrc::profiles;

constexpr RCResult kDead = RC_COMP_CAMERA | RC_ERR_COMMUNICATION;

class VosquinConnectTest : public test::VosquinTest {
public:
    std::vector<std::string> tvTexts() {
        std::vector<std::string> out;
        for (const ComboEntry& e : dlg().list(CCameraDlg::kTv).entries()) out.push_back(e.text);
        return out;
    }
    int count(const std::vector<std::string>& v, const std::string& what) {
        return int(std::count(v.begin(), v.end(), what));
    }
    void expectIdle(const std::string& why, int enumerators = 0) {
        EXPECT_FALSE(flag("Connected")) << why;
        EXPECT_EQ(text("CamModel"), "") << why;
        EXPECT_TRUE(dlg().connectEnabled()) << why;
        EXPECT_FALSE(dlg().disconnectEnabled()) << why;
        EXPECT_FALSE(dlg().releaseEnabled()) << why;
        for (int b = 0; b < 4; ++b) EXPECT_FALSE(dlg().boxEnabled(CCameraDlg::Box(b))) << why;
        for (int l = 0; l < 5; ++l) EXPECT_FALSE(dlg().list(CCameraDlg::List(l)).enabled()) << why;
        EXPECT_EQ(dlg().source(), 0u) << why;
        EXPECT_EQ(simrc::openSources(), 0) << why;
        EXPECT_FALSE(simrc::uiLocked()) << why;
        EXPECT_EQ(simrc::openEnumerators(), enumerators) << why;
    }
};

TEST_F(VosquinConnectTest, ConnectFlowsOnTheSimulatedCameras) {
    struct Case {
        const char* what;
        std::function<void()> setUp;
        int choice;  // -1: cancel
        std::vector<std::string> events;
        std::function<void(VosquinConnectTest&)> check;
    };
    auto with = [](std::function<void(CameraProfile&)> change,
                   CameraProfile p = profiles::eos20D()) {
        return [=]() mutable {
            change(p);
            simrc::setDevices({p});
        };
    };
    const std::vector<std::string> ready = {"OnReadyForRelease(True)", "OnBulbMode(False)"};
    auto connected = [&](const char* model) {
        auto e = ready;
        e.push_back(std::string("OnConnected(") + model + ")");
        return e;
    };
    const Case cases[] = {
        {"no device",
         [] { simrc::setDevices({}); },
         0,
         {},
         [](VosquinConnectTest& t) {
             EXPECT_TRUE(testenv::dialogs().shown().back().text.contains("(None)"));
             t.expectIdle("no device");
         }},
        {"cancel", [] {}, -1, {}, [](VosquinConnectTest& t) { t.expectIdle("cancel"); }},
        {"no card", with([](CameraProfile& p) { p.card = false; }), 0, connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             EXPECT_FALSE(t.flag("PicCam"));  // checked by the host before, unchecked now
             EXPECT_FALSE(t.dlg().boxEnabled(CCameraDlg::kPicCam));
             EXPECT_FALSE(t.dlg().memoryCard());
             EXPECT_TRUE(t.logMessages().contains("No Memory Card. Cant Save to CAM"));
         }},
        {"card", [] {}, 0, connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             EXPECT_TRUE(t.dlg().memoryCard());
             EXPECT_TRUE(t.flag("PicCam"));  // kept for the next update, box still disabled
             EXPECT_FALSE(t.dlg().boxEnabled(CCameraDlg::kPicCam));
             EXPECT_TRUE(t.dlg().boxEnabled(CCameraDlg::kPicPc));
             EXPECT_TRUE(t.dlg().releaseEnabled());
             EXPECT_TRUE(t.logMessages().contains("Camera Connected:EOS 20D"));
             EXPECT_TRUE(t.logMessages().contains("Release Kind:10"));
         }},
        {"display name without EOS", with([](CameraProfile&) {}, profiles::powerShotG2()), 0,
         connected("PowerShot G2"),
         [](VosquinConnectTest& t) {
             EXPECT_FALSE(t.dlg().settingsVisible());
             for (const char* name : {"Tv", "Av", "ISO", "AllowedTv"}) EXPECT_EQ(t.text(name), "");
             EXPECT_EQ(t.dlg().list(CCameraDlg::kIso).count(), 0);
             EXPECT_TRUE(t.dlg().list(CCameraDlg::kQuality).visible());
             EXPECT_EQ(t.dlg().list(CCameraDlg::kQuality).count(), 5);
             EXPECT_EQ(t.dlg().list(CCameraDlg::kQuality).selectedText(), "Fine\\Large");
         }},
        {"Bulb on the mode dial", with([](CameraProfile& p) { p.mode = RC_MODE_BULB; }), 0,
         connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             EXPECT_TRUE(t.dlg().list(CCameraDlg::kTv).enabled());
             EXPECT_TRUE(t.dlg().list(CCameraDlg::kAv).enabled());
             EXPECT_EQ(t.dlg().list(CCameraDlg::kTv).count(), 0);  // neither filled
             EXPECT_EQ(t.text("AllowedTv"), "");
             EXPECT_EQ(t.dlg().list(CCameraDlg::kMode).selectedText(), "Bulb");
         }},
        {"no lens", [] {}, 0, connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             EXPECT_FALSE(t.dlg().list(CCameraDlg::kAv).enabled());
             EXPECT_EQ(t.text("Av"), "");
             EXPECT_TRUE(t.dlg().list(CCameraDlg::kTv).enabled());
         }},
        {"lens", with([](CameraProfile& p) { p.lens = true; }), 0, connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             EXPECT_TRUE(t.dlg().list(CCameraDlg::kAv).enabled());
             EXPECT_EQ(t.text("Av"), "2.8");
         }},
        {"20D in Manual: one Bulb", [] {}, 0, connected("EOS 20D"),
         [](VosquinConnectTest& t) {
             const auto tv = t.tvTexts();
             EXPECT_EQ(t.count(tv, "Bulb"), 1);
             EXPECT_EQ(tv.back(), "Bulb");
             EXPECT_EQ(t.text("Tv"), "1");
             EXPECT_TRUE(t.logMessages().contains("Added Bulb to LB for 20D"));
             // Only the codes the camera listed: 30'' (16) first, no Bulb (4).
             EXPECT_EQ(t.text("AllowedTv").rfind("16,19,21,24,", 0), 0u);
             EXPECT_EQ(t.text("AllowedTv").find(",4,"), std::string::npos);
         }},
        {"350D: one Bulb", with([](CameraProfile&) {}, profiles::eos350D()), 0,
         connected("EOS 350D DIGITAL"),
         [](VosquinConnectTest& t) { EXPECT_EQ(t.count(t.tvTexts(), "Bulb"), 1); }},
        {"350D REBEL XT: two Bulbs", with([](CameraProfile&) {}, profiles::eos350DRebelXT()), 0,
         connected("EOS 350D DIGITAL REBEL XT"),
         [](VosquinConnectTest& t) { EXPECT_EQ(t.count(t.tvTexts(), "Bulb"), 2); }},
        {"10D: no Bulb", with([](CameraProfile&) {}, profiles::eos10D()), 0, connected("EOS 10D"),
         [](VosquinConnectTest& t) { EXPECT_EQ(t.count(t.tvTexts(), "Bulb"), 0); }},
        {"Tv already Bulb",
         with([](CameraProfile& p) { p.tv = RC_TV_BULB; }),
         0,
         // The kinds are set, but a camera in Bulb is not ready for a release.
         {"OnReadyForRelease(False)", "OnBulbMode(True)", "OnReadyForRelease(False)",
          "OnConnected(EOS 20D)"},
         [](VosquinConnectTest& t) { EXPECT_EQ(t.text("Tv"), "Bulb"); }},
    };
    for (const Case& c : cases) {
        simrc::reset();
        QFile::remove(logPath());
        c.setUp();
        make();
        put("PicPc", true);
        put("PicCam", true);
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), c.choice);
        call("Connect");
        EXPECT_EQ(rec.take(), c.events) << c.what;
        EXPECT_EQ(flag("Connected"), !c.events.empty()) << c.what;
        c.check(*this);
        ctrl_.reset();
        EXPECT_EQ(simrc::openSources(), 0) << c.what;
        EXPECT_EQ(simrc::startCount(), 0) << c.what;
    }
}

// The download-kind boxes show what the control holds: "Pict -> PC" is the
// kind a camera connects with, and a box the user clears stays cleared (the
// camera's own changes and a reconnect leave it so) with Release off until a
// box is ticked again.
TEST_F(VosquinConnectTest, TheDownloadBoxesShowWhatTheControlHolds) {
    make();
    parent->show();
    auto* pictures = parent->findChild<QCheckBox*>("chkPicPc");
    auto* release = parent->findChild<QPushButton*>("cmdRelease");
    ASSERT_TRUE(pictures && release);
    EXPECT_TRUE(pictures->isChecked());
    connectCamera();
    EXPECT_EQ(rec.take(), (std::vector<std::string>{"OnReadyForRelease(True)", "OnBulbMode(False)",
                                                    "OnConnected(EOS 20D)"}));
    EXPECT_TRUE(logMessages().contains("Release Kind:2"));
    EXPECT_TRUE(release->isEnabled());

    pictures->click();  // the only box
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnReadyForRelease(False)"});
    EXPECT_TRUE(logMessages().contains("No download type selected. Ready for Release FALSE"));
    const auto cleared = [&](const char* when) {
        EXPECT_FALSE(pictures->isChecked()) << when;
        EXPECT_FALSE(flag("PicPc")) << when;
        EXPECT_FALSE(release->isEnabled()) << when;
        EXPECT_EQ(call("Release"), automation::Variant(kReleaseNotReady)) << when;
    };
    cleared("after the click");
    simrc::setIso(72);  // a setting changed on the camera: the kinds are updated again
    deliver();
    cleared("after the camera's change");
    call("Disconnect");
    connectCamera();
    cleared("after a reconnect");
    EXPECT_EQ(simrc::callCount("RCCapture"), 0);

    rec.take();
    put("PicPc", true);
    EXPECT_EQ(rec.take(),
              (std::vector<std::string>{"OnReadyForRelease(True)", "OnBulbMode(False)"}));
    EXPECT_TRUE(pictures->isChecked());
    EXPECT_TRUE(release->isEnabled());
    EXPECT_FALSE(simrc::uiLocked());
}

// With the camera in Bulb a release takes no picture: setting the kinds tells
// the host so, and that the camera is in Bulb.
TEST_F(VosquinConnectTest, KindsSetInBulbAreNotReadyForARelease) {
    make();
    connectCamera();
    simrc::setTv(RC_TV_BULB);
    deliver();
    rec.take();
    put("ThumbPc", true);
    EXPECT_EQ(rec.take(),
              (std::vector<std::string>{"OnReadyForRelease(False)", "OnBulbMode(True)"}));
    simrc::setTv(72);
    deliver();
    rec.take();
    put("ThumbPc", false);
    EXPECT_EQ(rec.take(),
              (std::vector<std::string>{"OnReadyForRelease(True)", "OnBulbMode(False)"}));
}

TEST_F(VosquinConnectTest, AFailureAtAnyStepReturnsToIdleBeforeTheHostHears) {
    struct Case {
        const char* function;
        int skip;
    };
    const Case cases[] = {
        {"RCOpenSource", 0},
        {"RCLockUI", 0},
        {"RCRegisterEventCallbackFunction", 0},
        {"RCEnumVolumeReset", 0},
        {"RCEnumVolumeNext", 0},
        {"RCGetVolumeInfo", 0},
        {"RCEnumVolumeRelease", 0},
        {"RCEnumDevicePropertyReset", 0},
        {"RCGetDevicePropertyData", 0},  // capability
        {"RCGetDevicePropertyData", 1},  // model name
        {"RCStartCaptureSession", 0},
        {"RCSelectReleaseDataKind", 0},  // step 7: release kinds
        {"RCUnlockUI", 0},               // step 7: the unlock after the lists
    };
    make();
    put("PicPc", true);
    for (const Case& c : cases) {
        const std::string what = std::string(c.function) + " after " + std::to_string(c.skip);
        // A release that "fails" in the library leaves its enumerator behind.
        const int enumerators =
            simrc::openEnumerators() + (std::string(c.function) == "RCEnumVolumeRelease" ? 1 : 0);
        simrc::failCall(c.function, kDead, 1, c.skip);
        rec.onEach = [&](const std::string& e) {
            if (e.rfind("OnConnected(Error", 0) == 0)
                expectIdle(what + " (inside the event)", enumerators);
        };
        connectCamera();
        rec.onEach = nullptr;
        const auto events = rec.take();
        ASSERT_GE(events.size(), 2u) << what;
        EXPECT_EQ(events[events.size() - 2], "OnConnected(Error:2097280)") << what;
        EXPECT_EQ(events.back(), "OnReadyForRelease(False)") << what;
        expectIdle(what, enumerators);
        simrc::clearFaults();
    }
    // Still usable.
    connectCamera();
    EXPECT_TRUE(flag("Connected"));
}

TEST_F(VosquinConnectTest, AFailingCustomFunctionListingOnlyWritesItsLogLine) {
    make();
    put("PicPc", true);
    simrc::failCall("RCEnumCustomFunctionSettingReset", kDead);
    connectCamera();
    EXPECT_EQ(rec.named("OnConnected"), std::vector<std::string>{"OnConnected(EOS 20D)"});
    EXPECT_TRUE(flag("Connected"));
    const QStringList log = logMessages();
    const qsizetype at = log.indexOf("Cfn Settings");
    ASSERT_GE(at, 0);
    EXPECT_EQ(log[at + 1], "ErrorCode = 0x00200080");
}

TEST_F(VosquinConnectTest, ConnectListsTheCustomFunctions) {
    make();
    connectCamera();
    const QStringList log = logMessages();
    const qsizetype at = log.indexOf("Cfn Settings");
    ASSERT_GE(at, 0);
    EXPECT_EQ(log[at + 1], "Type:2 Kind:1 Value:0");
    EXPECT_EQ(log[at + 18], "Type:2 Kind:18 Value:0");
}

TEST_F(VosquinConnectTest, ASecondConnectWhileConnectedIsIgnored) {
    make();
    connectCamera();
    rec.take();
    call("Connect");  // no device choice is shown (an unexpected one would fail the test)
    EXPECT_TRUE(rec.events.empty());
    EXPECT_EQ(simrc::callCount("RCOpenSource"), 1);
}

TEST_F(VosquinConnectTest, DisconnectReturnsToIdle) {
    make();
    connectCamera();
    put("WaitingForDownload", true);
    rec.take();
    call("Disconnect");
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnDisconnected()"});
    expectIdle("disconnect");
    EXPECT_FALSE(flag("WaitingForDownload"));
    EXPECT_TRUE(logMessages().contains("Camera Disconnected"));
    call("Disconnect");  // the button is off: nothing happens
    EXPECT_TRUE(rec.events.empty());
}

// Kept as the control always behaved: when the session cannot be ended, Disconnect
// leaves everything as it was, and the user can try again.
TEST_F(VosquinConnectTest, DisconnectStopsWhenTheSessionCannotBeEnded) {
    make();
    connectCamera();
    rec.take();
    simrc::failCall("RCEndCaptureSession", kDead);
    call("Disconnect");
    EXPECT_TRUE(rec.events.empty());
    EXPECT_TRUE(flag("Connected"));
    EXPECT_TRUE(dlg().disconnectEnabled());
    EXPECT_EQ(simrc::openSources(), 1);
    EXPECT_TRUE(logMessages().contains("Error Disconnecting ErrorCode = 0x00200080"));
    call("Disconnect");
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnDisconnected()"});
    EXPECT_EQ(simrc::openSources(), 0);
}

// The try again goes on from the step that failed: a session already ended is not
// ended a second time (which the library refuses), so the retry can finish.
TEST_F(VosquinConnectTest, ADisconnectRetriedAfterALaterStepFailedFinishes) {
    for (const char* step : {"RCUnregisterEventCallbackFunction", "RCCloseSource"}) {
        simrc::reset();
        make();
        connectCamera();
        rec.take();
        simrc::failCall(step, kDead);
        call("Disconnect");
        EXPECT_TRUE(rec.events.empty()) << step;
        EXPECT_TRUE(flag("Connected")) << step;
        call("Disconnect");
        EXPECT_EQ(rec.take(), std::vector<std::string>{"OnDisconnected()"}) << step;
        expectIdle(step);
        ctrl_.reset();
    }
}

TEST_F(VosquinConnectTest, AFailedEndKeepsTheSourceForTheNextAttemptAndLeavesTheButtons) {
    make();
    connectCamera();
    rec.take();
    simrc::failCall("RCUnregisterEventCallbackFunction", kDead);
    call("End");
    EXPECT_TRUE(rec.events.empty());
    // A step that failed leaves the source open for the next attempt to finish.
    EXPECT_EQ(simrc::openSources(), 1);
    EXPECT_EQ(text("CamModel"), "");
    EXPECT_TRUE(flag("Connected"));
    EXPECT_TRUE(dlg().disconnectEnabled());
    EXPECT_TRUE(logMessages().contains("ErrorCode = 0x00200080"));
    call("Disconnect");
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnDisconnected()"});
    expectIdle("after End and Disconnect");
    EXPECT_EQ(simrc::openSources(), 0);
}

TEST_F(VosquinConnectTest, DestroyingTheWindowEndsTheSessionAndFinishesTheLibrary) {
    make();
    connectCamera();
    EXPECT_EQ(simrc::startCount(), 1);
    parent.reset();  // the host's window goes, and the control's window with it
    EXPECT_EQ(simrc::openSources(), 0);
    EXPECT_EQ(simrc::startCount(), 0);
    EXPECT_FALSE(ctrl().window());
    EXPECT_EQ(text("CamModel"), "");
    EXPECT_TRUE(logMessages().endsWith("Program Terminating."));
    // Connect makes the dialog again.
    connectCamera();
    EXPECT_TRUE(flag("Connected"));
}

TEST_F(VosquinConnectTest, ADeviceListThatCannotBeReadIsReportedInABox) {
    make();
    simrc::failCall("RCEnumDeviceNext", kDead);
    testenv::dialogs().expectMsgBox("ErrorCode = 0x00200080");
    call("Connect");
    EXPECT_TRUE(rec.events.empty());
    expectIdle("device list");
}

TEST_F(VosquinConnectTest, AFailedLibraryShutdownIsShownInABox) {
    make();
    connectCamera();
    simrc::failCall("RCFinishSDK", kDead);
    testenv::dialogs().expectMsgBox("ErrorCode = 0x00200080");
    ctrl().destroyWindow();
    EXPECT_EQ(simrc::openSources(), 0);  // the session was ended first
}

TEST_F(VosquinConnectTest, AWindowMadeAfterAConnectTakesOverTheDialog) {
    make(false);
    connectCamera();
    EXPECT_TRUE(rec.events.empty());  // no control window: nobody to tell
    ctrl().createWindow(parent.get());
    EXPECT_TRUE(parent->findChild<QPushButton*>("cmdDisconnect")->isEnabled());
    call("Disconnect");
    EXPECT_EQ(rec.take(), std::vector<std::string>{"OnDisconnected()"});
}

TEST_F(VosquinConnectTest, ALibraryThatWillNotStartLeavesNoDialog) {
    simrc::failCall("RCStartSDK", RC_COMP_LIBRARY | RC_ERR_NOT_SUPPORTED);
    make();
    EXPECT_FALSE(dlg().exists());
    EXPECT_TRUE(logMessages().contains("ErrorCode = 0x00100007"));
    put("PicPc", true);
    EXPECT_FALSE(flag("PicPc"));
    // Connect tries the start again, and goes on when it works.
    connectCamera();
    EXPECT_TRUE(dlg().exists());
    EXPECT_TRUE(flag("Connected"));
}

TEST_F(VosquinConnectTest, TheWindowsButtonsDriveTheDialog) {
    make();
    parent->show();
    auto* connectButton = parent->findChild<QPushButton*>("cmdConnect");
    auto* picPc = parent->findChild<QCheckBox*>("chkPicPc");
    auto* group = parent->findChild<QWidget*>("grpCameraControls");
    auto* quality = parent->findChild<QComboBox*>("cboQuality");
    ASSERT_TRUE(connectButton && picPc && group && quality);
    EXPECT_FALSE(picPc->isEnabled());
    testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
    connectButton->click();
    EXPECT_TRUE(flag("Connected"));
    EXPECT_FALSE(connectButton->isEnabled());
    EXPECT_TRUE(picPc->isChecked());
    EXPECT_TRUE(picPc->isEnabled());
    EXPECT_EQ(quality->currentText(), "Fine\\Large");
    parent->findChild<QCheckBox*>("chkThumbPc")->click();
    EXPECT_TRUE(flag("ThumbPc"));
    EXPECT_TRUE(parent->findChild<QPushButton*>("cmdRelease")->isEnabled());
    testenv::dialogs().expectFolder(testenv::appDir());
    parent->findChild<QPushButton*>("cmdBrowse")->click();
    EXPECT_EQ(text("SavePath"), testenv::appDir().toStdString());
    EXPECT_EQ(parent->findChild<QLineEdit*>("txtSavePath")->text(), testenv::appDir());
    parent->findChild<QPushButton*>("cmdDisconnect")->click();
    EXPECT_FALSE(flag("Connected"));
    EXPECT_TRUE(connectButton->isEnabled());
}

TEST_F(VosquinConnectTest, TheQualityListStaysVisibleWhenTheSettingsAreHidden) {
    simrc::setDevices({profiles::powerShotG2()});
    make();
    parent->show();
    connectCamera();
    EXPECT_FALSE(parent->findChild<QWidget*>("grpCameraControls")->isVisible());
    EXPECT_TRUE(parent->findChild<QComboBox*>("cboQuality")->isVisible());
}

}  // namespace
}  // namespace zelmora::vosquin

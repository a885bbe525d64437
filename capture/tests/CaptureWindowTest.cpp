#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>

#include "camera/clsCamera.h"
#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ctlCountDown.h"
#include "capture/ctlProgress.h"
#include "capture/frmCapture.h"
#include "capture/frmExpCalc.h"
#include "capture/tests/FakeCameraLink.h"
#include "platform/os/Dialogs.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture;
using zelmora::capture::testing::FakeCameraLink;
namespace Msg = zelmora::platform::Msg;

namespace {

class RecordingCable : public ShutterCable {
public:
    void InitShutterPort() override { ++inits; }
    void CheckState() override { ++checks; }
    void setDSUSBListener(std::function<void(bool)> l) override { listener = std::move(l); }
    int inits = 0, checks = 0;
    std::function<void(bool)> listener;
};

class FakeEngine : public CaptureRunEngine {
public:
    explicit FakeEngine(frmCapture& w) : window(&w) {}
    void cbExpStart_Click() override { isRunning = true; }
    void cbExpStop_Click() override { ++stops; }
    bool running() const override { return isRunning; }
    frmCapture* window;
    bool isRunning = false;
    int stops = 0;
};

class CaptureWindow : public ::testing::Test {
protected:
    void SetUp() override {
        camera_ = std::make_shared<FakeCameraLink>();
        CameraLink::setInstance(camera_);
        cable_ = std::make_shared<RecordingCable>();
        ShutterCable::setInstance(cable_);
        registerWindows();
    }
    void TearDown() override { CaptureRunEngine::setFactory({}); }

    frmCapture* open() {
        w_ = windows().ifLoadedAs<frmCapture>(Win::frmCapture);
        if (!w_) w_ = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
        return w_;
    }
    void closeWindow() {
        w_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QPoint pos(QWidget* widget) const { return widget->pos(); }
    bool shown(QWidget* widget) const { return widget->isVisibleTo(w_); }

    std::shared_ptr<FakeCameraLink> camera_;
    std::shared_ptr<RecordingCable> cable_;
    frmCapture* w_ = nullptr;
};

}  // namespace

TEST_F(CaptureWindow, AConnectThatSetsUpFocusModeDoesNotCloseTheWindowBeingOpened) {
    // The camera window, connecting in its default focus mode, closes the
    // capture window, here while that window is still loading.
    class ClosingLink : public FakeCameraLink {
    public:
        void doconnect() override {
            FakeCameraLink::doconnect();
            if (QWidget* w = windows().ifLoaded(Win::frmCapture)) frameOf(w)->close();
        }
    };
    auto link = std::make_shared<ClosingLink>();
    CameraLink::setInstance(link);
    QPointer<frmCapture> w = open();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(windows().ifLoaded(Win::frmCapture), w.data());
    EXPECT_EQ(link->calls, QStringList({"showCameraWindow", "doconnect", "SetCaptureMode"}));
    EXPECT_TRUE(shown(w->frAutomation));
    // Once loaded, a close is a close again.
    closeWindow();
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(windows().ifLoaded(Win::frmCapture), nullptr);
}

TEST_F(CaptureWindow, OpensOnTheSavedTabAndConnectsWithoutACamera) {
    testenv::enableTrace();
    frmCapture* w = open();
    for (const QString& l : testenv::traceLines())
        EXPECT_FALSE(l.startsWith("Error in:")) << l.toStdString();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(bCaptureLoaded());
    EXPECT_EQ(w->GetCurrFrame(), 1);
    // No camera: the Short tab opens the camera window and asks it to connect.
    EXPECT_EQ(camera_->calls, QStringList({"showCameraWindow", "doconnect", "SetCaptureMode"}));
    EXPECT_TRUE(camera_->shortExposureCapture);
    EXPECT_EQ(cable_->inits, 1);
    EXPECT_TRUE(shown(w->frConnectionStatus[0]));
    EXPECT_FALSE(shown(w->frConnectionStatus[1]));
    EXPECT_FALSE(shown(w->frConnected));
    EXPECT_FALSE(shown(w->frDisconnected));
    EXPECT_EQ(w->txtObjPrefix->text(), "IMG");
    EXPECT_EQ(w->txtSampFilename->text(), "IMG-360s-ISO400-001.crw");
    EXPECT_EQ(w->txtMirrorLockDelay->text(), "15");
    EXPECT_EQ(w->TabStrip1->tabToolTip(2), "Camera -> PC file naming otions");
}

// The camera window shows the capture window when asked for capture mode
// unless it is loaded: asked during the capture window's own load, it must
// find it loaded and not make a second one.
TEST_F(CaptureWindow, CaptureModeDuringLoadMakesNoSecondWindow) {
    class ShowingLink : public FakeCameraLink {
    public:
        void SetCaptureMode() override {
            if (!bCaptureLoaded()) windows().show(Win::frmCapture);
        }
    };
    CameraLink::setInstance(std::make_shared<ShowingLink>());
    open();
    int made = 0;
    for (QWidget* top : QApplication::allWidgets())
        made += qobject_cast<frmCapture*>(top) != nullptr;
    EXPECT_EQ(made, 1);
}

TEST_F(CaptureWindow, TabLayouts) {
    frmCapture* w = open();
    struct Row {
        int tab;
        QPoint automation, information, countdown;
        bool exposures;
    };
    for (const Row& r :
         {Row{1, {23, 48}, {23, 258}, {8, 133}, true}, Row{2, {23, 121}, {23, 333}, {8, 208}, true},
          Row{3, {}, {}, {}, false}, Row{1, {23, 48}, {23, 258}, {8, 133}, true}}) {
        w->selectTab(r.tab);
        EXPECT_EQ(shown(w->frAutomation), r.exposures) << r.tab;
        EXPECT_EQ(shown(w->frInformation), r.exposures) << r.tab;
        EXPECT_EQ(shown(w->ctlCountDown1), r.exposures) << r.tab;
        EXPECT_EQ(shown(w->cbAutomate), r.exposures) << r.tab;
        EXPECT_EQ(shown(w->frFileNames), r.tab == 3) << r.tab;
        EXPECT_EQ(shown(w->frmFileCap), r.tab == 3) << r.tab;
        EXPECT_FALSE(shown(w->frThumbs));
        EXPECT_EQ(shown(w->txtExpMin), r.tab == 2) << r.tab;
        EXPECT_EQ(w->txtExpMin->isEnabled(), r.tab == 2) << r.tab;
        EXPECT_FALSE(w->txtSampFilename->isEnabled());
        if (r.exposures) {
            EXPECT_EQ(pos(w->frAutomation), r.automation) << r.tab;
            EXPECT_EQ(pos(w->frInformation), r.information) << r.tab;
            EXPECT_EQ(pos(w->ctlCountDown1), r.countdown) << r.tab;
            EXPECT_EQ(pos(w->frManual), QPoint(8, 12));
            EXPECT_EQ(pos(w->frMirrorLock), QPoint(288, 11));
        } else {
            EXPECT_EQ(pos(w->frFileNames), QPoint(23, 48));
            EXPECT_EQ(pos(w->frmFileCap), QPoint(23, 152));
        }
    }
    w->selectTab(4);
    EXPECT_TRUE(shown(w->frThumbs));
    EXPECT_FALSE(shown(w->frAutomation));
    EXPECT_EQ(pos(w->frConnectionStatus[0]), QPoint(363, -9));
}

// The lines under the countdown (where pictures go, why Start is off, what
// became of a frame) each show their whole text, however many lines it takes,
// one under the other and inside the tab.
TEST_F(CaptureWindow, TheLinesUnderTheCountdownShowTheirWholeText) {
    frmCapture* w = open();
    w->selectTab(2);
    const QString longHint = QStringLiteral(
        "Start is off: the camera's shutter speed is not Bulb. Set the camera to Bulb (mode dial "
        "on B or M), then choose the Long Exposures tab again.");
    const QString longNotice = QStringLiteral(
        "Frames missing: 2 of 7. Frame 2 not downloaded: no picture within 12 s. Frame 5 not "
        "taken: no shutter cable is set up: choose one in Port Setup");
    for (const bool longTexts : {false, true, false}) {
        SCOPED_TRACE(longTexts ? "long texts" : "short texts");
        w->setStartEnabled(false, longTexts ? longHint : QStringLiteral("Start is off."));
        w->showRunNotice(longTexts ? longNotice : QStringLiteral("Frame 1 cut short."));
        int below = 0;
        for (QLabel* l : {w->lblSaveTarget, w->lblStartHint, w->lblRunNotice}) {
            SCOPED_TRACE(l->objectName().toStdString());
            EXPECT_GE(l->height(), l->heightForWidth(l->width())) << l->text().toStdString();
            EXPECT_GE(l->y(), below);
            below = l->geometry().bottom() + 1;
            EXPECT_LE(below, w->frTab->height());
        }
        if (longTexts) continue;
        // Short texts keep their places.
        EXPECT_EQ(w->lblSaveTarget->y(), 325);
        EXPECT_EQ(w->lblStartHint->y(), 363);
        EXPECT_EQ(w->lblRunNotice->y(), 401);
    }
}

TEST_F(CaptureWindow, LongTabWithoutACamera) {
    frmCapture* w = open();
    w->selectTab(2);
    EXPECT_FALSE(camera_->shortExposureCapture);
    EXPECT_FALSE(w->chPictoPC->isChecked());
    EXPECT_FALSE(w->chPictoPC->isEnabled());
    EXPECT_TRUE(w->chPictoCam->isChecked());
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    EXPECT_TRUE(w->cbExpStop->isEnabled());
    w->txtExpCount->setText("2");  // any total update disables Start at 0 min 0 s
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    EXPECT_FALSE(w->txtObjPrefix->isEnabled());
    EXPECT_FALSE(w->lbTv->isVisibleTo(w));
    w->txtExpMin->setText("2");
    w->txtExpSec->setText("30");
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    EXPECT_EQ(w->getExpTime(), 150);
    // Connected in Bulb with a target: the long run can start.
    camera_->isConnected = true;
    w->oCamera_Connected();
    EXPECT_EQ(camera_->tv, "");  // events do not set Bulb; the tab does
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    w->selectTab(2);
    EXPECT_EQ(camera_->tv, "Bulb");
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    EXPECT_TRUE(w->chPictoPC->isEnabled());
}

TEST_F(CaptureWindow, NumberBoxGuardsAndTotal) {
    frmCapture* w = open();
    w->selectTab(2);
    w->txtExpMin->setText("2");
    w->txtExpSec->setText("30");
    w->txtExpCount->setText("3");
    w->txtTimeBetween->setText("10");
    w->txtLeadIn->setText("5");
    w->chMirrorLock->setChecked(true);
    EXPECT_TRUE(w->txtMirrorLockDelay->isEnabled());
    w->txtMirrorLockDelay->setText("2");
    EXPECT_EQ(w->lblTotalExp->text(), "Total Exp Time: 481 secs");
    for (const char* bad : {"", "a"}) {
        w->txtExpCount->setText(bad);
        EXPECT_EQ(w->txtExpCount->text(), "0");
        EXPECT_EQ(w->lblTotalExp->text(), "Total Exp Time: 0 secs");
        w->txtExpCount->setText("3");
    }
    w->txtTimeBetween->setText(" 1.5 ");  // numeric: stays
    EXPECT_EQ(w->txtTimeBetween->text(), " 1.5 ");
    w->selectTab(1);
    // No camera: only the gaps ("1.5" counts as 2, halves to even) and the lead-in.
    w->txtExpCount->setText("4");
    EXPECT_EQ(w->lblTotalExp->text(), "Total Approx Exp Time: 11 secs");
}

TEST_F(CaptureWindow, MirrorDelayGuard) {
    frmCapture* w = open();
    for (const char* bad : {"0", "60", "abc", "", "99999"}) {
        testenv::dialogs().expectMsgBox("Only Enter a numeric Value from 1 - 59 seconds");
        w->txtMirrorLockDelay->setText(bad);
        EXPECT_EQ(w->txtMirrorLockDelay->text(), "5") << bad;
        ASSERT_FALSE(testenv::dialogs().shown().empty());
        EXPECT_EQ(testenv::dialogs().shown().back().style, Msg::Exclamation);
    }
    EXPECT_TRUE(testenv::dialogs().allUsed());
    w->txtMirrorLockDelay->setText("59");
    EXPECT_EQ(w->txtMirrorLockDelay->text(), "59");
}

TEST_F(CaptureWindow, BulbOnTheShortTabAndTheShutterSpeedList) {
    camera_->isConnected = true;
    camera_->tv = "1/125";
    frmCapture* w = open();
    EXPECT_EQ(w->lbTv->count(), 4);
    EXPECT_EQ(w->lbTv->currentText(), "1/125");
    // Every layout and camera event refills the list: it never grows duplicates.
    w->selectTab(1);
    w->oCamera_Connected();
    w->oCamera_BulbModeNotEnabled();
    EXPECT_EQ(w->lbTv->count(), 4);
    EXPECT_TRUE(w->cbExpStart->isEnabled());

    camera_->tv = "Bulb";
    testenv::dialogs().expectMsgBox(
        "Your camera is set to Bulb mode. Shutter cannot be release in short exposure mode");
    w->selectTab(2);
    w->selectTab(1);
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_EQ(testenv::dialogs().shown().back().style, Msg::Critical);
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    EXPECT_FALSE(w->cbExpStop->isEnabled());
    EXPECT_EQ(w->lbTv->currentText(), "Bulb");
    EXPECT_EQ(w->lbTv->count(), 4);

    // Choosing a speed sets it on the camera only when it is a valid text.
    camera_->tv = "1/125";
    w->lbTv->setCurrentIndex(1);
    w->lbTv_Click();
    EXPECT_EQ(camera_->tv, "30''");
    w->lbTv->addItem("No Lense");
    w->lbTv->setCurrentIndex(w->lbTv->count() - 1);
    w->lbTv_Click();
    EXPECT_EQ(camera_->tv, "30''");
}

TEST_F(CaptureWindow, MirrorLockByCameraModel) {
    Settings::save("Options", "mirrorlock", "1");
    {
        frmCapture* w = open();
        EXPECT_TRUE(w->chMirrorLock->isChecked());
        EXPECT_TRUE(w->txtMirrorLockDelay->isEnabled());
        closeWindow();
    }
    for (bool* model : {&state().b300D, &state().b350D}) {
        *model = true;
        frmCapture* w = open();
        EXPECT_FALSE(w->chMirrorLock->isChecked());
        EXPECT_FALSE(w->txtMirrorLockDelay->isEnabled());  // unchanged box, handler still run
        closeWindow();
        EXPECT_EQ(Settings::get("Options", "mirrorlock", "?"), "0");
        Settings::save("Options", "mirrorlock", "1");
        *model = false;
    }
}

TEST_F(CaptureWindow, SettingsRoundTripAndBadValues) {
    testenv::enableTrace();
    Settings::save("Options", "PicToPC", "abc");
    Settings::save("Options", "PicToCam", "1");
    Settings::save("Options", "CaptureMode", "9");
    Settings::save("Options", "CheckGap", "maybe");
    Settings::save("Options", "Leadin", "20");
    frmCapture* w = open();
    // Each bad key falls back to its own default; the rest still load.
    EXPECT_TRUE(w->bCheckGap());
    EXPECT_EQ(w->txtTimeBetween->text(), "20");
    EXPECT_TRUE(w->chPictoCam->isChecked());  // PicToCam after the bad PicToPC
    EXPECT_FALSE(w->chPictoPC->isChecked());  // cleared by the camera box
    EXPECT_EQ(w->GetCurrFrame(), 1);
    EXPECT_TRUE(shown(w->frAutomation));
    int errors = 0;
    for (const QString& l : testenv::traceLines())
        if (l.startsWith("Error in: LoadSettings with error:")) ++errors;
    EXPECT_EQ(errors, 2);  // "CaptureMode" 9 is a number: it only names no tab

    w->selectTab(3);
    w->txtDirectory->setText("/data/astro");
    w->setWindowTitle("Image Browser");  // the review retitles the window
    closeWindow();
    EXPECT_EQ(Settings::get("Options", "CaptureMode", "?"), "3");
    EXPECT_EQ(Settings::get("Options", "SaveImageDir", "?"), "/data/astro");
    EXPECT_EQ(Settings::get("Options", "PicToCam", "?"), "1");
    EXPECT_EQ(Settings::get("Options", "CheckGap", "?"), "True");
    EXPECT_NE(Settings::get("WindowPos", "Image CaptureTop", "?"), "?");
    EXPECT_EQ(Settings::get("WindowPos", "Image BrowserTop", "?"), "?");
    frmCapture* again = open();
    EXPECT_EQ(again->GetCurrFrame(), 3);
    EXPECT_EQ(again->txtDirectory->text(), "/data/astro");
}

TEST_F(CaptureWindow, SaveTargetsAndFileNames) {
    camera_->isConnected = true;
    camera_->tv = "1/125";
    Settings::save("Options", "PicToPC", "1");
    frmCapture* w = open();
    w->oCamera_Connected();  // applies the boxes to the control
    EXPECT_TRUE(camera_->picPc);
    EXPECT_FALSE(camera_->thumbPc);
    w->chPictoCam->setChecked(true);
    EXPECT_FALSE(w->chPictoPC->isChecked());
    EXPECT_FALSE(camera_->picPc);
    EXPECT_TRUE(camera_->picCam);
    EXPECT_TRUE(camera_->thumbPc);
    w->chPictoPC->setChecked(true);
    EXPECT_TRUE(camera_->picPc);
    EXPECT_FALSE(camera_->picCam);
    EXPECT_FALSE(camera_->thumbPc);

    w->txtObjPrefix->setText(" M31 ");
    EXPECT_EQ(w->txtSampFilename->text(), "M31-360s-ISO400-001.crw");
    EXPECT_EQ(w->GetFileName(), "M31-0.008s-400-");
    w->chkUseISO->setChecked(false);
    EXPECT_EQ(w->txtSampFilename->text(), "M31-001.crw");
    EXPECT_EQ(w->GetFileName(), "M31-");
    w->txtObjPrefix->setText("../../etc");
    EXPECT_EQ(w->GetFileName(), "____etc-");
    w->txtObjPrefix->setText("");
    w->chkUseISO->setChecked(true);
    EXPECT_EQ(w->txtSampFilename->text(), "-001.crw");  // an empty box keeps the sample
    EXPECT_EQ(w->GetFileName(), "");

    // File Naming tab with the camera box checked: naming controls disabled.
    w->chPictoCam->setChecked(true);
    w->selectTab(3);
    EXPECT_FALSE(w->txtObjPrefix->isEnabled());
    EXPECT_FALSE(w->cmdBrowse->isEnabled());
    EXPECT_EQ(w->runSavePath(true), AppPaths::join(AppPaths::appDir(), "Thumbs") + "/");
}

TEST_F(CaptureWindow, BrowseCancelKeepsTheFolder) {
    frmCapture* w = open();
    w->txtDirectory->setText("/data/astro");
    testenv::dialogs().expectFolder("");
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtDirectory->text(), "/data/astro");
    testenv::dialogs().expectFolder("/data/new");
    w->cmdBrowse_Click();
    EXPECT_EQ(w->txtDirectory->text(), "/data/new");
}

TEST_F(CaptureWindow, RunChecksThroughTheWindow) {
    frmCapture* w = open();
    // No camera on the Short tab: refused.
    testenv::dialogs().expectMsgBox("no camera is connected");
    EXPECT_FALSE(w->ValidShortExpValues());

    camera_->isConnected = true;
    camera_->tv = "1/125";
    w->oCamera_Connected();
    w->chPictoCam->setChecked(true);
    w->txtTimeBetween->setText("5");
    // Short gap, saving to the card: asked until answered No.
    testenv::dialogs().expectMsgBox("setting time a between exposures", Msg::Yes);
    EXPECT_TRUE(w->ValidShortExpValues());
    EXPECT_EQ(testenv::dialogs().shown().back().style,
              Msg::YesNo | Msg::Critical | Msg::DefaultButton2);
    testenv::dialogs().expectMsgBox("setting time a between exposures", Msg::No);
    EXPECT_TRUE(w->ValidShortExpValues());
    EXPECT_FALSE(w->bCheckGap());
    EXPECT_TRUE(w->ValidShortExpValues());  // not asked again

    // Neither save target: refused, the images would be lost.
    w->chPictoCam->setChecked(false);
    testenv::dialogs().expectMsgBox("You have not chosen where to save your images");
    EXPECT_FALSE(w->ValidShortExpValues());

    // Long run with the DSUSB box chosen but absent.
    w->selectTab(2);
    w->chPictoCam->setChecked(true);
    w->txtExpSec->setText("30");
    state().bDSUSBEnabled = true;
    testenv::dialogs().expectMsgBox("no DSUSB seems to be connected");
    EXPECT_FALSE(w->ValidValues());
    EXPECT_TRUE(testenv::dialogs().allUsed());

    // Focus mode before a long run: Yes switches the camera to Bulb and capture mode.
    camera_->focusMode = true;
    camera_->calls.clear();
    testenv::dialogs().expectMsgBox("focus mode", Msg::Yes);
    w->checkConnectionType();
    EXPECT_EQ(camera_->calls, QStringList({"setTv Bulb", "SetCaptureMode"}));
}

TEST_F(CaptureWindow, DSUSBEvents) {
    state().bDSUSBEnabled = true;
    frmCapture* w = open();
    EXPECT_EQ(cable_->checks, 1);
    ASSERT_TRUE(cable_->listener);
    cable_->listener(true);
    EXPECT_TRUE(state().bDSUSBConnected);
    EXPECT_TRUE(shown(w->frConnected));
    EXPECT_FALSE(shown(w->frDisconnected));
    w->cbExpStart->setEnabled(true);
    cable_->listener(false);
    EXPECT_FALSE(state().bDSUSBConnected);
    EXPECT_TRUE(shown(w->frDisconnected));
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    EXPECT_TRUE(w->bStopRequested);
    cable_->listener(true);
    EXPECT_FALSE(w->cbExpStart->isEnabled());  // stays off until the next layout
    closeWindow();
    EXPECT_FALSE(cable_->listener);
}

TEST_F(CaptureWindow, InformationAndTraceBlock) {
    testenv::enableTrace();
    frmCapture* w = open();
    w->iExposureCount = 5;
    w->iCurrentExposure = 3;
    w->iExposuresTaken = 2;  // one frame's picture did not come
    w->ProgressBar1->setMax(5);
    w->lblISO->setText("old");
    w->updateInformation();
    EXPECT_EQ(w->lblExpRemaining->text(), "Exposures Remaining:2");
    EXPECT_EQ(w->lblExpTaken->text(), "Exposures Taken:2");
    EXPECT_EQ(w->ProgressBar1->value(), 2);
    EXPECT_EQ(w->lblISO->text(), "old");  // without a camera only the counts change

    camera_->isConnected = true;
    camera_->picCam = true;
    w->updateInformation();
    EXPECT_EQ(w->lblISO->text(), "ISO Setting:400");
    EXPECT_EQ(w->lblImgType->text(), "Quality/Type:Raw");
    EXPECT_EQ(w->lblShotsLeft->text(), "Shots Left on CF:120");
    camera_->shotsLeft.reset();
    w->lblShotsLeft->clear();
    w->updateInformation();
    EXPECT_EQ(w->lblShotsLeft->text(), "");
    w->clearInformation();
    EXPECT_EQ(w->lblExpTaken->text(), "");
    EXPECT_EQ(w->ProgressBar1->value(), 0);

    w->LogSettings();
    QStringList lines = testenv::traceLines();
    const int start = int(lines.indexOf("-----Information Start-------"));
    ASSERT_GE(start, 0);
    lines = lines.mid(start);
    EXPECT_TRUE(lines[1].startsWith("Version:"));
    EXPECT_EQ(lines.mid(2, 9), QStringList({"Cam Connected:True", "Focus Mode:False",
                                            "Serial Port:False", "Mirror Lock:0", "Voice:False",
                                            "Zoom Active:False", "Sequence In Progress:False",
                                            "Keep Alive:False", "Keep Alive Count:0"}));
    EXPECT_EQ(lines[11], "-----Information End-------");
    EXPECT_TRUE(camera_->calls.contains("LogSettings"));
}

TEST_F(CaptureWindow, CameraEventsArriveFromTheCameraObject) {
    testenv::enableTrace();
    oMainCamera() = std::make_shared<clsCamera>();
    frmCapture* w = open();
    camera_->isConnected = true;
    camera_->tv = "1/125";
    emit oMainCamera()->Connected();
    EXPECT_TRUE(shown(w->frConnectionStatus[1]));
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    camera_->tv = "Bulb";
    emit oMainCamera()->BulbModeEnabled();
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    camera_->isConnected = false;
    emit oMainCamera()->Disconnected();
    EXPECT_TRUE(w->bStopRequested);
    EXPECT_TRUE(shown(w->frConnectionStatus[0]));
    EXPECT_TRUE(testenv::traceLines().contains("EVENT: frmCapture: oCamera_Disconnected: "));
}

TEST_F(CaptureWindow, ClosingDuringARunStopsItFirst) {
    FakeEngine* engine = nullptr;
    CaptureRunEngine::setFactory([&](frmCapture& w) {
        auto e = std::make_unique<FakeEngine>(w);
        engine = e.get();
        return e;
    });
    frmCapture* w = open();
    ASSERT_NE(engine, nullptr);
    w->cbExpStart->setEnabled(true);
    w->cbExpStart->click();
    EXPECT_TRUE(engine->isRunning);
    w->close();
    EXPECT_EQ(engine->stops, 1);
    EXPECT_TRUE(bCaptureLoaded());  // still there while the run winds down
    engine->isRunning = false;
    w->runFinished();
    testenv::vclock().advance(10);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bCaptureLoaded());
}

TEST_F(CaptureWindow, CalculatorFillsTheCaptureBoxes) {
    frmCapture* capture = open();
    capture->selectTab(2);
    auto* calc = dynamic_cast<frmExpCalc*>(windows().load(Win::frmExpCalc));
    ASSERT_NE(calc, nullptr);
    testenv::dialogs().expectMsgBox("Please ensure all drop down boxes have a valid value!");
    calc->cbCalculate_Click();
    const auto pick = [&](const char* name, int index) {
        calc->findChild<QComboBox*>(name)->setCurrentIndex(index);
    };
    pick("cbBrightness", 28);
    pick("cbFilmSpeed", 5);
    pick("cbRecipFail", 6);
    pick("cbFilterFactor", 0);
    pick("cbFRatio", 4);
    calc->cbCalculate_Click();
    EXPECT_EQ(calc->findChild<QLabel*>("lblExposure")->text(), "42 Min 5 Secs");
    EXPECT_EQ(capture->txtExpMin->text(), "42");
    EXPECT_EQ(capture->txtExpSec->text(), "5");
    EXPECT_EQ(capture->lblTotalExp->text(), "Total Exp Time: 2530 secs");
    calc->cbFinish_Click();
    EXPECT_FALSE(windows().isLoaded(Win::frmExpCalc));
}

// Renders the window for a look at it (ZELMORA_SHOT_DIR names where).
TEST_F(CaptureWindow, Screenshot) {
    camera_->isConnected = true;
    camera_->tv = "1/125";
    frmCapture* w = open();
    w->txtExpCount->setText("3");
    w->iExposureCount = 3;
    w->iCurrentExposure = 1;
    w->ProgressBar1->setMax(3);
    w->updateInformation();
    const QByteArray dir = qgetenv("ZELMORA_SHOT_DIR");
    for (int tab = 1; tab <= 3; ++tab) {
        w->selectTab(tab);
        const QImage shot = w->grab().toImage();
        EXPECT_FALSE(shot.isNull());
        if (!dir.isEmpty())
            shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/capture-tab%1.png").arg(tab));
    }
}

// Start greyed says why, and what turns it on; the save target shows where the
// next run's pictures go, also after a disconnect moved them to the card.
TEST_F(CaptureWindow, StartSaysWhyItIsOffAndTheSaveTargetShows) {
    frmCapture* w = open();
    const QString folder = testenv::appDir();
    w->txtDirectory->setText(folder);
    // Short tab, no camera.
    w->selectTab(1);
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    EXPECT_EQ(w->lblStartHint->text(), rules::kHintConnect);
    EXPECT_TRUE(w->lblStartHint->isVisibleTo(w));

    // Long tab, connected, the camera will not take Bulb (its dial is on Av).
    camera_->isConnected = true;
    w->oCamera_Connected();
    w->chPictoCam->setChecked(false);
    w->chPictoPC->setChecked(true);
    w->selectTab(2);
    camera_->tv = "1/125";  // the camera kept its speed
    w->oCamera_BulbModeNotEnabled();
    EXPECT_FALSE(w->cbExpStart->isEnabled());
    EXPECT_EQ(w->lblStartHint->text(), rules::kHintNotBulb);
    EXPECT_EQ(w->lblSaveTarget->text(), "Images are saved to: " + folder);
    // Set to Bulb: Start comes on and the hint goes.
    camera_->tv = "Bulb";
    w->oCamera_BulbModeEnabled();
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    EXPECT_EQ(w->lblStartHint->text(), "");

    // A disconnect moves the pictures to the card; the reconnect leaves them there.
    camera_->isConnected = false;
    w->oCamera_Disconnected();
    EXPECT_EQ(w->lblSaveTarget->text(), "Images are saved to: the camera's card");
    camera_->isConnected = true;
    w->oCamera_Connected();
    EXPECT_TRUE(w->chPictoCam->isChecked());
    EXPECT_EQ(w->lblSaveTarget->text(), "Images are saved to: the camera's card");
    EXPECT_TRUE(w->lblSaveTarget->isVisibleTo(w));
    // The DSUSB box gone: Start goes off and says so.
    w->loDSUSB_disconnected();
    EXPECT_EQ(w->lblStartHint->text(), rules::kHintDsusb);
    closeWindow();
}

TEST(CaptureRulesStartHint, EveryWayTheRulesTurnStartOffIsSaid) {
    struct Row {
        int tab;
        bool connected;
        const char* tv;
        bool pc, cam;
        QString hint;
    };
    const std::vector<Row> rows = {
        {1, false, "", true, false, rules::kHintConnect},
        {1, true, "Bulb", true, false, rules::kHintBulbOnShortTab},
        {1, true, "1/125", false, false, rules::kHintNoTarget},
        {1, true, "1/125", false, true, ""},
        {2, true, "1/125", true, false, rules::kHintNotBulb},
        {2, true, "Bulb", false, false, rules::kHintNoTarget},
        {2, true, "Bulb", true, false, ""},
        {2, false, "", false, false, ""},  // a cable-only run
        {3, true, "1/125", false, false, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(rules::startHint(r.tab, r.connected, r.tv, r.pc, r.cam), r.hint)
            << r.tab << r.connected << r.tv << r.pc << r.cam;
        // The hint is given exactly where the rules turn Start off.
        const auto c = rules::modeControls(r.tab, r.connected, r.tv, r.pc, r.cam);
        EXPECT_EQ(!r.hint.isEmpty(), c.cbExpStart.has_value() && !*c.cbExpStart) << r.tab;
    }
}

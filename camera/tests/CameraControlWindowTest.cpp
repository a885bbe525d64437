// The camera window's logic on a fake camera control and recording neighbour
// windows: refusals, the continuous loop, routing of downloads, the connect
// handler, control states, battery, trace lines and per-mode defaults.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>

#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "camera/tests/CameraControlFakes.h"
#include "platform/core/AppError.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"
#include "vosquin/VosquinInterface.h"

namespace zelmora::camera::test {
namespace {

namespace ids = vosquin::ids;
namespace Msg = platform::Msg;
using automation::Variant;

class CameraWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        main = std::make_unique<FakeMainWindow>();
        oMainCamera() = std::make_shared<clsCamera>();
        registerFakeNeighbours();
        frmCameraControl::setControlFactory([this] {
            auto c = std::make_unique<FakeVosquinControl>();
            ctl = c.get();
            return c;
        });
        win = new frmCameraControl;
        ASSERT_NE(ctl, nullptr);
        ctl->calls.clear();
        neighbourCalls().clear();
    }
    void TearDown() override {
        delete win.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    // As the control reports a connect: Connected reads True, then the event.
    void connectCamera(const QString& model = QStringLiteral("EOS 20D")) {
        ctl->set(ids::kConnected, true);
        ctl->fire(ids::kOnConnected, {model.toStdString()});
    }
    // Connected in focus mode, with a quality and shutter speed that can focus.
    void connectedInFocusMode() {
        connectCamera();
        ASSERT_TRUE(ctl->flag(ids::kFocusMode));
        ctl->set(ids::kImageQuality, std::string("Normal"));
        ctl->set(ids::kTv, std::string("1/60"));
        ctl->calls.clear();
        neighbourCalls().clear();
    }
    QStringList traceSince(qsizetype from) { return testenv::traceLines().mid(from); }
    // Every way a focus frame is asked of the window. A tick of the continuous
    // loop needs the loop started first (at the interval box's 8 s).
    struct FocusCaller {
        const char* name;
        bool tick;
        std::function<void(frmCameraControl*)> release;
    };
    static const std::vector<FocusCaller>& focusCallers() {
        static const std::vector<FocusCaller> callers = {
            {"the toolbar's and the space bar's release", false,
             [](frmCameraControl* w) { w->release(); }},
            {"the window's own button", false,
             [](frmCameraControl* w) { w->findChild<QPushButton*>("cbRelease")->click(); }},
            {"the continuous loop's first frame", false,
             [](frmCameraControl* w) { w->StartContinousDownload(); }},
            {"a tick of the continuous loop", true,
             [](frmCameraControl*) { testenv::vclock().advance(8000); }},
        };
        return callers;
    }
    // How the control answers the next releases, as the real one does.
    enum Action { None, Raises, CameraRefuses, Downloading, NotReady, KeepsPictureOnCard };
    void answerReleases(Action action) {
        ctl->set(ids::kPicPc, action != KeepsPictureOnCard);
        ctl->releaseResult = action == Downloading     ? vosquin::kReleaseBusy
                             : action == NotReady      ? vosquin::kReleaseNotReady
                             : action == CameraRefuses ? 2097280
                                                       : 0;
        ctl->onCall = [this, action](const QString& call) {
            if (action == KeepsPictureOnCard && call == "put PicPc=True")
                ctl->set(ids::kPicPc, false);
            if (call != "Release") return;
            if (action == Raises) throw AppError(5, "FakeVosquin", "Release failed");
            // The report of failure, then the answer.
            if (action == CameraRefuses)
                ctl->fire(ids::kOnComplete, {std::string("Error:2097280")});
        };
    }
    // No neighbour window loaded.
    static void closeNeighbours() {
        for (const QString& n : {Win::frmImageDisp, Win::frmCapture, Win::frmImage1})
            if (QWidget* w = windows().ifLoaded(n)) delete w;
    }
    // Waiting for a download, with the neighbour windows a row asks for loaded.
    void awaitDownload(bool focusMode, bool frameImageOpen, bool captureLoaded) {
        state().bFrameImageOpen = frameImageOpen;
        if (frameImageOpen) windows().load(Win::frmImage1);
        if (captureLoaded) windows().load(Win::frmCapture);
        ctl->set(ids::kFocusMode, focusMode);
        ctl->set(ids::kWaitingForDownload, true);
        state().bWaitingForDownload = true;
    }

    std::unique_ptr<FakeMainWindow> main;
    FakeVosquinControl* ctl = nullptr;
    QPointer<frmCameraControl> win;
};

TEST_F(CameraWindowTest, LoadDisconnectsAStillConnectedControlAndSetsTheSaveFolders) {
    delete win.data();
    frmCameraControl::setControlFactory([this] {
        auto c = std::make_unique<FakeVosquinControl>();
        c->set(ids::kConnected, true);
        ctl = c.get();
        return c;
    });
    win = new frmCameraControl;
    EXPECT_EQ(ctl->calls, (QStringList{"Disconnect", "put SavePath=" + testenv::appDir(),
                                       "put FocusSavePath=" + testenv::appDir() + "/"}));
    EXPECT_TRUE(bCameraControlLoaded());
    EXPECT_EQ(win->formHeightTwips(), 3930);
    EXPECT_EQ(win->windowTitle(), "Camera Control");
    EXPECT_EQ(win->findChild<QPushButton*>("cbSetDefault")->text(), "Save as  default focus mode");
    // Both options are off until a camera connects.
    EXPECT_FALSE(win->findChild<QRadioButton*>("optMode0")->isChecked());
    EXPECT_FALSE(win->findChild<QRadioButton*>("optMode1")->isChecked());
}

TEST_F(CameraWindowTest, ReleaseRefusesWithMirrorLockOrRawAndOtherwiseReleasesOnce) {
    struct Row {
        bool mirrorLock;
        const char* quality;
        bool focusMode;
        const char* box;  // nullptr: no box
        int releases;
    };
    const Row rows[] = {
        {true, "Normal", true, "Mirror Lock on your camera enabled", 0},
        {true, "Raw", true, "Mirror Lock on your camera enabled", 0},
        {false, "Raw", true, "You cannot focus using RAW Images", 0},
        {false, "Raw", false, "You cannot focus using RAW Images", 0},
        {false, "Normal", true, nullptr, 1},
        {false, "Fine", false, nullptr, 1},
    };
    connectedInFocusMode();
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.quality) + (r.mirrorLock ? " mirror lock" : ""));
        ctl->set(ids::kMirrorLock, r.mirrorLock);
        ctl->set(ids::kImageQuality, std::string(r.quality));
        ctl->set(ids::kFocusMode, r.focusMode);
        ctl->calls.clear();
        state().bMsgBoxShowing = false;
        bool flagWhileUp = true;
        Qt::CursorShape cursorAtRelease = Qt::ArrowCursor;
        ctl->onCall = [&](const QString& call) {
            if (call == "Release") cursorAtRelease = win->cursor().shape();
        };
        if (r.box) {
            testenv::dialogs().expectMsgBox(r.box).whileShowing([&] {
                flagWhileUp = state().bMsgBoxShowing;
                win->release();  // a space typed on the box: returns at once
            });
        }
        win->release();
        EXPECT_EQ(ctl->count("Release"), r.releases);
        if (r.box) {
            EXPECT_FALSE(flagWhileUp) << "these boxes leave bMsgBoxShowing alone";
            const auto& shown = testenv::dialogs().shown();
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown.back().style, r.mirrorLock ? Msg::Critical : Msg::OKOnly);
        } else {
            EXPECT_EQ(cursorAtRelease, Qt::WaitCursor);
            EXPECT_EQ(win->cursor().shape(), Qt::ArrowCursor);
        }
        ctl->onCall = nullptr;
    }
}

// What a release says it came to, for the focus frames of the toolbar and
// autofocus and for the capture window's frames.
TEST_F(CameraWindowTest, ReleaseSaysWhatCameOfIt) {
    using S = ReleaseOutcome::Status;
    struct Row {
        const char* name;
        FrameKind kind;
        bool simulation;
        bool connected;
        bool mirrorLock;
        const char* quality;
        Action action;
        S status;
        const char* box;  // nullptr: no box
        int releases;
        QString why;
    };
    const auto F = FrameKind::Focus;
    const auto C = FrameKind::Capture;
    const QString mirror = CameraControlModel::kMirrorLockText;
    const QString raw = CameraControlModel::kRawReleaseText;
    const Row rows[] = {
        {"focus frame", F, false, true, false, "Normal", None, S::Released, nullptr, 1, ""},
        {"capture frame", C, false, true, false, "Normal", None, S::Released, nullptr, 1, ""},
        {"focus, mirror lock", F, false, true, true, "Normal", None, S::MirrorLock,
         "Mirror Lock on your camera enabled", 0, mirror},
        {"focus, mirror lock and RAW", F, false, true, true, "Raw", None, S::MirrorLock,
         "Mirror Lock on your camera enabled", 0, mirror},
        {"focus, RAW", F, false, true, false, "Raw", None, S::RawQuality,
         "You cannot focus using RAW Images", 0, raw},
        // The capture window's own business.
        {"capture, mirror lock", C, false, true, true, "Normal", None, S::Released, nullptr, 1, ""},
        {"capture, RAW", C, false, true, false, "Raw", None, S::Released, nullptr, 1, ""},
        {"focus, not connected", F, false, false, false, "Normal", None, S::NotConnected, nullptr,
         0, "Camera Not Connected"},
        {"capture, not connected", C, false, false, false, "Raw", None, S::NotConnected, nullptr, 0,
         "Camera Not Connected"},
        {"focus, simulation", F, true, false, false, "Normal", None, S::Simulated, nullptr, 0, ""},
        {"capture, simulation, not connected", C, true, false, false, "Normal", None,
         S::NotConnected, nullptr, 0, "Camera Not Connected"},
        {"capture, simulation, connected", C, true, true, false, "Normal", None, S::Released,
         nullptr, 1, ""},
        {"the control raises", F, false, true, false, "Normal", Raises, S::Failed, nullptr, 1,
         "The camera could not be released"},
        {"the camera refuses the release at once", C, false, true, false, "Normal", CameraRefuses,
         S::Failed, nullptr, 1, "Error:2097280"},
        // The control ignores a release while an image comes down, and says so.
        {"the control is downloading", C, false, true, false, "Normal", Downloading, S::Busy,
         nullptr, 1, CameraControlModel::kCameraBusyText},
        {"the control cannot release", F, false, true, false, "Normal", NotReady, S::NotConnected,
         nullptr, 1, CameraControlModel::kNotReadyText},
        // A focus frame is a picture for the PC.
        {"focus, the control keeps the picture off the PC", F, false, true, false, "Normal",
         KeepsPictureOnCard, S::Failed, nullptr, 0, CameraControlModel::kPictureToPcText},
    };
    connectedInFocusMode();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        state().bSimulationMode = r.simulation;
        ctl->set(ids::kConnected, r.connected);
        ctl->set(ids::kMirrorLock, r.mirrorLock);
        ctl->set(ids::kImageQuality, std::string(r.quality));
        answerReleases(r.action);
        ctl->calls.clear();
        neighbourCalls().clear();
        if (r.box) testenv::dialogs().expectMsgBox(r.box);
        const ReleaseOutcome outcome = win->release(r.kind);
        ctl->onCall = nullptr;
        EXPECT_EQ(outcome.status, r.status);
        EXPECT_EQ(outcome.why, r.why);
        EXPECT_EQ(ctl->count("Release"), r.releases);
        EXPECT_EQ(outcome.released(), r.status == S::Released || r.status == S::Simulated);
        EXPECT_EQ(neighbourCalls().contains("disp.ProcessSpaceBar"), r.status == S::Simulated);
    }
    state().bSimulationMode = false;
    ctl->releaseResult = 0;

    // A release asked for while one is under way (a space typed on a refusal
    // box, or an event inside the control's Release) is busy, and releases nothing.
    ctl->set(ids::kConnected, true);
    ctl->set(ids::kMirrorLock, false);
    ctl->set(ids::kImageQuality, std::string("Normal"));
    ctl->calls.clear();
    ReleaseOutcome nested;
    ctl->onCall = [&](const QString& call) {
        if (call == "Release") nested = win->release(FrameKind::Capture);
    };
    EXPECT_EQ(win->release().status, S::Released);
    ctl->onCall = nullptr;
    EXPECT_EQ(nested.status, S::Busy);
    EXPECT_EQ(ctl->count("Release"), 1);
    ctl->set(ids::kMirrorLock, true);
    testenv::dialogs().expectMsgBox("Mirror Lock").whileShowing([&] { nested = win->release(); });
    EXPECT_EQ(win->release().status, S::MirrorLock);
    EXPECT_EQ(nested.status, S::Busy);
    EXPECT_EQ(ctl->count("Release"), 1);

    // No release control at all (it could not be created).
    delete win.data();
    ctl = nullptr;
    frmCameraControl::setControlFactory([] { return std::unique_ptr<FakeVosquinControl>(); });
    win = new frmCameraControl;
    for (FrameKind kind : {FrameKind::Focus, FrameKind::Capture})
        EXPECT_EQ(win->release(kind).status, S::NotConnected);
}

// A focus frame the camera does not take is told in the status bar, whoever
// asked for it: the toolbar and the space bar (release), the continuous loop
// and the window's own Release button say every refusal the same way, once,
// and no box comes up.
TEST_F(CameraWindowTest, EveryRefusedFocusFrameIsToldInTheStatusBar) {
    struct Answer {
        const char* name;
        Action action;
        QString told;
        bool traced;  // "Release refused: " and what was told
    };
    const Answer answers[] = {
        {"the control is downloading", Downloading, CameraControlModel::kCameraBusyText, true},
        {"the control cannot release", NotReady, CameraControlModel::kNotReadyText, true},
        {"the control keeps the picture off the PC", KeepsPictureOnCard,
         CameraControlModel::kPictureToPcText, true},
        // The control's own report of the failure is what the status bar shows.
        {"the camera refuses the release", CameraRefuses, "Picture failed Error:2097280", false},
        {"the control raises", Raises, "The camera could not be released", true},
    };
    connectedInFocusMode();
    for (const FocusCaller& c : focusCallers()) {
        for (const Answer& a : answers) {
            SCOPED_TRACE(std::string(c.name) + ", " + a.name);
            if (c.tick) {
                answerReleases(None);
                win->StartContinousDownload();
            }
            answerReleases(a.action);
            QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
            const qsizetype from = testenv::traceLines().size();
            c.release(win);
            ctl->onCall = nullptr;
            QStringList shown;
            for (const auto& args : status) shown << args[0].toString();
            EXPECT_EQ(shown.join(" | ").toStdString(), a.told.toStdString());
            EXPECT_EQ(traceSince(from).contains("Release refused: " + a.told), a.traced);
            if (win->model().bContinuousFocus()) win->StartContinousDownload();  // "Stop"
        }
    }
    ctl->releaseResult = 0;
}

TEST_F(CameraWindowTest, ReleaseInSimulationModeHandsTheSpaceBarToTheFocusFrameWindow) {
    state().bSimulationMode = true;
    win->release();
    EXPECT_EQ(neighbourCalls(), (QStringList{"disp.load", "disp.ProcessSpaceBar"}));
    EXPECT_EQ(ctl->count("Release"), 0);
}

TEST_F(CameraWindowTest, DoconnectCalledWhileConnectingReturnsWithoutConnecting) {
    ctl->onCall = [&](const QString& call) {
        if (call == "Connect") {
            EXPECT_TRUE(state().bConnecting);
            win->doconnect();  // a nested message while the device is chosen
        }
    };
    win->doconnect();
    EXPECT_EQ(ctl->count("Connect"), 1);
    EXPECT_FALSE(state().bConnecting);

    // A failing Connect reaches the caller and does not leave the flag up.
    ctl->onCall = [](const QString& call) {
        if (call == "Connect") throw AppError(5, "FakeVosquin", "Connect failed");
    };
    EXPECT_THROW(win->doconnect(), AppError);
    EXPECT_FALSE(state().bConnecting);
    ctl->onCall = nullptr;
    win->doconnect();
    EXPECT_EQ(ctl->count("Connect"), 3);
}

TEST_F(CameraWindowTest, ContinuousStartAdvisesAgainstRawAndSwitchesTheQuality) {
    connectedInFocusMode();
    for (bool is1D : {false, true}) {
        state().b1D = is1D;
        ctl->set(ids::kImageQuality, std::string("Raw"));
        ctl->calls.clear();
        testenv::dialogs().expectMsgBox(
            "RAW images take to long too download. I suggest "
            "Normal\\Medium");
        win->StartContinousDownload();
        EXPECT_EQ(ctl->calls, QStringList{is1D ? "put ImageQuality=Fine\\Small"
                                               : "put ImageQuality=Normal\\Medium"});
        EXPECT_FALSE(win->model().bContinuousFocus());
        EXPECT_FALSE(win->model().ContinuousTimer().isRunning());
        EXPECT_FALSE(state().bMsgBoxShowing);
    }
    // With the quality changed the next call starts.
    ctl->set(ids::kImageQuality, std::string("Normal"));
    ctl->calls.clear();
    win->StartContinousDownload();
    EXPECT_TRUE(win->model().bContinuousFocus());
    EXPECT_EQ(ctl->count("Release"), 1);
}

TEST_F(CameraWindowTest, ContinuousIntervalIsValidatedBeforeTheLoopStarts) {
    struct Row {
        const char* text;
        int ms;  // 0: refused
    };
    const Row rows[] = {{"8", 8000},   {"8.5", 8000}, {"9.5", 10000},    {" 2 ", 2000},
                        {"32", 32000}, {"33", 33000}, {"3600", 3600000}, {"0", 0},
                        {"0.4", 0},    {"-1", 0},     {"abc", 0},        {"", 0},
                        {"4000", 0},   {"1e9", 0}};
    connectedInFocusMode();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        main->setAll(true);
        main->button(15)->setEnabled(false);
        main->lbInterval()->setText(QString::fromLatin1(r.text));
        ctl->calls.clear();
        const qsizetype from = testenv::traceLines().size();
        win->StartContinousDownload();
        platform::Timer& timer = win->model().ContinuousTimer();
        if (r.ms) {
            EXPECT_TRUE(win->model().bContinuousFocus());
            EXPECT_TRUE(timer.isRunning());
            EXPECT_EQ(timer.interval(), r.ms);
            EXPECT_EQ(ctl->calls, QStringList{"Release"});
            EXPECT_FALSE(main->enabled(13));
            EXPECT_FALSE(main->enabled(19));
            EXPECT_TRUE(main->enabled(15));
            // The toggle stops it and puts the toolbar back.
            win->StartContinousDownload();
            EXPECT_FALSE(win->model().bContinuousFocus());
            EXPECT_FALSE(timer.isEnabled());
            EXPECT_EQ(timer.interval(), 0);
            EXPECT_FALSE(main->enabled(15));
            EXPECT_TRUE(main->enabled(13));  // SetControlStates: can focus
            EXPECT_TRUE(main->enabled(19));
        } else {
            EXPECT_FALSE(win->model().bContinuousFocus());
            EXPECT_FALSE(timer.isRunning());
            EXPECT_TRUE(ctl->calls.isEmpty());
            EXPECT_FALSE(main->enabled(15));
            EXPECT_TRUE(main->enabled(13));
            const QStringList lines = traceSince(from);
            ASSERT_EQ(lines.size(), 1);
            EXPECT_TRUE(lines[0].startsWith("Error in: StartContinousDownload with error:"))
                << lines[0].toStdString();
        }
    }
}

TEST_F(CameraWindowTest, EachTickDisablesTheShutterButtonAndReleasesWithoutChecks) {
    connectedInFocusMode();
    main->lbInterval()->setText("8");
    win->StartContinousDownload();
    ctl->set(ids::kMirrorLock, true);  // the ticks do not look
    int releases = 0;
    ctl->onCall = [&](const QString& call) {
        if (call != "Release") return;
        ++releases;
        EXPECT_FALSE(main->enabled(19));
        main->button(19)->setEnabled(true);  // as the control's ready event does
    };
    // The camera's settings events during the loop leave Start off.
    ctl->fire(ids::kOnBulbMode, {false});
    EXPECT_FALSE(main->enabled(13));
    EXPECT_TRUE(main->enabled(15));
    testenv::vclock().advance(7999);
    EXPECT_EQ(releases, 0);
    testenv::vclock().advance(1);
    EXPECT_EQ(releases, 1);
    testenv::vclock().advance(16000);
    EXPECT_EQ(releases, 3);
    win->StartContinousDownload();
    testenv::vclock().advance(60000);
    EXPECT_EQ(releases, 3);
    ctl->onCall = nullptr;
}

TEST_F(CameraWindowTest, ClosingTheWindowStopsTheLoopAndRestoresStartAndStop) {
    connectedInFocusMode();
    main->lbInterval()->setText("2");
    win->StartContinousDownload();
    ASSERT_TRUE(main->enabled(15));
    // Closed from inside a tick: the window must outlive the handler (the
    // sanitizer sees any use after it is gone).
    bool closed = false;
    bool aliveAfterClose = false;
    ctl->onCall = [&](const QString& call) {
        if (call != "Release" || closed) return;
        closed = true;
        win->close();
        aliveAfterClose = !win.isNull();
    };
    ctl->set(ids::kConnected, false);  // the camera went with it
    testenv::vclock().advance(2000);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(aliveAfterClose);
    EXPECT_FALSE(bCameraControlLoaded());
    EXPECT_FALSE(main->enabled(15));
    EXPECT_FALSE(main->enabled(13));
    EXPECT_FALSE(main->enabled(19));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(win.isNull());
    testenv::vclock().advance(10000);  // no timer left to tick
    EXPECT_EQ(Settings::get("Options", "FocusMode", "?"), "True");
}

TEST_F(CameraWindowTest, DownloadsAreRoutedByModeAndTheWaitingFlagsAlwaysCleared) {
    struct Row {
        const char* name;
        bool focusMode;
        bool frameImageOpen;
        bool captureLoaded;
        QString file;
        bool dispFails;
        bool captureFails;
        QStringList calls;
        bool traced;  // an error trace line
    };
    const QString f = QStringLiteral("/img/");
    const Row rows[] = {
        {"focus",
         true,
         false,
         false,
         f + "FocusImages/Focus.jpg",
         false,
         false,
         {"disp.load", "disp.LoadImage(/img/FocusImages/Focus.jpg)"},
         false},
        {"focus with the frame image open",
         true,
         true,
         false,
         f + "Focus.jpg",
         false,
         false,
         {"frame.clearimage", "disp.load", "disp.LoadImage(/img/Focus.jpg)", "frame.UpdateImage"},
         false},
        {"focus, display fails",
         true,
         false,
         false,
         f + "Focus.jpg",
         true,
         false,
         {"disp.load", "disp.LoadImage(/img/Focus.jpg)"},
         true},
        {"capture CR2",
         false,
         false,
         true,
         f + "IMG_0001.CR2",
         false,
         false,
         {"capture.LoadAThumb(/img/IMG_0001.jpg)"},
         false},
        {"capture crw",
         false,
         false,
         true,
         f + "IMG_0001.crw",
         false,
         false,
         {"capture.LoadAThumb(/img/IMG_0001.jpg)"},
         false},
        {"capture Cr2 (not a spelling the camera writes)",
         false,
         false,
         true,
         f + "IMG_0001.Cr2",
         false,
         false,
         {"capture.LoadAThumb(/img/IMG_0001.Cr2)"},
         false},
        {"capture JPEG in a CRW folder",
         false,
         false,
         true,
         f + "CRW_folder/IMG_0001.JPG",
         false,
         false,
         {"capture.LoadAThumb(/img/CRW_folder/IMG_0001.JPG)"},
         false},
        {"capture JPEG with CR2 in its stem",
         false,
         false,
         true,
         f + "M31_CR2_0001.JPG",
         false,
         false,
         {"capture.LoadAThumb(/img/M31_CR2_0001.JPG)"},
         false},
        {"capture, window not loaded",
         false,
         false,
         false,
         f + "IMG_0001.CR2",
         false,
         false,
         {},
         false},
        {"capture, thumbnail fails",
         false,
         false,
         true,
         f + "IMG_0002.JPG",
         false,
         true,
         {"capture.LoadAThumb(/img/IMG_0002.JPG)"},
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // Each row from scratch: no neighbour window loaded.
        closeNeighbours();
        FakeImageDisp::failing = r.dispFails;
        FakeCapture::failing = r.captureFails;
        awaitDownload(r.focusMode, r.frameImageOpen, r.captureLoaded);
        neighbourCalls().clear();
        ctl->calls.clear();
        const qsizetype from = testenv::traceLines().size();
        ctl->fire(ids::kOnComplete, {r.file.toStdString()});
        EXPECT_EQ(neighbourCalls(), r.calls);
        EXPECT_FALSE(ctl->flag(ids::kWaitingForDownload));
        EXPECT_FALSE(state().bWaitingForDownload);
        EXPECT_EQ(win->sFileDownloaded(), r.file);
        const QStringList lines = traceSince(from);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines[0], "EVENT: frmCameraControl: Vosquin1_OnComplete: " + r.file);
        const bool developed = r.captureLoaded && r.calls.join("").contains(".jpg)");
        EXPECT_EQ(ctl->count("DevlopRaw(" + r.file + ")"), developed ? 1 : 0);
        EXPECT_EQ(lines.contains("Developing image:" + r.file), developed);
        EXPECT_EQ(lines.last().startsWith("Error in: Vosquin1_OnComplete with error:"), r.traced)
            << lines.last().toStdString();
    }
}

// The control reports a release or transfer that brought no picture as
// "Error:<code>" in place of the file: nothing is loaded anywhere, the waiting
// flags clear, the failure is kept for whoever waits and shown in the status
// bar (the control's "Waiting" after it does not wipe it out).
TEST_F(CameraWindowTest, AFailedReleaseLoadsNothingEndsTheWaitAndSaysSoInTheStatusBar) {
    struct Row {
        const char* name;
        bool focusMode;
        bool frameImageOpen;
        bool captureLoaded;
    };
    const Row rows[] = {
        {"focus mode, no focus-frame window yet", true, false, false},
        {"focus mode, frame image open", true, true, false},
        {"capture mode", false, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        closeNeighbours();
        // A picture came before (recorded only: capture mode, no capture window).
        ctl->set(ids::kFocusMode, false);
        ctl->fire(ids::kOnComplete, {std::string("/img/IMG_0001.JPG")});
        ASSERT_EQ(win->sFileDownloaded(), "/img/IMG_0001.JPG");
        awaitDownload(r.focusMode, r.frameImageOpen, r.captureLoaded);
        QStringList heard;
        win->awaitFrame([&](const FrameDownload& d) { heard << d.file + "|" + d.failure; });
        neighbourCalls().clear();
        QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
        const qsizetype from = testenv::traceLines().size();

        ctl->fire(ids::kOnComplete, {std::string("Error:2097280")});
        ctl->fire(ids::kOnStatusUpdate, {std::string("Waiting")});

        EXPECT_TRUE(neighbourCalls().isEmpty()) << neighbourCalls().join(", ").toStdString();
        EXPECT_EQ(windows().ifLoaded(Win::frmImageDisp), nullptr);
        EXPECT_EQ(heard, QStringList{"|Error:2097280"});
        EXPECT_FALSE(state().bWaitingForDownload);
        EXPECT_FALSE(ctl->flag(ids::kWaitingForDownload));
        EXPECT_EQ(ctl->count("DevlopRaw(Error:2097280)"), 0);
        EXPECT_EQ(win->sFileDownloaded(), "/img/IMG_0001.JPG");
        ASSERT_EQ(status.size(), 1);
        EXPECT_EQ(status[0][0].toString(), "Picture failed Error:2097280");
        EXPECT_EQ(traceSince(from),
                  (QStringList{"EVENT: frmCameraControl: Vosquin1_OnComplete: Error:2097280",
                               "No picture from the camera, nothing loaded: Error:2097280",
                               "EVENT: frmCameraControl: Vosquin1_OnStatusUpdate: Waiting"}));
        // The camera's next words are shown again.
        ctl->fire(ids::kOnStatusUpdate, {std::string("Waiting")});
        ASSERT_EQ(status.size(), 2);
        EXPECT_EQ(status[1][0].toString(), "Waiting");
    }
}

// Continuous focusing on a camera that fails every frame: each interval says
// so in the status bar; no window is handed the failure and no box comes up.
TEST_F(CameraWindowTest, ContinuousFocusingThroughFailedReleasesShowsNoBoxAndKeepsGoing) {
    connectedInFocusMode();
    ctl->set(ids::kPicPc, true);
    main->lbInterval()->setText("2");
    QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
    int n = 0;
    ctl->onCall = [&](const QString& call) {
        if (call != "Release") return;
        // As the control does when the camera refuses the release.
        ctl->fire(ids::kOnStatusUpdate, {std::string("Taking Picture")});
        ctl->fire(ids::kOnComplete, {"Error:" + std::to_string(++n)});
        ctl->fire(ids::kOnStatusUpdate, {std::string("Waiting")});
    };
    win->StartContinousDownload();
    testenv::vclock().advance(4000);
    ctl->onCall = nullptr;
    win->StartContinousDownload();
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(neighbourCalls().isEmpty()) << neighbourCalls().join(", ").toStdString();
    QStringList texts;
    for (const auto& args : status) texts << args[0].toString();
    EXPECT_EQ(texts,
              (QStringList{"Taking Picture", "Picture failed Error:1", "Taking Picture",
                           "Picture failed Error:2", "Taking Picture", "Picture failed Error:3"}));
}

// What came of a released frame's download reaches whoever released it, once,
// after the picture has been handed on: the picture, or the camera's report
// that none will come. A refused frame is never heard of again; the cable's
// frame is awaited the same way; a release without a waiter leaves the
// waiting one in place.
TEST_F(CameraWindowTest, AFramesDownloadComesBackToWhoeverReleasedIt) {
    connectedInFocusMode();
    ctl->set(ids::kPicPc, true);
    QStringList heard;
    const auto listen = [&](const QString& who) {
        return [&heard, who](const FrameDownload& d) {
            const QStringList shown = neighbourCalls().filter("LoadImage");
            heard << who + ": " + (d.downloaded() ? d.file : d.failure) + " after " +
                         QString::number(shown.size()) + " shown";
        };
    };
    // A picture, with those of its release still to come.
    const auto complete = [&](const char* file, std::int32_t toCome = 0) {
        ctl->set(ids::kPicturesToCome, toCome);
        ctl->fire(ids::kOnComplete, {std::string(file)});
    };
    EXPECT_TRUE(win->releaseFrame(FrameKind::Focus, listen("a")).released());
    complete("/img/Focus.jpg");
    complete("/img/Focus.jpg");  // a second image of the same release
    EXPECT_EQ(heard, QStringList{"a: /img/Focus.jpg after 1 shown"});

    heard.clear();
    EXPECT_TRUE(win->releaseFrame(FrameKind::Focus, listen("b")).released());
    complete("Error:3145740");
    EXPECT_EQ(heard, QStringList{"b: Error:3145740 after 2 shown"});

    heard.clear();
    ctl->set(ids::kMirrorLock, true);
    testenv::dialogs().expectMsgBox("Mirror Lock");
    EXPECT_FALSE(win->releaseFrame(FrameKind::Focus, listen("c")).released());
    ctl->set(ids::kMirrorLock, false);
    complete("/img/Focus.jpg");
    EXPECT_TRUE(heard.isEmpty());

    win->awaitFrame(listen("cable"));
    EXPECT_TRUE(win->release().released());  // the space bar: no waiter of its own
    complete("/img/Focus.jpg");
    EXPECT_EQ(heard, QStringList{"cable: /img/Focus.jpg after 4 shown"});

    // A release of two pictures is heard of once the second has been handed
    // on, with its picture: a focus frame's thumbnail, first or last, is
    // neither shown nor the frame. One picture that failed makes the frame not
    // downloaded.
    heard.clear();
    EXPECT_TRUE(win->releaseFrame(FrameKind::Focus, listen("two")).released());
    complete("/img/THM_Focus.jpg", 1);
    EXPECT_TRUE(heard.isEmpty());
    complete("/img/Focus.jpg");
    EXPECT_EQ(heard, QStringList{"two: /img/Focus.jpg after 5 shown"});
    heard.clear();
    EXPECT_TRUE(win->releaseFrame(FrameKind::Focus, listen("thumbnail last")).released());
    complete("/img/0007Focus.jpg", 1);
    complete("/img/THM_0007Focus.jpg");
    EXPECT_EQ(heard, QStringList{"thumbnail last: /img/0007Focus.jpg after 6 shown"});
    EXPECT_EQ(win->sFileDownloaded(), "/img/0007Focus.jpg");
    heard.clear();
    EXPECT_TRUE(win->releaseFrame(FrameKind::Focus, listen("half")).released());
    complete("Error:3145740", 1);
    complete("/img/Focus.jpg");
    EXPECT_EQ(heard, QStringList{"half: Error:3145740 after 7 shown"});
}

// Every focus frame (the toolbar's, the space bar's or autofocus's release,
// the window's own button, the continuous loop) asks the control for the
// picture on the PC before it releases.
TEST_F(CameraWindowTest, FocusFramesAskForThePictureOnThePc) {
    connectedInFocusMode();
    for (const FocusCaller& c : focusCallers()) {
        SCOPED_TRACE(c.name);
        if (c.tick) win->StartContinousDownload();
        ctl->set(ids::kPicPc, false);  // Pict -> PC cleared in the control
        ctl->calls.clear();
        c.release(win);
        const QStringList asked = ctl->calls.filter(QRegularExpression("^(put PicPc|Release)"));
        EXPECT_EQ(asked.mid(0, 2), (QStringList{"put PicPc=True", "Release"}))
            << ctl->calls.join(", ").toStdString();
        if (bool(win->model().bContinuousFocus())) win->StartContinousDownload();
    }
}

TEST_F(CameraWindowTest, ARawFileIsDevelopedWithTheStatusShownAndNoThumbWithoutAJpeg) {
    windows().load(Win::frmCapture);
    ctl->set(ids::kFocusMode, false);
    QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
    ctl->develop = [](const std::string&) { return std::string(); };  // development failed
    neighbourCalls().clear();
    ctl->fire(ids::kOnComplete, {std::string("/img/IMG_0001.CR2")});
    EXPECT_TRUE(neighbourCalls().isEmpty());
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), "Developing");
    EXPECT_EQ(ctl->calls,
              (QStringList{"DevlopRaw(/img/IMG_0001.CR2)", "put WaitingForDownload=False"}));
}

TEST_F(CameraWindowTest, TheFolderPanelsNewImageGoesToTheFocusFrameWindow) {
    win->LoadANewImage("/watched/IMG_0100.JPG");
    EXPECT_EQ(neighbourCalls(),
              (QStringList{"disp.load", "disp.LoadImage(/watched/IMG_0100.JPG)"}));
    win->LoadANewImage("/watched/IMG_0101.JPG");  // loaded now: not created again
    EXPECT_EQ(neighbourCalls().size(), 3);
}

TEST_F(CameraWindowTest, ConnectSetsModelFlagsFromTheModelTextAndKeepsThem) {
    struct Row {
        const char* model;
        bool d60, d1, d20, d350;
    };
    const Row rows[] = {
        {"EOS D60", true, false, false, false},
        {"EOS-1D Mark II", false, true, false, false},
        {"EOS 10D", false, false, false, false},
        {"EOS 20D", false, false, true, false},
        {"EOS 350D DIGITAL", false, false, false, true},
        {"EOS DIGITAL REBEL XT", false, false, false, true},
        {"eos digital rebelxt", false, false, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        ProgramState& s = state();
        s.bD60 = s.b1D = s.b20D = s.b350D = false;
        connectCamera(r.model);
        EXPECT_EQ(s.bD60, r.d60);
        EXPECT_EQ(s.b1D, r.d1);
        EXPECT_EQ(s.b20D, r.d20);
        EXPECT_EQ(s.b350D, r.d350);
        ctl->set(ids::kConnected, false);
        ctl->fire(ids::kOnDisconnected);
        EXPECT_EQ(s.bD60, r.d60) << "flags stay set after a disconnect";
        EXPECT_EQ(s.b1D, r.d1);
        EXPECT_EQ(s.b20D, r.d20);
        EXPECT_EQ(s.b350D, r.d350);
    }
}

TEST_F(CameraWindowTest, ConnectRunsItsStepsInOrder) {
    QSignalSpy connected(oMainCamera().get(), &clsCamera::Connected);
    main->setAll(false);
    const qsizetype from = testenv::traceLines().size();
    connectCamera("EOS 20D");
    EXPECT_EQ(connected.size(), 1);
    EXPECT_EQ(ctl->calls,
              (QStringList{"RequestBatteryLevel",
                           // the stored mode (focus by default) is set up
                           "put FocusMode=True", "put PicCam=False", "put ThumbPc=False",
                           "put ThumbCam=False", "put PicPc=True", "put ISO=800", "put Tv=4''",
                           // and the current mode's defaults applied once more
                           "put ISO=800", "put Tv=4''"}));
    EXPECT_EQ(traceSince(from).mid(0, 2),
              (QStringList{"EVENT: frmCameraControl: Vosquin1_OnConnected: EOS 20D",
                           "MirrorLock:False"}));
    EXPECT_EQ(main->modes, QStringList{"Connected"});
    EXPECT_TRUE(win->findChild<QRadioButton*>("optMode0")->isChecked());
    EXPECT_EQ(win->findChild<QPushButton*>("cbSetDefault")->text(), "Save as default focus mode");
    EXPECT_TRUE(oMainCamera()->FocusMode());
    // Tv "4''" after the defaults is not Bulb, the quality is Fine, pictures go to the PC.
    EXPECT_TRUE(main->enabled(19));
    EXPECT_TRUE(main->enabled(13));
    EXPECT_EQ(win->formHeightTwips(), 3930);
}

TEST_F(CameraWindowTest, AFailedConnectLeavesTheCameraDisconnected) {
    QSignalSpy connected(oMainCamera().get(), &clsCamera::Connected);
    QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
    main->setAll(false);
    const qsizetype from = testenv::traceLines().size();
    ctl->fire(ids::kOnConnected, {std::string("Error:-2147418113")});
    EXPECT_EQ(connected.size(), 0);
    EXPECT_FALSE(oMainCamera()->connected());
    EXPECT_TRUE(ctl->calls.isEmpty());
    EXPECT_TRUE(main->modes.isEmpty());
    EXPECT_FALSE(main->enabled(19));
    EXPECT_FALSE(state().b1D);  // "-2147418113" holds no model name, nor "1D" in any case
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), "Connection failed Error:-2147418113");
    EXPECT_EQ(traceSince(from),
              QStringList{"EVENT: frmCameraControl: Vosquin1_OnConnected: Error:-2147418113"});
    EXPECT_FALSE(win->findChild<QRadioButton*>("optMode0")->isChecked());
}

TEST_F(CameraWindowTest, ControlStatesFollowConnectionModeQualityTvAndPictureTransfer) {
    struct Row {
        const char* name;
        bool connected, focus;
        const char* quality;
        const char* tv;
        bool picPc;
        int release, start;  // Shutter Release and Start: 1 enabled, 0 disabled, -1 unchanged
    };
    // Capture mode offers no continuous focus frames, and no release in Bulb;
    // its Shutter Release otherwise is the capture window's.
    const Row rows[] = {
        {"disconnected", false, true, "Normal", "1/60", true, 0, 0},
        {"capture mode", true, false, "Raw", "1/60", false, -1, 0},
        {"capture mode, Bulb", true, false, "Normal", "Bulb", true, 0, 0},
        {"focus, can focus", true, true, "Normal", "1/60", true, 1, 1},
        {"focus, Raw", true, true, "Raw", "1/60", true, 0, 0},
        {"focus, raw (other case)", true, true, "raw", "1/60", true, 1, 1},
        {"focus, Bulb", true, true, "Normal", "Bulb", true, 0, 0},
        {"focus, no pictures to the PC", true, true, "Normal", "1/60", false, 0, 0},
    };
    for (const Row& r : rows) {
        for (bool before : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (before ? " from enabled" : " from disabled"));
            ctl->set(ids::kConnected, r.connected);
            ctl->set(ids::kFocusMode, r.focus);
            ctl->set(ids::kImageQuality, std::string(r.quality));
            ctl->set(ids::kTv, std::string(r.tv));
            ctl->set(ids::kPicPc, r.picPc);
            main->setAll(before);
            win->model().SetControlStates();
            const auto want = [before](int expected) {
                return expected < 0 ? before : expected == 1;
            };
            EXPECT_EQ(main->enabled(19), want(r.release));
            EXPECT_EQ(main->enabled(13), want(r.start));
            EXPECT_EQ(main->enabled(15), before);  // never touched
        }
    }
}

TEST_F(CameraWindowTest, BatteryLevelPicksThePictureAndUnknownTextsKeepIt) {
    const std::pair<const char*, int> rows[] = {{"Good", 4}, {"unknown", 4}, {"Weak", 3},
                                                {"Low", 2},  {"good", 2},    {"Empty", 1},
                                                {"", 1},     {"Good", 4}};
    for (const auto& [level, picture] : rows) {
        ctl->fire(ids::kOnBatteryLevelChange, {std::string(level)});
        EXPECT_EQ(win->batteryPictureShown(), picture) << level;
    }
    EXPECT_EQ(testenv::traceLines().last(),
              "EVENT: frmCameraControl: Vosquin1_OnBatteryLevelChange: Good");
}

TEST_F(CameraWindowTest, EventTraceLinesAndTheirSmallHandlers) {
    QSignalSpy status(oMainCamera().get(), &clsCamera::StatusInfoUpdate);
    QSignalSpy bulb(oMainCamera().get(), &clsCamera::BulbModeEnabled);
    const qsizetype from = testenv::traceLines().size();
    ctl->fire(ids::kOnReadyForRelease, {false});
    EXPECT_FALSE(main->enabled(19));
    EXPECT_FALSE(win->findChild<QPushButton*>("cbRelease")->isEnabled());
    ctl->fire(ids::kOnReadyForRelease, {true});
    EXPECT_TRUE(main->enabled(19));
    EXPECT_TRUE(win->findChild<QPushButton*>("cbRelease")->isEnabled());
    ctl->fire(ids::kOnStatusUpdate, {std::string("Taking Picture")});
    ctl->fire(ids::kOnBulbMode, {true});
    ctl->fire(ids::kOnDisconnected);
    EXPECT_EQ(traceSince(from),
              (QStringList{"EVENT: frmCameraControl: Vosquin1_OnReadyForRelease: False",
                           "EVENT: frmCameraControl: Vosquin1_OnReadyForRelease: True",
                           "EVENT: frmCameraControl: Vosquin1_OnStatusUpdate: Taking Picture",
                           "EVENT: frmCameraControl: Vosquin1_OnBulbMode:True",
                           "EVENT: frmCameraControl: Vosquin1_OnDisconnected: "}));
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status[0][0].toString(), "Taking Picture");
    EXPECT_EQ(bulb.size(), 1);
    EXPECT_EQ(main->modes, QStringList{"Disconnected"});
}

TEST_F(CameraWindowTest, LogSettingsWritesTenLinesOnlyWhileConnected) {
    win->LogSettings();
    const qsizetype from = testenv::traceLines().size();
    EXPECT_EQ(from, 0);
    ctl->set(ids::kConnected, true);
    ctl->set(ids::kImageQuality, std::string("Normal"));
    ctl->set(ids::kTv, std::string("1/60"));
    ctl->set(ids::kISO, std::string("800"));
    ctl->set(ids::kAv, std::string("00"));
    ctl->set(ids::kPicPc, true);
    ctl->set(ids::kThumbCam, true);
    state().sCameraName = "EOS 20D";
    win->LogSettings();
    EXPECT_EQ(testenv::traceLines(),
              (QStringList{"Quality:Normal", "Tv:1/60", "ISO:800", "Mode:Manual", "Av:00",
                           "PIC - > PC:True", "PIC -> Cam:False", "THU - > PC:False",
                           "THU -> Cam:True", "Camera:EOS 20D"}));
}

TEST_F(CameraWindowTest, AllowedShutterSpeedsAreAppendedWithTheirCodes) {
    struct Row {
        const char* allowed;
        QStringList texts;
        QList<int> codes;
        bool traced;
    };
    const Row rows[] = {
        {"", {}, {}, false},
        {"4,48,56,", {"Bulb", "2", "1"}, {4, 48, 56}, false},
        {"16,999,19,", {"30''", "25''"}, {16, 19}, false},
        {"16,19", {"30''"}, {16}, false},
        {"16,abc,19,", {"30''"}, {16}, true},
        {" 16 ,", {"30''"}, {16}, false},
        {"4,4,", {"Bulb", "Bulb"}, {4, 4}, false},
        {"-1,52,43,", {"No Lense", "1.5''", "3''2"}, {-1, 52, 43}, false},
        {"168,", {"1/16000"}, {168}, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.allowed);
        ctl->set(ids::kAllowedTv, std::string(r.allowed));
        QComboBox combo;
        combo.addItem("kept", 0);  // the list is appended to, not emptied
        const qsizetype from = testenv::traceLines().size();
        win->LoadAllowedTvs(&combo);
        QStringList texts;
        QList<int> codes;
        for (int i = 1; i < combo.count(); ++i) {
            texts << combo.itemText(i);
            codes << combo.itemData(i).toInt();
        }
        EXPECT_EQ(combo.itemText(0), "kept");
        EXPECT_EQ(texts, r.texts);
        EXPECT_EQ(codes, r.codes);
        const QStringList lines = traceSince(from);
        EXPECT_EQ(lines.size(), r.traced ? 1 : 0);
        if (r.traced) {
            EXPECT_EQ(lines[0], "Error in: LoadAllowedTvs with error:Type mismatch 13");
        }
    }
}

TEST_F(CameraWindowTest, DefaultsAreSavedPerModeAndAppliedWhenSwitching) {
    connectedInFocusMode();
    // Nothing stored: ISO "800", Tv "4''" and the quality left alone.
    win->model().GetDefaultValues();
    EXPECT_EQ(ctl->calls, (QStringList{"put ISO=800", "put Tv=4''"}));

    ctl->set(ids::kISO, std::string("1600"));
    ctl->set(ids::kTv, std::string("1/30"));
    ctl->set(ids::kImageQuality, std::string("Normal"));
    ctl->set(ids::kImageSize, std::string("Medium"));
    win->findChild<QPushButton*>("cbSetDefault")->click();
    EXPECT_EQ(Settings::get("FocusMode", "ISO", "?"), "1600");
    EXPECT_EQ(Settings::get("FocusMode", "Tv", "?"), "1/30");
    EXPECT_EQ(Settings::get("FocusMode", "Quality", "?"), "Normal\\Medium");

    Settings::save("CaptureMode", "ISO", "100");
    Settings::save("CaptureMode", "Tv", "30''");
    Settings::save("CaptureMode", "Quality", "Fine\\Large");
    ctl->calls.clear();
    win->SetCaptureMode();
    EXPECT_EQ(ctl->calls, (QStringList{"put FocusMode=False", "put ISO=100", "put Tv=30''",
                                       "put ImageQuality=Fine\\Large"}));
    EXPECT_EQ(win->findChild<QPushButton*>("cbSetDefault")->text(), "Save as default capture mode");
    ctl->calls.clear();
    win->SetFocusMode();
    EXPECT_TRUE(ctl->calls.contains("put ISO=1600"));
    EXPECT_TRUE(ctl->calls.contains("put ImageQuality=Normal\\Medium"));
}

TEST_F(CameraWindowTest, SavingDefaultsWithoutACameraStoresNothing) {
    const qsizetype from = testenv::traceLines().size();
    win->findChild<QPushButton*>("cbSetDefault")->click();
    EXPECT_EQ(Settings::get("FocusMode", "ISO", "none"), "none");
    EXPECT_EQ(Settings::get("CaptureMode", "Quality", "none"), "none");
    EXPECT_EQ(traceSince(from), QStringList{"SetDefaultValues: no camera connected"});
}

TEST_F(CameraWindowTest, ModeOptionsRunTheirSetupsAndOpenOrCloseTheNeighbours) {
    connectedInFocusMode();
    windows().load(Win::frmImageDisp);
    windows().load(Win::frmAnalyze);
    neighbourCalls().clear();
    win->SetCaptureMode();
    EXPECT_EQ(neighbourCalls(), (QStringList{"disp.unload", "frmAnalyze.unload", "capture.load"}));
    EXPECT_TRUE(bCaptureLoaded());
    EXPECT_FALSE(main->enabled(13));
    EXPECT_FALSE(win->findChild<QCheckBox*>("chSaveFocus")->isEnabled());
    EXPECT_FALSE(oMainCamera()->FocusMode());
    win->SetCaptureMode();  // already selected: nothing runs
    EXPECT_EQ(neighbourCalls().size(), 3);

    windows().load(Win::frmAutomate);
    neighbourCalls().clear();
    win->SetFocusMode();
    EXPECT_EQ(neighbourCalls(), (QStringList{"capture.unload", "frmAutomate.unload"}));
    EXPECT_TRUE(win->findChild<QCheckBox*>("chSaveFocus")->isEnabled());

    // The stored option is applied at the next connect.
    win->model().saveModeOption();
    EXPECT_EQ(Settings::get("Options", "FocusMode", "?"), "True");
    Settings::save("Options", "FocusMode", "False");
    neighbourCalls().clear();
    connectCamera();
    EXPECT_TRUE(win->findChild<QRadioButton*>("optMode1")->isChecked());
    EXPECT_FALSE(win->findChild<QRadioButton*>("optMode0")->isChecked());
    EXPECT_EQ(neighbourCalls(), QStringList{"capture.load"});
    // A stored value that is no Boolean gives focus mode.
    Settings::save("Options", "FocusMode", "maybe");
    connectCamera();
    EXPECT_TRUE(win->findChild<QRadioButton*>("optMode0")->isChecked());
}

TEST_F(CameraWindowTest, SaveFocusImagesAndTheReleaseButtonGoStraightToTheControl) {
    connectedInFocusMode();
    ctl->set(ids::kMirrorLock, true);  // the window's own button makes no checks
    win->findChild<QCheckBox*>("chSaveFocus")->click();
    win->findChild<QPushButton*>("cbRelease")->click();
    EXPECT_EQ(ctl->calls, (QStringList{"put SaveFocusImages=True", "Release"}));
}

TEST_F(CameraWindowTest,
       MouseOverTheOptionsHoldsOffFocusGrabsAndDoubleClicksForceTheCaptureWindow) {
    connectedInFocusMode();
    auto* capture = win->findChild<QRadioButton*>("optMode1");
    auto* focus = win->findChild<QRadioButton*>("optMode0");
    auto send = [](QWidget* w, QEvent::Type type) {
        QMouseEvent e(type, QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    };
    win->show();
    state().bMsgBoxShowing = false;
    send(win->findChild<QPushButton*>("cbSetDefault"), QEvent::MouseMove);
    EXPECT_TRUE(state().bMsgBoxShowing);
    send(win, QEvent::MouseMove);
    EXPECT_FALSE(state().bMsgBoxShowing);

    // Double clicks: capture mode shows the capture window even when loaded,
    // focus mode closes it.
    win->SetCaptureMode();
    neighbourCalls().clear();
    windows().ifLoaded(Win::frmCapture)->hide();
    send(capture, QEvent::MouseButtonDblClick);
    EXPECT_TRUE(windows().ifLoaded(Win::frmCapture)->isVisible());
    EXPECT_EQ(neighbourCalls(), QStringList{});  // not created again
    send(focus, QEvent::MouseButtonDblClick);
    EXPECT_EQ(neighbourCalls(), QStringList{"capture.unload"});
    EXPECT_FALSE(bCaptureLoaded());
}

TEST_F(CameraWindowTest, FolderMonitorSetupShowsThePanelAndLocksCaptureOut) {
    win->setupFolderMonitor();
    EXPECT_TRUE(win->folderMonitorFrame()->isVisibleTo(win));
    EXPECT_EQ(win->formHeightTwips(), 5340);
    EXPECT_FALSE(win->findChild<QRadioButton*>("optMode1")->isEnabled());
    EXPECT_FALSE(main->enabled(21));
    EXPECT_FALSE(main->menuItem("mnuControl")->isEnabled());
    EXPECT_GT(win->height(), 0);
}

}  // namespace
}  // namespace zelmora::camera::test

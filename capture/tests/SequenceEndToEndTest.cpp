// A sequence from an exposure file, run on the simulators: the real camera
// window and release control over the simulated camera library, the real
// capture window and run engine, and the simulated parallel-port cable wired
// to the simulated camera's remote release. All on the virtual clock.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>

#include "cables/CableSetup.h"
#include "cables/CableShutter.h"
#include "cables/DSLRControl.h"
#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "camera/tests/CameraControlFakes.h"
#include "capture/CameraLink.h"
#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ExposureRun.h"
#include "capture/ctlProgress.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/os/Dialogs.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace Msg = zelmora::platform::Msg;

namespace {

// The program's cable, noting what ISO the camera holds as each exposure opens.
class IsoNotingCable : public cables::CableShutter {
public:
    void PressShutter() override {
        isoAtPress << capture::CameraLink::instance().ISO();
        calls << QStringLiteral("press %1").arg(platform::clock().monotonicMs() - t0);
        CableShutter::PressShutter();
    }
    void ReleaseShutter() override {
        calls << QStringLiteral("release %1").arg(platform::clock().monotonicMs() - t0);
        CableShutter::ReleaseShutter();
    }
    void releaseAtOnce() override {
        calls << QStringLiteral("release %1").arg(platform::clock().monotonicMs() - t0);
        CableShutter::releaseAtOnce();
    }
    QStringList isoAtPress, calls;
    qint64 t0 = 0;
};

class SequenceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registryDir.isValid());
        automation::registry::setFile(registryDir.filePath("classes.json"));
        camera::frmCameraControl::setControlLibraryFolder(
            QFileInfo(QStringLiteral(VOSQUIN_LIBRARY)).absolutePath());
        testenv::enableTrace();
        simrc::setSynchronousDelivery(true);
        main = std::make_unique<camera::test::FakeMainWindow>();
        oMainCamera() = std::make_shared<clsCamera>();
        camera::registerWindows();
        capture::registerWindows();

        cables::CableSetup& c = cables::cableSetup();
        c.useSimulated(true);
        c.PortTable[0] = {0x378, "ECP", "PS/2", 1, true};
        c.selectPort(0);
        c.FullPressPin = 2;
        cables::DSLRControl::ClearDataPort();
        cable = std::make_shared<IsoNotingCable>();
        ShutterCable::setInstance(cable);
    }
    void TearDown() override {
        for (const QString& name : {Win::frmAutomate, Win::frmCapture})
            if (QWidget* w = windows().ifLoaded(name)) w->close();
        delete camWin.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        automation::registry::setFile({});
        capture::CaptureRunEngine::setFactory({});
        simrc::reset();
        sim::SimSky::instance().reset();
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    capture::frmCapture* connectInCaptureMode() {
        camWin = qobject_cast<camera::frmCameraControl*>(windows().show(Win::frmCameraControl));
        if (!camWin) return nullptr;
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
        camWin->doconnect();
        if (!oMainCamera()->connected()) return nullptr;
        camWin->SetCaptureMode();
        return windows().ifLoadedAs<capture::frmCapture>(Win::frmCapture);
    }
    // Pictures of the capture window go to the PC, into a "Lights" folder.
    static QString savePicturesToPc(capture::frmCapture* cap) {
        const QString folder = QDir(testenv::appDir()).filePath("Lights");
        EXPECT_TRUE(QDir().mkpath(folder));
        cap->txtDirectory->setText(folder);
        cap->chPictoPC->setChecked(true);
        return folder;
    }
    // The capture window's boxes for a run on `tab`, its pictures to the PC
    // named after `prefix` without the ISO; returns the pictures' folder.
    static QString prepareRun(capture::frmCapture* cap, int tab, const QString& prefix,
                              const QString& count, const QString& leadIn, const QString& between) {
        cap->selectTab(tab);
        const QString folder = savePicturesToPc(cap);
        cap->txtObjPrefix->setText(prefix);
        cap->chkUseISO->setChecked(false);
        cap->txtExpCount->setText(count);
        cap->txtLeadIn->setText(leadIn);
        cap->txtTimeBetween->setText(between);
        return folder;
    }
    // Lets the running sequence go on, a second at a time, until it ends.
    static void runSequenceToItsEnd(int maxSeconds) {
        ASSERT_TRUE(state().bSequenceRunning);
        for (int i = 0; i < maxSeconds && state().bSequenceRunning; ++i) {
            testenv::vclock().advance(1000);
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::processEvents();
        }
        EXPECT_FALSE(state().bSequenceRunning);
    }
    static void runFor(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            testenv::vclock().advance(1000);
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::processEvents();
        }
    }

    QTemporaryDir registryDir;
    std::unique_ptr<camera::test::FakeMainWindow> main;
    std::shared_ptr<IsoNotingCable> cable;
    QPointer<camera::frmCameraControl> camWin;
};

}  // namespace

TEST_F(SequenceEndToEnd, AFileOfBulbStepsGivesNamedFramesOfTheirLengthsAndIsos) {
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    cap->selectTab(2);
    const QString folder = savePicturesToPc(cap);
    cap->txtObjPrefix->setText("M42");
    cap->chkUseISO->setChecked(true);
    cap->txtLeadIn->setText("0");

    // The sequence file: two 30-s bulbs at ISO 1600, one 5-s bulb.
    const QString file = QDir(testenv::appDir()).filePath("ExposureFiles/night.txt");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("2,30,5,1600\r\n1,5,0,0\r\n");
    f.close();

    cap->cbAutomate->click();
    auto* seq = windows().ifLoadedAs<capture::frmAutomate>(Win::frmAutomate);
    ASSERT_NE(seq, nullptr);
    testenv::dialogs().expectOpenFile(file);
    seq->cbLoadFile_Click();
    ASSERT_EQ(seq->rows().size(), 3);

    // Keep the camera's JPEG quality: one file per frame.
    testenv::dialogs().expectMsgBox("Image Quality Setting not on RAW", Msg::Yes);
    cable->t0 = platform::clock().monotonicMs();
    seq->cbStart_Click();
    ASSERT_NO_FATAL_FAILURE(runSequenceToItsEnd(200));

    // What the camera took: its lengths, all bulb, and the ISO of each.
    const auto frames = simrc::captures();
    ASSERT_EQ(frames.size(), 3u);
    const std::int64_t lengths[3] = {30'000, 30'000, 5'000};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i].exposureMs, lengths[i]) << i;
        EXPECT_TRUE(frames[i].bulb) << i;
    }
    EXPECT_EQ(cable->isoAtPress, QStringList({"1600", "1600", "1600"}));

    // The files, named by prefix, exposure and ISO as the camera reported them, then frame.
    QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files.join(' ').toStdString(),
              "M42-30s-1600-10001.JPG M42-30s-1600-20002.JPG M42-5s-1600-10003.JPG");
    const QStringList t = testenv::traceLines();
    EXPECT_TRUE(t.contains("About to Set ISO:1600"));
    EXPECT_TRUE(t.contains("----sequence Complete---------"));
    EXPECT_FALSE(t.filter("Time exceded").size());
}

// In short-exposure mode every step's exposure is a shutter speed, whatever
// its look: "2" and "1" are the camera's speeds, not bulb seconds.
TEST_F(SequenceEndToEnd, ShortModeReleasesEveryStepAtItsShutterSpeed) {
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    cap->selectTab(1);
    ASSERT_EQ(cap->GetCurrFrame(), 1);
    savePicturesToPc(cap);
    ASSERT_TRUE(QDir().mkpath(QDir(testenv::appDir()).filePath("ExposureFiles")));
    cap->txtLeadIn->setText("0");

    cap->cbAutomate->click();
    auto* seq = windows().ifLoadedAs<capture::frmAutomate>(Win::frmAutomate);
    ASSERT_NE(seq, nullptr);
    // The speeds as the camera window lists them (seconds marked '').
    const QStringList speeds = {"1/125", "2", "1", "30''", "0''3"};
    std::vector<int> codes;
    for (const QString& speed : speeds) {
        const int i = seq->lbTv->findText(speed, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(i, 0) << speed.toStdString();
        codes.push_back(seq->lbTv->itemData(i).toInt());
        seq->lbTv->setCurrentIndex(i);
        seq->txtNoExp->setText("2");
        seq->txtDelayBetwExp->setText("0");
        seq->cbAdd_Click();
    }
    ASSERT_EQ(seq->rows().size(), speeds.size() + 1);

    testenv::dialogs().expectMsgBox("Image Quality Setting not on RAW", Msg::Yes);
    seq->cbStart_Click();
    ASSERT_NO_FATAL_FAILURE(runSequenceToItsEnd(400));

    // Two frames a step, each released by the camera at the step's speed.
    const auto frames = simrc::captures();
    ASSERT_EQ(frames.size(), 2 * speeds.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int code = codes[i / 2];
        const auto ms = std::int64_t(std::llround(std::pow(2.0, (56.0 - code) / 8.0) * 1000));
        EXPECT_EQ(frames[i].exposureMs, ms) << speeds[int(i / 2)].toStdString();
        EXPECT_FALSE(frames[i].bulb) << speeds[int(i / 2)].toStdString();
    }
    EXPECT_TRUE(cable->calls.isEmpty()) << cable->calls.join(' ').toStdString();
    EXPECT_EQ(cap->GetCurrFrame(), 1);
    EXPECT_FALSE(testenv::traceLines().filter("Time exceded").size());
}

// One long run on the real control: the cable holds each bulb its length, the
// run waits for each picture to be handed over, then the time between.
TEST_F(SequenceEndToEnd, ALongRunThroughTheRealControlWaitsForEachPicture) {
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    const QString folder = prepareRun(cap, 2, "NGC7000", "2", "3", "9");
    cap->txtExpMin->setText("0");
    cap->txtExpSec->setText("10");
    cable->t0 = platform::clock().monotonicMs();
    cap->cbExpStart_Click();
    ASSERT_TRUE(cap->runActive());
    runFor(60);
    EXPECT_FALSE(cap->runActive());

    ASSERT_EQ(cable->calls.size(), 4);
    EXPECT_EQ(cable->calls.mid(0, 2), QStringList({"press 3000", "release 13000"}));
    // The second frame follows the first picture's hand-over and the 9-s gap.
    const int second = cable->calls[2].mid(6).toInt();
    EXPECT_GE(second, 22000);
    EXPECT_LE(second, 22100);
    EXPECT_EQ(cable->calls[3], QStringLiteral("release %1").arg(second + 10000));
    const auto frames = simrc::captures();
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& fr : frames) {
        EXPECT_EQ(fr.exposureMs, 10'000);
        EXPECT_TRUE(fr.bulb);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name).join(' ').toStdString(),
              "NGC7000-10001.JPG NGC7000-20002.JPG");
    EXPECT_FALSE(state().bWaitingForDownload);
    EXPECT_FALSE(testenv::traceLines().filter("Time exceded").size());
}

// Leaving the program in the middle of a bulb frame: the shutter is let go,
// both windows go, and the end of the frame does not bring the camera window
// back to ask it for the picture.
TEST_F(SequenceEndToEnd, LeavingTheProgramMidFrameBringsNoWindowBack) {
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    cap->selectTab(2);
    savePicturesToPc(cap);
    cap->chkUseISO->setChecked(false);
    cap->txtExpCount->setText("2");
    cap->txtExpMin->setText("0");
    cap->txtExpSec->setText("10");
    cap->txtLeadIn->setText("0");
    cap->txtTimeBetween->setText("0");
    cap->cbExpStart_Click();
    ASSERT_TRUE(cap->runActive());
    runFor(4);

    platform::setShuttingDown(true);
    windows().closeAll();
    runFor(30);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    platform::setShuttingDown(false);

    EXPECT_FALSE(windows().isLoaded(Win::frmCameraControl));
    EXPECT_FALSE(windows().isLoaded(Win::frmCapture));
    ASSERT_FALSE(cable->calls.isEmpty());
    EXPECT_TRUE(cable->calls.last().startsWith("release"));
}

// The capture window's own runs on the simulators.
class CaptureEndToEnd : public SequenceEndToEnd {
protected:
    // Fresh settings choose no parallel port: the Long tab with no shutter cable.
    static capture::frmCapture* longTabWithNoCable() {
        cables::CableSetup& c = cables::cableSetup();
        c.PortTable[0] = {};
        c.selectPort(0);
        Settings::save("Options", "CaptureMode", "2");
        auto* cap = dynamic_cast<capture::frmCapture*>(windows().load(Win::frmCapture));
        EXPECT_TRUE(cap && cap->GetCurrFrame() == 2);
        return cap && cap->GetCurrFrame() == 2 ? cap : nullptr;
    }
    static int alarms() {
        int n = 0;
        for (const auto& p : testenv::sounds().played) n += p.path.endsWith("alarm.wav");
        return n;
    }
    // A fresh program for the next row of a table.
    void afresh() {
        TearDown();
        testenv::resetEnvironment();
        SetUp();
    }
    // Connected, on the Long tab: one bulb frame of "IMG" for `seconds`,
    // pictures to the PC (into `folder` when asked).
    capture::frmCapture* oneBulbFrame(int seconds, QString* folder = nullptr) {
        capture::frmCapture* cap = connectInCaptureMode();
        if (!cap) return nullptr;
        const QString lights = prepareRun(cap, 2, "IMG", "1", "0", "0");
        if (folder) *folder = lights;
        cap->txtExpMin->setText("0");
        cap->txtExpSec->setText(QString::number(seconds));
        return cap;
    }
    // The window's run, stopped `seconds` in; it has ended on return.
    static void runStoppedAt(capture::frmCapture* cap, int seconds) {
        cap->cbExpStart_Click();
        ASSERT_TRUE(cap->runActive());
        runFor(seconds);
        cap->cbExpStop_Click();
        runFor(30);
        ASSERT_FALSE(cap->runActive());
    }
};

// A short run through the real control: Start applies the window's boxes
// although the control's own were changed to the card; Start stays off for
// the whole run although the control reports after every picture; a picture
// whose transfer fails is named, not counted, and the run's end says so
// without the alarm.
TEST_F(CaptureEndToEnd, AShortRunAccountsForEveryFrame) {
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    const QString folder = prepareRun(cap, 1, "M42", "3", "0", "10");
    vosquin::VosquinHost* control = camWin->Vosquin1();
    control->setPicCam(true);
    control->setPicPc(false);
    ASSERT_FALSE(control->PicPc());
    // The second picture's transfer fails.
    simrc::failCall("RCTakeCapturedImage", RC_COMP_TRANSFER | RC_ERR_FILE_IO, 1, 1);
    ASSERT_TRUE(cap->cbExpStart->isEnabled());
    cap->cbExpStart_Click();
    ASSERT_TRUE(cap->runActive());
    EXPECT_TRUE(control->PicPc());
    int startOn = 0;
    for (int i = 0; i < 60 && cap->runActive(); ++i) {
        runFor(1);
        startOn += cap->runActive() && cap->cbExpStart->isEnabled();
    }
    EXPECT_FALSE(cap->runActive());
    EXPECT_EQ(startOn, 0);
    EXPECT_TRUE(cap->cbExpStart->isEnabled());
    EXPECT_EQ(simrc::captures().size(), 3u);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(cap->lblExpTaken->text().toStdString(), "Exposures Taken:2");
    EXPECT_EQ(cap->lblRunNotice->text().toStdString(),
              "Frames missing: 1 of 3. Frame 2 not downloaded: Error:3145740");
    EXPECT_EQ(alarms(), 0);
    EXPECT_FALSE(state().bWaitingForDownload);
}

// A sequence of bulb steps with no shutter cable set up is refused at its
// start, as the Long tab's Start is, before the camera is set anything.
TEST_F(CaptureEndToEnd, WithNoCableSetUpABulbSequenceIsRefusedAtItsStart) {
    capture::frmCapture* cap = longTabWithNoCable();
    ASSERT_NE(cap, nullptr);
    cap->cbAutomate->click();
    auto* seq = windows().ifLoadedAs<capture::frmAutomate>(Win::frmAutomate);
    ASSERT_NE(seq, nullptr);
    ASSERT_TRUE(QDir().mkpath(QDir(testenv::appDir()).filePath("ExposureFiles")));
    seq->txtNoExp->setText("2");
    seq->txtExpLength->setText("30");
    seq->txtDelayBetwExp->setText("5");
    seq->lbISOSpeed->setCurrentText("1600");
    seq->cbAdd_Click();
    ASSERT_EQ(seq->rows().size(), 2);

    testenv::dialogs().expectMsgBox(
        "Start is off: no shutter cable is set up: choose one in Port Setup.");
    seq->cbStart_Click();
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_FALSE(seq->sequenceActive());
    EXPECT_FALSE(cap->runActive());
    EXPECT_FALSE(state().bSequenceRunning);
    runFor(30);
    EXPECT_TRUE(simrc::captures().empty());
    EXPECT_FALSE(testenv::traceLines().contains("----doing sequence :1"));
}

// With no shutter cable set up (fresh settings: no parallel port) the Long
// tab's Start is off and says why; a run started all the same (as a sequence
// step starts it) takes nothing and says so; choosing a port turns Start on.
TEST_F(CaptureEndToEnd, WithNoCableSetUpABulbRunTakesNothingAndSaysSo) {
    capture::frmCapture* cap = longTabWithNoCable();
    ASSERT_NE(cap, nullptr);
    cables::CableSetup& c = cables::cableSetup();
    cap->txtExpCount->setText("2");
    cap->txtExpMin->setText("0");
    cap->txtExpSec->setText("10");
    cap->txtLeadIn->setText("0");
    cap->txtTimeBetween->setText("0");
    EXPECT_FALSE(cap->cbExpStart->isEnabled());
    EXPECT_EQ(cap->lblStartHint->text().toStdString(),
              "Start is off: no shutter cable is set up: choose one in Port Setup.");

    auto* run = dynamic_cast<capture::ExposureRun*>(cap->runEngine());
    ASSERT_NE(run, nullptr);
    run->StartExposureAutomate();
    runFor(30);
    EXPECT_FALSE(cap->runActive());
    EXPECT_EQ(cap->lblRunNotice->text().toStdString(),
              "Frames missing: 2 of 2. Frame 1 not taken: no shutter cable is set up: choose one "
              "in Port Setup");
    EXPECT_EQ(cap->lblExpTaken->text().toStdString(), "Exposures Taken:0");
    EXPECT_EQ(alarms(), 0);
    EXPECT_TRUE(simrc::captures().empty());
    EXPECT_FALSE(cap->cbExpStart->isEnabled());

    c.PortTable[0] = {0x378, "ECP", "PS/2", 1, true};
    c.selectPort(0);
    EXPECT_TRUE(cap->cbExpStart->isEnabled());
    EXPECT_EQ(cap->lblStartHint->text().toStdString(), "");
}

// A camera that gives a RAW and a JPEG picture for each release: the frame is
// downloaded once both have come, so the next release finds the camera free
// and no frame is lost to a busy control.
TEST_F(CaptureEndToEnd, ARawPlusJpegShortRunTakesEveryFrameWithBothPictures) {
    simrc::CameraProfile camera = simrc::profiles::eos20D();
    camera.format = {4, 0};  // Raw, Large
    camera.rawPlusJpeg = true;
    simrc::setDevices({camera});
    capture::frmCapture* cap = connectInCaptureMode();
    ASSERT_NE(cap, nullptr);
    const QString folder = prepareRun(cap, 1, "M42", "3", "0", "0");
    cap->cbExpStart_Click();
    for (int i = 0; i < 60 && cap->runActive(); ++i) runFor(1);
    EXPECT_FALSE(cap->runActive());

    EXPECT_EQ(simrc::captures().size(), 3u);
    // Each frame's RAW and JPEG picture from the camera (beside the JPEG
    // developed from the RAW, named in lower case).
    const QStringList files =
        QDir(folder).entryList({"*.CR2", "*.JPG"}, QDir::Files | QDir::CaseSensitive, QDir::Name);
    EXPECT_EQ(files.join(' ').toStdString(),
              "M42-10001.CR2 M42-10001.JPG M42-20002.CR2 M42-20002.JPG M42-30003.CR2 "
              "M42-30003.JPG");
    EXPECT_EQ(cap->lblExpTaken->text().toStdString(), "Exposures Taken:3");
    EXPECT_EQ(cap->lblRunNotice->text().toStdString(), "");
    EXPECT_TRUE(testenv::traceLines().filter("not taken").isEmpty());
    EXPECT_TRUE(testenv::traceLines().filter("Release refused").isEmpty());
    EXPECT_EQ(alarms(), 1);
    EXPECT_FALSE(state().bWaitingForDownload);
}

// A 7-minute bulb frame ended 122 s in, by Stop or by closing Image Capture:
// the shutter is let go then, the camera's picture is named after the seconds
// the shutter was open, and the window says the frame was cut short.
TEST_F(CaptureEndToEnd, ABulbFrameEndedEarlyIsNamedAfterTheSecondsItWasOpen) {
    struct Row {
        const char* name;
        bool close;  // closing Image Capture, else Stop
        const char* minutes;
        const char* seconds;
        int endAtMs;  // when, after the press
        int namedSeconds;
        const char* notice;
    };
    const Row rows[] = {
        {"Stop", false, "7", "0", 122'000, 122,
         "Frame 1 cut short: the shutter was open 122 s of 420 s"},
        {"Image Capture closed", true, "7", "0", 122'000, 122,
         "Frame 1 cut short: the shutter was open 122 s of 420 s"},
        // Stopped in the last half second: the seconds round to the plan's,
        // and the notice still says it was cut short.
        {"Stop just before the end", false, "0", "4", 3'600, 4,
         "Frame 1 cut short: the shutter was open 3.6 s of 4 s"},
    };
    bool first = true;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (!first) afresh();
        first = false;
        capture::frmCapture* cap = connectInCaptureMode();
        ASSERT_NE(cap, nullptr);
        const QString folder = prepareRun(cap, 2, "IMG", "1", "0", "0");
        cap->chkUseISO->setChecked(true);
        cap->txtExpMin->setText(r.minutes);
        cap->txtExpSec->setText(r.seconds);
        const QString iso = camWin->Vosquin1()->ISO();
        cable->t0 = platform::clock().monotonicMs();
        cap->cbExpStart_Click();
        ASSERT_TRUE(cap->runActive());
        runFor(r.endAtMs / 1000);
        testenv::vclock().advance(r.endAtMs % 1000);
        QPointer<capture::frmCapture> window(cap);
        if (r.close)
            cap->close();
        else
            cap->cbExpStop_Click();
        runFor(30);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Let go then (and again as the frame's end comes round), pressed no more.
        ASSERT_GE(cable->calls.size(), 2);
        EXPECT_EQ(cable->calls.mid(0, 2),
                  QStringList({"press 0", QStringLiteral("release %1").arg(r.endAtMs)}));
        EXPECT_EQ(cable->calls.filter("press").size(), 1);
        const auto frames = simrc::captures();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].exposureMs, r.endAtMs);
        EXPECT_EQ(
            QDir(folder).entryList(QDir::Files).join(' ').toStdString(),
            QStringLiteral("IMG-%1s-%2-10001.JPG").arg(r.namedSeconds).arg(iso).toStdString());
        EXPECT_TRUE(testenv::traceLines().contains(r.notice));
        if (r.close) {
            EXPECT_TRUE(window.isNull());
        } else {
            ASSERT_FALSE(window.isNull());
            EXPECT_EQ(cap->lblRunNotice->text().toStdString(), r.notice);
            EXPECT_FALSE(cap->runActive());
        }
    }
}

// A bulb frame cut short by a Stop is counted in "Exposures Taken:" and the
// progress bar: its picture came to the PC, or it is on the card.
TEST_F(CaptureEndToEnd, ABulbFrameCutShortIsCounted) {
    for (const bool toPc : {true, false}) {
        SCOPED_TRACE(toPc ? "to the PC" : "to the card");
        if (!toPc) afresh();
        QString folder;
        capture::frmCapture* cap = oneBulbFrame(20, &folder);
        ASSERT_NE(cap, nullptr);
        if (!toPc) cap->chPictoCam->setChecked(true);
        ASSERT_NO_FATAL_FAILURE(runStoppedAt(cap, 12));

        ASSERT_EQ(simrc::captures().size(), 1u);
        EXPECT_EQ(simrc::captures()[0].exposureMs, 12'000);
        if (toPc) EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
        EXPECT_EQ(cap->lblExpTaken->text().toStdString(), "Exposures Taken:1");
        EXPECT_EQ(cap->lblExpRemaining->text().toStdString(), "Exposures Remaining:0");
        EXPECT_EQ(cap->ProgressBar1->value(), 1);
        EXPECT_EQ(alarms(), 0);
    }
}

// A frame pressed by hand after a run is named after the seconds its shutter
// was open (or those of the camera's shutter speed, which times it outside
// Bulb), in the run's naming form, and not after what the last run named.
TEST_F(CaptureEndToEnd, AManualFrameIsNamedAfterTheSecondsItsShutterWasOpen) {
    enum class End { ReleaseShutter, Stop, CloseTheWindow };
    struct Row {
        const char* name;
        bool useIso;
        const char* tv;  // the camera's shutter speed for the manual frame
        End end;
        qint64 exposureMs;  // the manual frame's, as the camera took it
        const char* manualName;
    };
    const Row rows[] = {
        {"Release Shutter after 7 s", true, "Bulb", End::ReleaseShutter, 7'000,
         "IMG-7s-%1-10002.JPG"},
        {"Stop after 7 s", true, "Bulb", End::Stop, 7'000, "IMG-7s-%1-10002.JPG"},
        {"Image Capture closed after 7 s", true, "Bulb", End::CloseTheWindow, 7'000,
         "IMG-7s-%1-10002.JPG"},
        {"the camera's 4 s outside Bulb", true, "4''", End::ReleaseShutter, 4'000,
         "IMG-4s-%1-10002.JPG"},
        {"without the exposure and ISO", false, "Bulb", End::ReleaseShutter, 7'000,
         "IMG-10002.JPG"},
    };
    bool first = true;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (!first) afresh();
        first = false;
        QString folder;
        capture::frmCapture* cap = oneBulbFrame(20, &folder);
        ASSERT_NE(cap, nullptr);
        cap->chkUseISO->setChecked(r.useIso);
        const QString iso = camWin->Vosquin1()->ISO();
        ASSERT_NO_FATAL_FAILURE(runStoppedAt(cap, 12));

        if (QString(r.tv) != "Bulb") camWin->Vosquin1()->setTv(r.tv);
        ASSERT_EQ(camWin->Vosquin1()->Tv(), r.tv);
        QPointer<capture::frmCapture> window(cap);
        cap->cbPressShutter->click();
        runFor(7);
        if (r.end == End::ReleaseShutter)
            cap->cbReleaseShutter->click();
        else if (r.end == End::Stop)
            cap->cbExpStop_Click();
        else
            cap->close();
        runFor(30);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const auto frames = simrc::captures();
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[1].exposureMs, r.exposureMs);
        const QString runName =
            r.useIso ? QStringLiteral("IMG-12s-%1-10001.JPG").arg(iso) : "IMG-10001.JPG";
        EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name).join(' ').toStdString(),
                  (runName + ' ' + (r.useIso ? QString(r.manualName).arg(iso) : r.manualName))
                      .toStdString());
        EXPECT_EQ(window.isNull(), r.end == End::CloseTheWindow);
        EXPECT_FALSE(cable->calls.last().startsWith("press"));
    }
}

// The line under the Count Down panel tells of the last run of its own tab:
// it goes when the other exposure tab is chosen (here as the camera comes
// back), and stays over a visit to another tab.
TEST_F(CaptureEndToEnd, ARunsNoticeGoesWhenTheOtherExposureTabIsChosen) {
    for (const bool toTheShortTab : {true, false}) {
        SCOPED_TRACE(toTheShortTab ? "the Short tab after a reconnect" : "File Naming and back");
        if (!toTheShortTab) afresh();
        capture::frmCapture* cap = oneBulbFrame(20);
        ASSERT_NE(cap, nullptr);
        ASSERT_NO_FATAL_FAILURE(runStoppedAt(cap, 12));
        const std::string notice = "Frame 1 cut short: the shutter was open 12 s of 20 s";
        ASSERT_EQ(cap->lblRunNotice->text().toStdString(), notice);

        if (toTheShortTab) {
            auto* disconnect = camWin->findChild<QPushButton*>("cmdDisconnect");
            ASSERT_NE(disconnect, nullptr);
            disconnect->click();
            runFor(1);
            ASSERT_FALSE(oMainCamera()->connected());
            testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
            cap->selectTab(1);
            runFor(1);
            ASSERT_TRUE(oMainCamera()->connected());
            EXPECT_EQ(cap->lblRunNotice->text().toStdString(), "");
        } else {
            cap->selectTab(3);
            cap->selectTab(2);
            EXPECT_EQ(cap->lblRunNotice->text().toStdString(), notice);
        }
    }
}

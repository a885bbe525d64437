// The exposure runs on the real capture window, driven on the virtual clock
// with a recording cable and a camera that hands over its images when told.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTimer>
#include <functional>

#include "capture/CaptureRunEngine.h"
#include "capture/CaptureWindows.h"
#include "capture/ExposureRun.h"
#include "capture/ctlCountDown.h"
#include "capture/ctlProgress.h"
#include "capture/frmCapture.h"
#include "capture/tests/RunFakes.h"
#include "platform/core/AppError.h"
#include "platform/os/Dialogs.h"
#include "platform/time/QtClock.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::capture;
using zelmora::capture::testing::FakeCameraLink;
namespace Msg = zelmora::platform::Msg;

namespace {

using namespace zelmora::capture::testing;

class ExposureRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        camera = std::make_shared<DownloadingCamera>();
        CameraLink::setInstance(camera);
        cable = std::make_shared<RecordingShutter>();
        ShutterCable::setInstance(cable);
        setMainWindow(&main);
        registerWindows();
    }
    void TearDown() override {
        if (w) {
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        setMainWindow(nullptr);
        CaptureRunEngine::setFactory({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    // A long run: not connected (cable only) unless the test connects it.
    void openLong(const QString& count, const QString& seconds, const QString& leadIn,
                  const QString& between, bool mirror = false, const QString& mirrorDelay = "2") {
        w = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
        ASSERT_NE(w, nullptr);
        w->selectTab(2);
        w->chMirrorLock->setChecked(mirror);
        w->txtMirrorLockDelay->setText(mirrorDelay);
        fill(count, "0", seconds, leadIn, between);
    }
    // The camera connected in Bulb, a long run's pictures to the PC.
    void connectInBulbToPc() {
        camera->isConnected = true;
        camera->tv = "Bulb";
        w->oCamera_Connected();
        w->chPictoPC->setChecked(true);
        w->txtDirectory->setText(testenv::appDir());
    }
    void openShort(const QString& count, const QString& leadIn, const QString& between) {
        camera->isConnected = true;
        camera->tv = "1/125";
        w = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
        ASSERT_NE(w, nullptr);
        w->selectTab(1);
        w->chPictoPC->setChecked(true);
        w->txtDirectory->setText(testenv::appDir());
        fill(count, "0", "0", leadIn, between);
    }
    void fill(const QString& count, const QString& min, const QString& sec, const QString& leadIn,
              const QString& between) {
        w->txtExpCount->setText(count);
        w->txtExpMin->setText(min);
        w->txtExpSec->setText(sec);
        w->txtLeadIn->setText(leadIn);
        w->txtTimeBetween->setText(between);
    }
    ExposureRun& run() { return *dynamic_cast<ExposureRun*>(w->runEngine()); }
    void start() {
        cable->t0 = nowMs();
        t0 = nowMs();
        // Inside a sequence the sequencer starts the run; the button would refuse.
        if (state().bSequenceRunning)
            run().StartExposureAutomate();
        else
            w->cbExpStart_Click();
    }
    void stopAt(qint64 ms) {
        testenv::vclock().scheduleAt(t0 + ms, [this] { w->cbExpStop_Click(); });
    }
    void runFor(qint64 ms) { testenv::vclock().advance(ms); }
    int alarms() const {
        int n = 0;
        for (const auto& p : testenv::sounds().played) n += p.path.endsWith("alarm.wav");
        return n;
    }
    int timedWaitsAfter(const QString& line) const {
        const QStringList t = runTrace();
        int n = 0;
        for (int i = 0; i + 1 < t.size(); ++i)
            n += t[i].startsWith(line) && t[i + 1] == "----Wait Start Time:";
        return n;
    }

    std::shared_ptr<DownloadingCamera> camera;
    std::shared_ptr<RecordingShutter> cable;
    StatusMainWindow main;
    frmCapture* w = nullptr;
    qint64 t0 = 0;
};

const QString k41 = QString(41, u'-');

}  // namespace

TEST_F(ExposureRunTest, ShortRunOfOneFrame) {
    openShort("1", "0", "0");
    start();
    EXPECT_TRUE(run().running());
    runFor(5000);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(runTrace(),
              QStringList({"-----ShortExp Control Started ------", "Counting down Leadin:0", k41,
                           "***** Starting Short Exposure:1", "Waiting for download Started",
                           "Counting down Time Between:0", "** Short Exposure:1 Completed!"}));
    EXPECT_EQ(camera->calls.count("Release"), 1);
    EXPECT_TRUE(camera->fileName.endsWith("1"));
    EXPECT_EQ(camera->savePath, testenv::appDir() + "/");
    EXPECT_EQ(alarms(), 1);
    EXPECT_EQ(w->windowTitle(), "Image Capture");
    EXPECT_EQ(state().iSequenceTotal, 0);
    EXPECT_EQ(main.panel->text(), "");
    EXPECT_TRUE(w->cbExpStart->isEnabled());
    EXPECT_TRUE(cable->calls.isEmpty());
}

TEST_F(ExposureRunTest, LongRunWithMirrorLockUpLeadInAndBetween) {
    openLong("2", "10", "3", "5", true, "2");
    start();
    EXPECT_FALSE(w->TabStrip1->isTabEnabled(0));  // no switch to the Short tab mid-run
    EXPECT_FALSE(w->cbPressShutter->isEnabled());
    runFor(60'000);
    // Lift, pause, open: the exposure is held its full ten seconds each time.
    EXPECT_EQ(cable->calls,
              QStringList({"press 3000", "release 5000", "press 6000", "release 16000",
                           "press 21000", "release 23000", "press 24000", "release 34000"}));
    const QStringList frame = {"Locking Up Mirror",
                               "Counting down Mirror Lock:2",
                               "----Wait Start Time:",
                               "----Wait End Time:",
                               "Mirror Locked",
                               "Pausing after Mirror Lock:1",
                               "----Wait Start Time:",
                               "----Wait End Time:",
                               "--Countdown Started--",
                               "Exposure Time Sec:10",
                               "Actual Start Time:",
                               "----Wait Start Time:",
                               "----Wait End Time:",
                               "Actual End Time:",
                               "Waiting for download Started",
                               "Counting down Time Between:5"};
    QStringList expected = {"Automation Start Pressed",
                            "Counting down Leadin:3",
                            "----Wait Start Time:",
                            "----Wait End Time:",
                            k41,
                            "***** Starting Exposure:1 of 2"};
    expected << frame << "----Wait Start Time:"
             << "----Wait End Time:"
             << "** Exposure:1 Completed!" << k41 << "***** Starting Exposure:2 of 2" << frame
             << "** Exposure:2 Completed!";
    EXPECT_EQ(runTrace(), expected);
    EXPECT_EQ(alarms(), 1);
    ASSERT_FALSE(testenv::sounds().played.empty());
    EXPECT_TRUE(testenv::sounds().played.front().path.endsWith("WavFiles/startexposure.wav"));
    EXPECT_TRUE(w->TabStrip1->isTabEnabled(0));
    EXPECT_EQ(state().iSequenceTotal, 0);
}

TEST_F(ExposureRunTest, BulbIsHeldExactlyTheExposureOnTheProgramClock) {
    openLong("1", "30", "0", "0");
    start();
    runFor(100);
    EXPECT_EQ(run().phase(), ExposureRun::Phase::Exposing);
    EXPECT_EQ(run().scheduledMs(), 30'000);
    runFor(40'000);
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 30000"}));
}

TEST_F(ExposureRunTest, OneSecondExposureIsTimedToo) {
    openLong("1", "1", "0", "0");
    start();
    runFor(5000);
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 1000"}));
    // Too short for the sound and the countdown display.
    for (const auto& p : testenv::sounds().played)
        EXPECT_FALSE(p.path.endsWith("startexposure.wav"));
}

TEST_F(ExposureRunTest, BetweenExposuresTruthTable) {
    struct Row {
        const char* between;
        const char* count;
        bool sequence, lastStep;
        int waits;
    };
    for (const Row& r : {Row{"5", "1", false, false, 0}, Row{"5", "2", false, false, 1},
                         Row{"0", "2", false, false, 0}, Row{"5", "1", true, false, 1},
                         Row{"5", "1", true, true, 0}, Row{"5", "2", true, true, 1},
                         Row{"5", "2", true, false, 2}}) {
        testenv::resetEnvironment();
        SetUp();
        openLong(r.count, "2", "0", r.between);
        state().bSequenceRunning = r.sequence;
        state().bLastSequenceStep = r.lastStep;
        start();
        runFor(60'000);
        const std::string row = std::string(r.between) + "/" + r.count + "/" +
                                (r.sequence ? "seq" : "-") + "/" + (r.lastStep ? "last" : "-");
        EXPECT_FALSE(run().running()) << row;
        EXPECT_EQ(timedWaitsAfter("Counting down Time Between:"), r.waits) << row;
        EXPECT_EQ(alarms(), r.sequence ? 0 : 1) << row;
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, StopInEachPhaseOfALongRun) {
    struct Row {
        const char* phase;
        qint64 at;
        QStringList cable;
    };
    // Lead-in 3 s, lock-up 2 s, pause 1 s, 10 s exposure, 5 s between, 2 frames.
    const std::vector<Row> rows = {
        {"lead-in", 1000, {"release 1000"}},
        {"mirror lock-up", 4000, {"press 3000", "release 4000", "release 4000"}},
        {"mirror pause", 5500, {"press 3000", "release 5000", "release 5500"}},
        {"exposure",
         10000,
         {"press 3000", "release 5000", "press 6000", "release 10000", "release 10000"}},
        {"between",
         18000,
         {"press 3000", "release 5000", "press 6000", "release 16000", "release 18000"}},
    };
    for (const Row& r : rows) {
        testenv::resetEnvironment();
        SetUp();
        openLong("2", "10", "3", "5", true, "2");
        start();
        stopAt(r.at);
        runFor(60'000);
        EXPECT_EQ(cable->calls, r.cable) << r.phase;
        EXPECT_FALSE(run().running()) << r.phase;
        EXPECT_EQ(alarms(), 0) << r.phase;
        EXPECT_EQ(state().iSequenceTotal, 0) << r.phase;
        EXPECT_EQ(w->windowTitle(), "Image Capture") << r.phase;
        EXPECT_FALSE(runTrace().contains("***** Starting Exposure:2 of 2")) << r.phase;
        EXPECT_TRUE(runTrace().contains("Automation Stop Pressed")) << r.phase;
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, StopInEachPhaseOfAShortRun) {
    struct Row {
        const char* phase;
        qint64 at, download;
        int releases;
    };
    // Lead-in 3 s, 5 s between, 2 frames; the image takes 2 s, or never comes.
    for (const Row& r : {Row{"lead-in", 1000, 2000, 0}, Row{"download wait", 4000, -1, 1},
                         Row{"between", 7000, 2000, 1}}) {
        testenv::resetEnvironment();
        SetUp();
        camera->downloadMs = r.download;
        openShort("2", "3", "5");
        start();
        stopAt(r.at);
        runFor(60'000);
        EXPECT_EQ(camera->calls.count("Release"), r.releases) << r.phase;
        EXPECT_FALSE(run().running()) << r.phase;
        EXPECT_EQ(alarms(), 0) << r.phase;
        EXPECT_EQ(state().iSequenceTotal, 0) << r.phase;
        EXPECT_TRUE(runTrace().contains("Short Exp Stop Pressed")) << r.phase;
        EXPECT_TRUE(cable->calls.isEmpty()) << r.phase;
        EXPECT_EQ(main.panel->text(), "") << r.phase;
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, StopOfALongRunReleasesEvenWhenTheShortTabShows) {
    openLong("1", "60", "0", "0");
    start();
    runFor(5000);
    {
        const QSignalBlocker block(w->TabStrip1);
        w->TabStrip1->setCurrentIndex(0);
    }
    w->cbExpStop_Click();
    runFor(100);
    // Let go at the click; the ended exposure's own release follows.
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 5000", "release 5000"}));
    EXPECT_TRUE(runTrace().contains("Automation Stop Pressed"));
}

// A frame whose picture does not come within its time is named in the window
// and not counted as taken; the run goes on with the next frame, its end says
// how many frames are missing and sounds no alarm, and no waiting flag
// outlives it.
TEST_F(ExposureRunTest, AFrameWhosePictureNeverComesIsNamedAndNotCounted) {
    struct Row {
        const char* name;
        bool longRun;
        int lost;  // the frame whose picture never comes; 0: every frame's
        const char* taken;
        QString notice;
    };
    const Row rows[] = {
        {"short, every picture lost", false, 0, "Exposures Taken:0",
         "Frames missing: 2 of 2. Frame 2 not downloaded: no picture within 8 s"},
        {"short, the second picture lost", false, 2, "Exposures Taken:1",
         "Frames missing: 1 of 2. Frame 2 not downloaded: no picture within 8 s"},
        {"long, the first picture lost", true, 1, "Exposures Taken:1",
         "Frames missing: 1 of 2. Frame 1 not downloaded: no picture within 12 s"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        SetUp();
        int frame = 0;
        const auto lose = [&] {
            ++frame;
            camera->downloadMs = (r.lost == 0 || r.lost == frame) ? -1 : 2000;
        };
        if (r.longRun) {
            openLong("2", "4", "0", "0");
            connectInBulbToPc();
            cable->onRelease = [&] {
                lose();
                camera->deliverLater();  // the picture follows the bulb
            };
        } else {
            openShort("2", "0", "0");
            camera->onRelease = lose;
        }
        start();
        runFor(60'000);
        EXPECT_FALSE(run().running());
        // The wait gave up once more than exposure + 8 second boundaries had passed.
        EXPECT_EQ(runTrace().filter("Time exceded: Start Time:").size(), r.lost == 0 ? 2 : 1);
        EXPECT_EQ(w->lblRunNotice->text(), r.notice);
        EXPECT_EQ(w->lblExpTaken->text(), r.taken);
        EXPECT_EQ(w->ProgressBar1->value(), QString(r.taken).back().digitValue());
        EXPECT_EQ(alarms(), 0);
        EXPECT_FALSE(state().bWaitingForDownload);
        TearDown();
        w = nullptr;
    }
}

// A Stop ends the wait for a frame's picture at once, and the run with it;
// the picture the camera still sends is counted when it comes, and only then.
// A picture that comes to nothing, or comes after another run has started, is
// not the stopped run's.
TEST_F(ExposureRunTest, APictureThatComesAfterTheStopIsCounted) {
    struct Row {
        const char* name;
        bool longRun;
        QString failure;        // the camera's report in place of the picture
        bool startAgain;        // a new short run before the picture comes
        const char* takenThen;  // once the picture has come
    };
    const Row rows[] = {
        {"short", false, {}, false, "Exposures Taken:1"},
        {"long", true, {}, false, "Exposures Taken:1"},
        {"short, the picture came to nothing", false, "Error:7", false, "Exposures Taken:0"},
        {"short, a new run started meanwhile", false, {}, true, "Exposures Taken:1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        SetUp();
        camera->downloadMs = 5000;
        camera->failWith = r.failure;
        if (r.longRun) {
            openLong("1", "20", "0", "0");
            connectInBulbToPc();
            cable->onRelease = [this] {
                camera->deliverLater();  // the picture follows the bulb
                cable->onRelease = nullptr;
            };
        } else {
            openShort("1", "0", "0");
        }
        // Stopped while the frame is exposed or its picture awaited; the
        // picture comes 5 s after the shutter closed.
        const qint64 stop = r.longRun ? 12'000 : 2'000;
        start();
        stopAt(stop);
        runFor(stop + 2'000);
        ASSERT_FALSE(run().running());
        EXPECT_EQ(w->lblExpTaken->text().toStdString(), "Exposures Taken:0");
        if (r.startAgain) {
            camera->failWith.clear();
            start();
        }
        runFor(30'000);
        EXPECT_FALSE(run().running());
        EXPECT_EQ(w->lblExpTaken->text().toStdString(), r.takenThen);
        EXPECT_EQ(w->ProgressBar1->value(), QString(r.takenThen).back().digitValue());
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, CountsThatTakeNoFrame) {
    for (const char* count : {"0", "-1", "40000"}) {
        testenv::resetEnvironment();
        SetUp();
        openLong(count, "5", "2", "0");
        start();
        runFor(20'000);
        const QStringList t = runTrace();
        EXPECT_TRUE(t.contains("----Wait End Time:")) << count;  // the lead-in ran
        EXPECT_TRUE(cable->calls.isEmpty()) << count;
        EXPECT_EQ(alarms(), 0) << count;
        EXPECT_FALSE(run().running()) << count;
        EXPECT_TRUE(w->cbExpStart->isEnabled()) << count;
        const bool overflow = std::string(count) == "40000";
        EXPECT_EQ(t.filter("Error in: StartExposure").size(), overflow ? 1 : 0) << count;
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, LeadInTexts) {
    struct Row {
        const char* text;
        bool waits;
    };
    for (const Row& r :
         {Row{"", false}, Row{"abc", false}, Row{"0", false}, Row{"00", true}, Row{"-3", true}}) {
        testenv::resetEnvironment();
        SetUp();
        openLong("1", "1", "0", "0");
        {
            // The box itself turns what is no number into 0; the run copes anyway.
            const QSignalBlocker block(w->txtLeadIn);
            w->txtLeadIn->setText(r.text);
        }
        start();
        // The caption is set whether or not a countdown follows.
        EXPECT_EQ(w->ctlCountDown1->CountDownReason(), "Leadin In") << r.text;
        runFor(10'000);
        const QStringList t = runTrace();
        EXPECT_EQ(t.at(1), QString("Counting down Leadin:") + r.text) << r.text;
        EXPECT_EQ(t.at(2) == "----Wait Start Time:", r.waits) << r.text;
        EXPECT_EQ(cable->calls, QStringList({"press 0", "release 1000"})) << r.text;
        TearDown();
        w = nullptr;
    }
}

TEST_F(ExposureRunTest, CameraDisconnectMidRunStops) {
    openShort("3", "0", "0");
    camera->downloadMs = -1;
    start();
    testenv::vclock().scheduleAt(t0 + 1000, [this] {
        camera->isConnected = false;
        w->oCamera_Disconnected();
    });
    runFor(30'000);
    EXPECT_EQ(camera->calls.count("Release"), 1);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(alarms(), 0);
    EXPECT_TRUE(runTrace().contains("Short Exp Stop Pressed"));
}

TEST_F(ExposureRunTest, DsusbDisconnectEndsTheRunAfterTheFrame) {
    openLong("3", "10", "0", "0");
    start();
    testenv::vclock().scheduleAt(t0 + 4000, [this] { w->loDSUSB_disconnected(); });
    runFor(60'000);
    // The frame in progress is finished; no further frame, no alarm.
    EXPECT_EQ(cable->calls, QStringList({"press 0", "release 10000"}));
    EXPECT_FALSE(run().running());
    EXPECT_EQ(alarms(), 0);
}

TEST_F(ExposureRunTest, SavingToTheCameraOnlyNeverWaitsOrTouchesTheStatus) {
    openShort("2", "0", "0");
    w->chPictoCam->setChecked(true);
    main.panel->setText("untouched");
    camera->downloadMs = -1;  // the card keeps the image
    start();
    runFor(100);
    EXPECT_EQ(camera->calls.count("Release"), 2);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(main.panel->text(), "untouched");
    EXPECT_EQ(camera->savePath, testenv::appDir() + "/Thumbs/");
}

TEST_F(ExposureRunTest, OneRunAtATime) {
    openLong("1", "10", "0", "0", true, "2");
    start();
    runFor(500);
    w->cbExpStart_Click();
    w->cbPressShutter->setEnabled(true);  // the handler refuses even when reached
    run().cbPressShutter_Click();
    run().cbReleaseShutter_Click();
    runFor(30'000);
    EXPECT_EQ(cable->calls,
              QStringList({"press 0", "release 2000", "press 3000", "release 13000"}));
    EXPECT_EQ(runTrace().filter("Automation Start Pressed").size(), 1);
    EXPECT_TRUE(runTrace().contains("Start refused: a run is in progress"));
}

TEST_F(ExposureRunTest, ATrappedErrorStillUndoesTheBookkeeping) {
    openShort("3", "0", "0");
    camera->failOnName = 2;
    start();
    runFor(1000);
    EXPECT_EQ(state().iSequenceTotal, 3);
    runFor(30'000);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(state().iSequenceTotal, 0);
    EXPECT_EQ(w->windowTitle(), "Image Capture");
    EXPECT_EQ(alarms(), 0);
    EXPECT_EQ(w->cursor().shape(), Qt::ArrowCursor);
    const QStringList errors = runTrace().filter("Error in: ");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("camera busy")) << errors[0].toStdString();
}

TEST_F(ExposureRunTest, ManualPressWithMirrorLockUpAndRelease) {
    openLong("1", "10", "0", "0", true, "2");
    run().cbPressShutter_Click();
    runFor(5000);
    run().cbReleaseShutter_Click();
    EXPECT_EQ(cable->calls, QStringList({"clear", "release 0", "press 0", "release 2000",
                                         "press 3000", "release 5000"}));
    const QStringList t = runTrace();
    EXPECT_EQ(t.first(), "Shutter Manually Pressed");
    EXPECT_EQ(t.last(), "Shutter Manually Released");
    EXPECT_FALSE(run().running());
}

TEST_F(ExposureRunTest, ShutdownStopsARunAtOnce) {
    openLong("3", "60", "0", "0");
    start();
    runFor(2000);
    platform::setShuttingDown(true);
    w->close();  // refused while the run is on, the run stops and closes it
    platform::setShuttingDown(false);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(cable->calls.first(), "press 0");
    EXPECT_EQ(cable->calls.last(), "release 2000");
    runFor(100);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(bCaptureLoaded());
    w = nullptr;
}

// On the real clock: a 2-second bulb exposure ends on time while a message box
// is open over the window for the whole exposure.
TEST(ExposureRunRealClock, BulbEndsOnTimeWhileAMessageBoxIsUp) {
    platform::setClock(std::make_shared<platform::QtClock>());
    auto camera = std::make_shared<FakeCameraLink>();
    CameraLink::setInstance(camera);
    struct TimedCable : ShutterCable {
        QElapsedTimer clock;
        qint64 pressed = -1, released = -1;
        void PressShutter() override { pressed = clock.nsecsElapsed(); }
        void ReleaseShutter() override {
            if (pressed >= 0 && released < 0) released = clock.nsecsElapsed();
        }
    };
    auto cable = std::make_shared<TimedCable>();
    cable->clock.start();
    ShutterCable::setInstance(cable);
    registerWindows();
    auto* w = dynamic_cast<frmCapture*>(windows().load(Win::frmCapture));
    ASSERT_NE(w, nullptr);
    w->selectTab(2);
    w->txtExpCount->setText("1");
    w->txtExpMin->setText("0");
    w->txtExpSec->setText("2");
    w->txtLeadIn->setText("0");
    w->txtTimeBetween->setText("0");
    auto* engine = dynamic_cast<ExposureRun*>(w->runEngine());
    QEventLoop loop;
    QObject::connect(engine, &ExposureRun::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    // The box opens just after the shutter and stays up past the exposure's end.
    QTimer::singleShot(200, [w] {
        QMessageBox box(QMessageBox::Information, "Busy", "A box during the exposure", {}, w);
        QTimer::singleShot(2500, &box, &QMessageBox::accept);
        box.exec();
    });
    w->cbExpStart_Click();
    loop.exec();
    ASSERT_GE(cable->released, 0);
    const double heldMs = double(cable->released - cable->pressed) / 1e6;
    const double errorMs = heldMs - 2000.0;
    std::printf("bulb held %.3f ms, error %+.3f ms\n", heldMs, errorMs);
    EXPECT_LT(std::abs(errorMs), 50.0);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CaptureRunEngine::setFactory({});
}

// The run keeps the plan it started with: boxes edited mid-run change nothing.
TEST_F(ExposureRunTest, EditsMidRunChangeNothing) {
    openLong("2", "10", "0", "5");
    connectInBulbToPc();
    w->txtObjPrefix->setText("M31");
    w->chkUseISO->setChecked(false);
    cable->onRelease = [this] { camera->deliverLater(); };  // the picture follows the bulb
    start();
    ASSERT_TRUE(run().running());
    testenv::vclock().scheduleAt(t0 + 2000, [this] {
        w->txtExpCount->setText("5");
        w->txtExpSec->setText("20");
        w->txtTimeBetween->setText("0");
        w->chMirrorLock->setChecked(true);
        w->txtObjPrefix->setText("M42");
        w->chPictoCam->setChecked(true);  // would stop the pictures coming here
    });
    runFor(120'000);
    // Two frames of ten seconds, five seconds after the first picture came.
    ASSERT_EQ(cable->calls.size(), 4) << cable->calls.join(' ').toStdString();
    EXPECT_EQ(cable->calls.mid(0, 2), QStringList({"press 0", "release 10000"}));
    const int second = cable->calls[2].mid(6).toInt();
    EXPECT_GE(second, 17000);
    EXPECT_LE(second, 17200);
    EXPECT_EQ(cable->calls[3], QStringLiteral("release %1").arg(second + 10000));
    EXPECT_EQ(camera->fileName, "M31-2");
    EXPECT_TRUE(camera->picPc);
    EXPECT_FALSE(run().running());
    // The next run takes the boxes as they are now.
    EXPECT_EQ(w->txtExpCount->text(), "5");
}

// A Start that arrives while the checks ask (a queued click, a space on the
// box) is refused: one run, its checks asked once.
TEST_F(ExposureRunTest, AStartArrivingDuringTheChecksIsRefused) {
    openShort("2", "0", "5");
    w->chPictoCam->setChecked(true);  // a short gap to the card is asked about
    testenv::dialogs()
        .expectMsgBox("setting time a between exposures", Msg::Yes)
        .whileShowing([this] { w->cbExpStart_Click(); });
    start();
    runFor(60'000);
    EXPECT_EQ(camera->calls.count("Release"), 2);
    EXPECT_EQ(runTrace().filter("-----ShortExp Control Started ------").size(), 1);
    EXPECT_TRUE(runTrace().contains("Start refused: a run is in progress"));
}

// A shutter pressed by hand is let go on every way out.
TEST_F(ExposureRunTest, APressedShutterIsLetGoOnEveryWayOut) {
    for (const char* way : {"window close", "program exit", "camera disconnect", "failed press"}) {
        testenv::resetEnvironment();
        SetUp();
        openLong("1", "10", "0", "0");
        w->selectTab(1);  // the Short tab's Stop lets go of nothing by itself
        const std::string name = way;
        if (name == "failed press") cable->failPress = true;
        if (name == "camera disconnect") camera->isConnected = true;
        w->cbPressShutter->click();
        ASSERT_TRUE(cable->calls.contains("press 0")) << way;
        if (name == "window close") {
            w->close();
        } else if (name == "program exit") {
            platform::setShuttingDown(true);
            windows().closeAll();
        } else if (name == "camera disconnect") {
            camera->isConnected = false;
            w->oCamera_Disconnected();
        }
        runFor(1000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::setShuttingDown(false);
        EXPECT_TRUE(cable->calls.last().startsWith("release"))
            << way << ": " << cable->calls.join(' ').toStdString();
        if (name == "window close" || name == "program exit") {
            EXPECT_FALSE(bCaptureLoaded()) << way;
            w = nullptr;
        }
        TearDown();
        w = nullptr;
    }
}

// A press by hand that closed no contact says so under the Count Down panel
// until a press closes one.
TEST_F(ExposureRunTest, ShutterNotPressedGoesWithTheNextPressThatCloses) {
    openLong("1", "10", "0", "0");
    cable->failPress = true;
    w->cbPressShutter->click();
    EXPECT_EQ(w->lblRunNotice->text().toStdString(), "Shutter not pressed: port not open");
    w->cbPressShutter->click();
    EXPECT_EQ(w->lblRunNotice->text().toStdString(), "Shutter not pressed: port not open");
    cable->failPress = false;
    w->cbPressShutter->click();
    EXPECT_EQ(w->lblRunNotice->text().toStdString(), "");
    w->cbReleaseShutter->click();
    EXPECT_TRUE(cable->calls.last().startsWith("release"));
}

// The window closed (or the program ended) while Start's checks ask: no run
// starts on the closing window, and it closes once the checks are done.
TEST_F(ExposureRunTest, AWindowClosedDuringTheChecksStartsNoRun) {
    for (const bool exit : {false, true}) {
        testenv::resetEnvironment();
        SetUp();
        openLong("1", "10", "0", "5");
        camera->isConnected = true;
        camera->tv = "Bulb";
        w->oCamera_Connected();
        w->chPictoCam->setChecked(true);  // a short gap to the card is asked about
        testenv::dialogs()
            .expectMsgBox("setting time a between exposures", Msg::Yes)
            .whileShowing([this, exit] {
                if (exit) platform::setShuttingDown(true);
                w->close();
            });
        start();
        runFor(30'000);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::setShuttingDown(false);
        // The Stop that the close asks for lets go; nothing is pressed.
        EXPECT_FALSE(cable->calls.join(' ').contains("press ")) << exit;
        EXPECT_FALSE(bCaptureLoaded()) << exit;
        w = nullptr;
        TearDown();
    }
}

// Start applies the save-target boxes the window shows, whatever the control
// held before; a box changed during a run is for the next run.
TEST_F(ExposureRunTest, StartAppliesTheSaveTargetsTheWindowShows) {
    openShort("2", "0", "0");
    // The control's own boxes were changed in Camera Control: the card only.
    camera->picPc = false;
    camera->picCam = true;
    camera->thumbPc = true;
    start();
    EXPECT_TRUE(camera->picPc);
    EXPECT_FALSE(camera->picCam);
    EXPECT_FALSE(camera->thumbPc);
    EXPECT_EQ(camera->savePath, testenv::appDir() + "/");
    runFor(30'000);
    // Each picture was waited for: the second release follows the first download.
    ASSERT_EQ(camera->releaseTimes.size(), 2);
    EXPECT_GE(camera->releaseTimes[1] - camera->releaseTimes[0], 2000);

    // The card chosen during the next run: that run keeps the PC.
    start();
    runFor(500);
    ASSERT_TRUE(run().running());
    w->chPictoCam->setChecked(true);
    EXPECT_TRUE(camera->picPc);
    EXPECT_FALSE(camera->picCam);
    runFor(30'000);
    EXPECT_FALSE(run().running());
    EXPECT_EQ(camera->releaseTimes.size(), 4);

    // The run after it takes the card, as the window says.
    EXPECT_EQ(w->lblSaveTarget->text(), "Images are saved to: the camera's card");
    camera->downloadMs = -1;  // the card keeps the pictures
    start();
    EXPECT_FALSE(camera->picPc);
    EXPECT_TRUE(camera->picCam);
    EXPECT_TRUE(camera->thumbPc);
    EXPECT_EQ(camera->savePath, testenv::appDir() + "/Thumbs/");
    runFor(1000);
    EXPECT_FALSE(run().running());  // nothing to wait for
    EXPECT_EQ(camera->releaseTimes.size(), 6);
}

// Start stays off for the whole run, whatever the camera or the boxes say in
// the meantime, and comes back when the run has ended.
TEST_F(ExposureRunTest, StartStaysOffForTheWholeRun) {
    struct Row {
        const char* name;
        bool longRun;
        std::function<void(frmCapture*)> poke;
    };
    const Row rows[] = {
        // The release control reports Bulb off after every download.
        {"the camera's bulb report", false, [](frmCapture* w) { w->oCamera_BulbModeNotEnabled(); }},
        {"the camera connected again", false, [](frmCapture* w) { w->oCamera_Connected(); }},
        {"a number box edited", true, [](frmCapture* w) { w->txtExpSec->setText("6"); }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        SetUp();
        if (r.longRun)
            openLong("2", "5", "0", "10");
        else
            openShort("2", "0", "10");
        start();
        ASSERT_TRUE(run().running());
        int onWhileRunning = 0;
        for (int i = 0; i < 40 && run().running(); ++i) {
            if (i % 4 == 0) r.poke(w);
            onWhileRunning += w->cbExpStart->isEnabled();
            runFor(500);
        }
        EXPECT_EQ(onWhileRunning, 0);
        runFor(30'000);
        EXPECT_FALSE(run().running());
        EXPECT_TRUE(w->cbExpStart->isEnabled());
        TearDown();
        w = nullptr;
    }
}

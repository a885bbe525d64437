// The user leaves while the program waits: each wait a user can reach, with
// the window closed or the program ended (Application -> Exit) while the wait
// lets events run; and every pass of the loop that an exposure run makes, with
// the run stopped, its window closed or the program ended there. The real main
// window and windows on the simulators and the virtual clock; the sanitizers
// watch that nothing of a window is touched once it is gone, and the test that
// what the window held outside is let go.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

#include "cables/CableSetup.h"
#include "camera/ctlFolderMonitor.h"
#include "camera/frmCameraControl.h"
#include "capture/ExposureRun.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "focus/frmAutofocus.h"
#include "mainwindow/tests/ProgramOnTheSimulators.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "platform/os/Media.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/ScopeDriver.h"
#include "sky/frmScopeControl.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace Msg = zelmora::platform::Msg;

namespace {

// Words as the countdown says them: each one waited for lasts its length on the
// program clock, and `during` runs once a word of that name has begun.
class SpokenWords : public platform::SoundService {
public:
    void play(const QString& path, bool wait) override {
        const QString name = QFileInfo(path).fileName();
        said << name;
        if (!wait) return;
        if (name == at && during) std::exchange(during, nullptr)();
        platform::clock().pumpFor(600, std::make_shared<platform::WaitControl>());
    }
    void stop() override {}
    QStringList said;
    QString at;
    std::function<void()> during;
};

// The simulated camera's shutter contact as the cable works it: the moments
// the shutter opened (a press) and closed, on the program clock.
class ShutterWatch {
public:
    ShutterWatch()
        : id_(sim::SimSky::instance().addShutterListener([this](const sim::ShutterEvent& e) {
              (e.open ? opened : closed) << platform::clock().monotonicMs();
          })) {}
    ~ShutterWatch() { sim::SimSky::instance().removeShutterListener(id_); }
    ShutterWatch(const ShutterWatch&) = delete;
    ShutterWatch& operator=(const ShutterWatch&) = delete;
    QList<qint64> opened, closed;

private:
    int id_;
};

// How the user leaves: each wait below is left both ways.
enum class Way { CloseWindow, ExitProgram };

class LeavingDuringAWait : public testenv::ProgramOnTheSimulators,
                           public ::testing::WithParamInterface<Way> {
protected:
    void SetUp() override {
        ProgramOnTheSimulators::SetUp();
        words = std::make_shared<SpokenWords>();
        platform::SoundService::setInstance(words);
    }

    // The way out, as input that the running wait dispatches.
    void leave(const QString& window) {
        asUser([this, window, way = GetParam()] {
            if (way == Way::ExitProgram) return menu("mnuExit");
            if (QWidget* w = windows().ifLoaded(window)) frameOf(w)->close();
        });
    }
    // The window is gone, and with an exit the program has ended as for the user.
    void expectGone(const QString& window) {
        pass(1000);
        EXPECT_FALSE(windows().isLoaded(window));
        if (GetParam() == Way::ExitProgram) {
            EXPECT_FALSE(main->isVisible());
            EXPECT_TRUE(testenv::traceLines().contains("Zelmora closed"));
        }
    }

    // The user leaves at the first pass of the loop where `when` holds. With
    // `turnsAgain` the loop turns once more in that pass: what leaving let go
    // of is deleted there.
    void leaveAtTheFirstPassWhere(std::function<bool()> when, bool& left, bool turnsAgain = false) {
        platform::setEventPassListener([this, when, &left, turnsAgain] {
            if (left || !when()) return;
            left = true;
            leave(Win::frmCapture);
            if (turnsAgain)
                asUser([] { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); });
        });
    }
    // The serial cable's own pass, between the two writes of its release.
    static bool inTheSerialRelease() {
        const QStringList t = testenv::traceLines();
        return !t.isEmpty() && t.last() == QStringLiteral("Shutter Released via serial");
    }

    // --- Roads to the waits ---------------------------------------------------------

    // Image Capture in capture mode, the camera connected, on the simulated serial cable.
    capture::frmCapture* captureOnTheSerialCable() {
        connectToTheCamera();
        switchToCaptureMode();
        portSetupWithTheSimulatedSerialCable();
        return HasFatalFailure() ? nullptr : captureWindow();
    }
    QString watched() const { return QDir(testenv::appDir()).filePath("Remote"); }
    // The camera window's folder monitor, watching an empty folder.
    camera::ctlFolderMonitor* monitorPanel() {
        menu("mnuConnect");
        auto* cam = windows().ifLoadedAs<camera::frmCameraControl>(Win::frmCameraControl);
        if (!cam) return nullptr;
        click(cam, "cmdMonitorFolder");
        camera::ctlFolderMonitor* panel = cam->folderMonitor();
        QDir().mkpath(watched());
        testenv::dialogs().expectFolder(watched());
        click(panel, "cmdBrowseMonitor");
        return panel;
    }
    // A bulb exposure through the simulated serial cable, `seconds` long.
    void startBulb(capture::frmCapture* cap, int seconds, bool voice) {
        cap->TabStrip1->setCurrentIndex(1);  // "Long"
        cap->txtExpCount->setText(QStringLiteral("1"));
        cap->txtExpMin->setText(QString::number(seconds / 60));
        cap->txtExpSec->setText(QString::number(seconds % 60));
        cap->txtLeadIn->setText(QStringLiteral("0"));
        cap->txtTimeBetween->setText(QStringLiteral("0"));
        control<QCheckBox>(cap, "chVoice")->setChecked(voice);
        click(cap, "cbExpStart");
    }

    std::shared_ptr<SpokenWords> words;
};

// The countdown says "one hundred twenty" and waits for each word; the user
// leaves during "hundred". Nothing more is said, and the shutter is let go.
TEST_P(LeavingDuringAWait, ACountdownWord) {
    capture::frmCapture* cap = captureOnTheSerialCable();
    ASSERT_NE(cap, nullptr);
    words->at = QStringLiteral("hundred.wav");
    words->during = [this] {
        EXPECT_TRUE(cables::cableSetup().pressed);
        leave(Win::frmCapture);
    };
    startBulb(cap, 121, true);
    pass(3000);
    EXPECT_TRUE(words->said.contains("one.wav")) << words->said.join(' ').toStdString();
    EXPECT_EQ(words->said.last().toStdString(), "hundred.wav") << "a word said after leaving";
    EXPECT_FALSE(cables::cableSetup().pressed) << "the shutter is still held";
    expectGone(Win::frmCapture);
}

// A mount that only slews synchronously: the click returns when it has arrived.
TEST_P(LeavingDuringAWait, ASynchronousSlew) {
    drivers::TelescopeSimulator::Config c = drivers::TelescopeSimulator::loadConfig();
    c.can.slewAsync = false;
    c.slewRate = 1.0;  // degrees a second: a long slew
    drivers::TelescopeSimulator::saveConfig(c);
    testenv::driverUi().expectChoose(drivers::kSimTelescopeId);
    menu("mnuTelSetup");
    menu("mnuLinkEst");
    ASSERT_TRUE(state().bScopeLinked);
    menu("mnuTelMotion");
    auto* scope = windows().ifLoadedAs<sky::frmScopeControl>(Win::frmScopeControl);
    ASSERT_NE(scope, nullptr);
    const auto driver = std::dynamic_pointer_cast<drivers::TelescopeSimulator>(sky::scope());
    ASSERT_NE(driver, nullptr);
    control<QLineEdit>(scope, "txtRa")
        ->setText(QString::number(driver->RightAscension() + 2.0, 'f', 4));
    control<QLineEdit>(scope, "txtDec")->setText(QStringLiteral("+40"));
    testenv::vclock().scheduleIn(2000, [this, driver] {
        EXPECT_TRUE(driver->Slewing());
        leave(Win::frmScopeControl);
    });
    click(scope, "cbSlew");
    expectGone(Win::frmScopeControl);
    if (GetParam() == Way::ExitProgram) {
        EXPECT_FALSE(state().bScopeLinked);
    }
}

// The parallel cable lets events run between its writes, at the press and at
// the release; the user leaves during the press of a bulb exposure.
TEST_P(LeavingDuringAWait, ACablePress) {
    connectToTheCamera();
    switchToCaptureMode();
    capture::frmCapture* cap = captureWindow();
    ASSERT_NE(cap, nullptr);
    cables::CableSetup& cable = cables::cableSetup();
    cable.PortTable[0] = {0x378, "SPP", "SPP", 0, true};
    cable.selectPort(0);
    bool left = false;
    // The parallel press's own pass, between its two writes.
    leaveAtTheFirstPassWhere([&cable] { return cable.pressed && cable.parallelHeld; }, left);
    startBulb(cap, 5, false);
    pass(3000);
    EXPECT_TRUE(left);
    EXPECT_FALSE(cable.pressed) << "the shutter is still held";
    EXPECT_FALSE(cable.parallelHeld) << "the shutter line is still high";
    expectGone(Win::frmCapture);
}

// The serial cable lets events run between its two writes of the release;
// the user leaves during the release that ends a bulb exposure.
TEST_P(LeavingDuringAWait, ACableRelease) {
    capture::frmCapture* cap = captureOnTheSerialCable();
    ASSERT_NE(cap, nullptr);
    cables::CableSetup& cable = cables::cableSetup();
    bool left = false;
    leaveAtTheFirstPassWhere([&cable] { return !cable.pressed && inTheSerialRelease(); }, left);
    startBulb(cap, 2, false);
    pass(3000);
    EXPECT_TRUE(left);
    EXPECT_FALSE(cable.pressed) << "the shutter is still held";
    expectGone(Win::frmCapture);
}

// Press Shutter lets the cable go before it presses, and on the serial cable
// that release lets events run; the user leaves then, and the loop turns again
// in that pass, so a closed window's deletion lands there too. Nothing is
// pressed after leaving, nothing of the window is touched once it is gone,
// and the shutter is let go.
TEST_P(LeavingDuringAWait, AManualPressLettingGoFirst) {
    capture::frmCapture* cap = captureOnTheSerialCable();
    ASSERT_NE(cap, nullptr);
    cap->TabStrip1->setCurrentIndex(1);  // "Long"
    cables::CableSetup& cable = cables::cableSetup();
    ShutterWatch shutter;
    bool left = false;
    leaveAtTheFirstPassWhere(inTheSerialRelease, left, true);
    click(cap, "cbPressShutter");
    pass(3000);
    EXPECT_TRUE(left);
    EXPECT_TRUE(shutter.opened.isEmpty()) << "the shutter was pressed after leaving";
    EXPECT_FALSE(cable.pressed) << "the shutter is still held";
    EXPECT_FALSE(sim::SimSky::instance().shutterOpen());
    expectGone(Win::frmCapture);
}

// Monitoring runs inside the Start click, in slices of the clock, until Stop.
TEST_P(LeavingDuringAWait, TheFolderMonitorsWatch) {
    camera::ctlFolderMonitor* panel = monitorPanel();
    ASSERT_NE(panel, nullptr);
    testenv::vclock().scheduleIn(2000, [this] {
        EXPECT_TRUE(state().bFolderMonitoring);
        leave(Win::frmCameraControl);
    });
    click(panel, "cmdStart");  // returns once monitoring has ended
    EXPECT_FALSE(state().bFolderMonitoring);
    expectGone(Win::frmCameraControl);
}

// A new frame is watched until its size settles; the user leaves meanwhile.
TEST_P(LeavingDuringAWait, AFrameSettling) {
    camera::ctlFolderMonitor* panel = monitorPanel();
    ASSERT_NE(panel, nullptr);
    qint64 size = 0;
    camera::ctlFolderMonitor::setSizeSource([&size](const QString&) { return size += 1000; });
    QStringList handed;
    QObject::connect(panel, &camera::ctlFolderMonitor::LoadANewImage,
                     [&handed](const QString& p) { handed << p; });
    testenv::vclock().scheduleIn(1000, [this] {
        QFile frame(QDir(watched()).filePath("IMG_0001.JPG"));
        EXPECT_TRUE(frame.open(QIODevice::WriteOnly));
        frame.write(QByteArray(1000, 'x'));
    });
    testenv::vclock().scheduleIn(5000, [this, &size] {
        EXPECT_GT(size, 0) << "the frame is not being watched";
        leave(Win::frmCameraControl);
    });
    click(panel, "cmdStart");
    EXPECT_TRUE(handed.isEmpty());
    expectGone(Win::frmCameraControl);
}

// --- Every pass of a run ------------------------------------------------------------

// The sweep over the passes of the event loop that what the user drives makes:
// once for every k, the user's act at the k-th pass, until it ends before its
// k-th. Every pass goes through the clock's door, where the listener counts it.
class SweepsEveryPass : public testenv::ProgramOnTheSimulators {
protected:
    // driveActingAtPass(k) drives once and returns whether it got to its k-th pass.
    void sweepEveryPass(const std::function<bool(int)>& driveActingAtPass) {
        int k = 1;
        for (;; ++k) {
            if (k > 1) {
                TearDown();
                testenv::resetEnvironment();
                SetUp();
            }
            if (!driveActingAtPass(k) || HasFatalFailure()) break;
        }
        EXPECT_GT(k, 3) << "what was driven let events run fewer times than it should";
        std::printf("passes swept: %d\n", k - 1);
    }

    // Counts the passes made while `going` holds and, at the k-th, has the
    // user do `act` (as input that pass dispatches); `acted` tells whether it came.
    void actAtPass(int k, std::function<bool()> going, std::function<void()> act, bool& acted) {
        passes_ = 0;
        platform::setEventPassListener(
            [this, k, going = std::move(going), act = std::move(act), &acted] {
                if (acted || !going() || ++passes_ < k) return;
                acted = true;
                asUser(act);
            });
    }
    // Lets the driven thing end by itself, or after the act, then what follows it.
    template <typename F>
    void passUntilOver(F going, bool acted, int k) {
        passUntil([&] { return !going() && (acted || passes_ < k); }, 600'000);
        platform::setEventPassListener({});
        pass(3000);
    }

    // The exposures the camera fired itself (a bulb exposure is the cable's,
    // begun at its press).
    static qsizetype firedByTheCamera() {
        qsizetype fired = 0;
        for (const simrc::CaptureRecord& c : simrc::captures()) fired += c.bulb ? 0 : 1;
        return fired;
    }
    static qsizetype traceCount(const QString& start) {
        return testenv::traceLines()
            .filter(QRegularExpression(u'^' + QRegularExpression::escape(start)))
            .size();
    }

private:
    int passes_ = 0;
};

// What the user drives, with the camera connected and the pictures coming to
// the computer. A sequence of bulb steps runs from the Long tab, one of the
// camera's shutter speeds from the Short tab.
enum class Drive {
    ShortRun,
    BulbRun,
    BulbRunWithMirrorLockUp,
    ManualPressAndRelease,
    Sequence,
    ShortSequence
};
// What the user does at the chosen pass: the stop of what is driven (Stop on
// Image Capture, Cancel Sequence for a sequence), closing Image Capture, or Exit.
enum class Act { Stop, CloseWindow, ExitProgram };
// The simulated cable: the serial cable lets events run in its release, the
// parallel port in its press and its release.
enum class Cable { Serial, Parallel };
using DriveActCable = std::tuple<Drive, Act, Cable>;

class EveryPassOfARun : public SweepsEveryPass,
                        public ::testing::WithParamInterface<DriveActCable> {
protected:
    Drive drive() const { return std::get<0>(GetParam()); }
    Act act() const { return std::get<1>(GetParam()); }
    Cable cable() const { return std::get<2>(GetParam()); }

    // Drives once, doing the act at the k-th time the run lets events run;
    // returns whether the run got that far. Checks what must hold however it went.
    bool driveActingAtPass(int k) {
        // The camera's own mirror lock-up as the Mirror Lock box will be.
        simrc::setMirrorLock(drive() == Drive::BulbRunWithMirrorLockUp ||
                             drive() == Drive::ManualPressAndRelease);
        capture::frmCapture* capture = captureOnTheCable();
        if (!capture) {
            ADD_FAILURE() << "no Image Capture";
            return false;
        }
        QPointer<capture::frmCapture> cap(capture);
        prepare(cap);
        if (HasFatalFailure()) return false;
        auto* engine = dynamic_cast<capture::ExposureRun*>(cap->runEngine());
        if (!engine) {
            ADD_FAILURE() << "no run engine";
            return false;
        }

        // The shutter and the act on one line, in the order they happened.
        QStringList happened;
        const int watch = sim::SimSky::instance().addShutterListener(
            [&happened](const sim::ShutterEvent& e) { happened << (e.open ? "press" : "let go"); });
        int ends = 0, taken = 0;
        QObject::connect(engine, &capture::ExposureRun::finished, engine, [&ends, &taken, engine] {
            ++ends;
            taken += engine->plannedRun().taken();
        });
        // Counted only while what is driven goes on.
        bool manualClick = false;
        const auto going = [&] {
            // The press with its mirror lock-up goes on after the click.
            if (drive() == Drive::ManualPressAndRelease)
                return manualClick || (bool(cap) && cap->runActive());
            if (isSequence()) return bool(sequence()) && sequence()->sequenceActive();
            return bool(cap) && cap->runActive();
        };
        bool acted = false;
        // What the camera had begun, and what had landed, when the act came.
        qsizetype begunAtAct = 0, firedAtAct = 0, landedAtAct = 0;
        actAtPass(
            k, going,
            [&] {
                happened << QStringLiteral("act");
                firedAtAct = firedByTheCamera();
                begunAtAct = firedAtAct + happened.count(QStringLiteral("press"));
                landedAtAct = filesIn(lights()).size();
                doTheAct();
            },
            acted);

        run(cap, manualClick);
        passUntilOver(going, acted, k);
        sim::SimSky::instance().removeShutterListener(watch);

        const QString where = QStringLiteral("pass %1: ").arg(k) + happened.join(' ');
        SCOPED_TRACE(where.toStdString());
        const qsizetype at = happened.indexOf("act");
        EXPECT_EQ(at >= 0, acted) << "the act did not run";
        if (at >= 0) {
            EXPECT_FALSE(happened.mid(at).contains("press"))
                << "the shutter was pressed after the act";
            EXPECT_EQ(firedByTheCamera(), firedAtAct) << "the camera fired after the act";
            // Only a frame begun before the act may still come.
            EXPECT_LE(filesIn(lights()).size() - landedAtAct, begunAtAct - landedAtAct)
                << "a frame landed that was begun after the act";
        }
        EXPECT_FALSE(sim::SimSky::instance().shutterOpen()) << "the shutter is still held";
        EXPECT_FALSE(cables::cableSetup().pressed) << "the shutter is still held";
        const QStringList t = testenv::traceLines();
        const int runs = t.filter(QRegularExpression("^Counting down Leadin:")).size() +
                         t.count(QStringLiteral("Shutter Manually Pressed"));
        EXPECT_EQ(ends, runs) << "a run's end reported other than once";
        if (isSequence()) {
            EXPECT_EQ(t.count(QStringLiteral("----sequence Complete---------")), 1)
                << "the sequence's end reported other than once";
        }
        EXPECT_LE(taken, filesIn(lights()).size()) << "a frame counted that was not taken";
        if (acted && act() != Act::Stop) {
            EXPECT_FALSE(windows().isLoaded(Win::frmCapture));
        }
        if (acted && act() == Act::ExitProgram) {
            EXPECT_TRUE(t.contains("Zelmora closed"));
        }
        return acted;
    }

    bool isSequence() const {
        return drive() == Drive::Sequence || drive() == Drive::ShortSequence;
    }

    capture::frmAutomate* sequence() const {
        return windows().ifLoadedAs<capture::frmAutomate>(Win::frmAutomate);
    }

    void prepare(capture::frmCapture* cap) {
        cap->txtLeadIn->setText(QStringLiteral("1"));
        cap->txtTimeBetween->setText(QStringLiteral("1"));
        cap->txtExpCount->setText(QStringLiteral("2"));
        cap->txtExpMin->setText(QStringLiteral("0"));
        cap->txtExpSec->setText(QStringLiteral("2"));
        cap->chMirrorLock->setChecked(false);
        cap->txtMirrorLockDelay->setText(QStringLiteral("1"));
        switch (drive()) {
            case Drive::ShortRun:
                cap->TabStrip1->setCurrentIndex(0);  // "Short"
                break;
            case Drive::BulbRun:
                cap->TabStrip1->setCurrentIndex(1);  // "Long"
                break;
            case Drive::BulbRunWithMirrorLockUp:
            case Drive::ManualPressAndRelease:
                cap->TabStrip1->setCurrentIndex(1);
                cap->txtExpCount->setText(QStringLiteral("1"));
                cap->chMirrorLock->setChecked(true);
                break;
            case Drive::Sequence:
            case Drive::ShortSequence: {
                const bool shortSteps = drive() == Drive::ShortSequence;
                cap->TabStrip1->setCurrentIndex(shortSteps ? 0 : 1);
                click(cap, "cbAutomate");
                capture::frmAutomate* seq = sequence();
                ASSERT_NE(seq, nullptr);
                while (seq->rows().size() > 1) {
                    seq->lbExposures->setCurrentRow(1);
                    click(seq, "cbDelete");
                }
                // Two steps: seconds of bulb, or two of the camera's speeds.
                const QStringList lengths =
                    shortSteps ? QStringList{"1/125", "1/60"} : QStringList{"2", "1"};
                for (const QString& length : lengths) {
                    seq->txtNoExp->setText(QStringLiteral("1"));
                    if (shortSteps) {
                        const int i =
                            seq->lbTv->findText(length, Qt::MatchExactly | Qt::MatchCaseSensitive);
                        ASSERT_GE(i, 0) << length.toStdString();
                        seq->lbTv->setCurrentIndex(i);
                    } else {
                        seq->txtExpLength->setText(length);
                    }
                    seq->txtDelayBetwExp->setText(QStringLiteral("1"));
                    click(seq, "cbAdd");
                }
                ASSERT_EQ(seq->rows().size(), 3);
                testenv::dialogs().expectMsgBox(QStringLiteral("Image Quality Setting not on RAW"),
                                                Msg::Yes);
                break;
            }
        }
    }

    void run(const QPointer<capture::frmCapture>& cap, bool& manualClick) {
        switch (drive()) {
            case Drive::ShortRun:
            case Drive::BulbRun:
            case Drive::BulbRunWithMirrorLockUp:
                click(cap, "cbExpStart");
                break;
            case Drive::ManualPressAndRelease:
                manualClick = true;
                click(cap, "cbPressShutter");
                manualClick = false;
                pass(3000);
                if (cap && cap->cbReleaseShutter->isEnabled()) {
                    manualClick = true;
                    click(cap, "cbReleaseShutter");
                    manualClick = false;
                }
                break;
            case Drive::Sequence:
            case Drive::ShortSequence:
                click(sequence(), "cbStart");
                break;
        }
    }

    void doTheAct() {
        switch (act()) {
            case Act::Stop:
                if (isSequence()) {
                    if (capture::frmAutomate* seq = sequence()) seq->cbCancelSeq->click();
                } else if (capture::frmCapture* cap = captureWindow()) {
                    cap->cbExpStop->click();
                }
                return;
            case Act::CloseWindow:
                if (QWidget* w = windows().ifLoaded(Win::frmCapture)) frameOf(w)->close();
                return;
            case Act::ExitProgram:
                menu("mnuExit");
                return;
        }
    }

    capture::frmCapture* captureOnTheCable() {
        connectToTheCamera();
        switchToCaptureMode();
        if (cable() == Cable::Serial) {
            portSetupWithTheSimulatedSerialCable();
        } else {
            cables::CableSetup& c = cables::cableSetup();
            c.PortTable[0] = {0x378, "SPP", "SPP", 0, true};
            c.selectPort(0);
        }
        return HasFatalFailure() ? nullptr : captureWindow();
    }
};

// For every k, the act comes at the k-th time the run lets events run (a pass
// of the loop inside one of its steps, a cable's pass, a wait it hands to the
// loop), until the run ends before its k-th. Whatever k: nothing is pressed
// after the act, the shutter ends let go, each run's end is reported once,
// no frame is counted that was not taken, and the sanitizers see nothing
// freed used.
TEST_P(EveryPassOfARun, NothingIsPressedAfterAStopOrALeave) {
    sweepEveryPass([this](int k) { return driveActingAtPass(k); });
}

std::vector<DriveActCable> drivesActsAndCables() {
    std::vector<DriveActCable> all;
    for (Drive d : {Drive::ShortRun, Drive::BulbRun, Drive::BulbRunWithMirrorLockUp,
                    Drive::ManualPressAndRelease, Drive::Sequence, Drive::ShortSequence})
        for (Act a : {Act::Stop, Act::CloseWindow, Act::ExitProgram})
            for (Cable c : {Cable::Serial, Cable::Parallel})
                // Short exposures fire through the camera, not the cable.
                if ((d != Drive::ShortRun && d != Drive::ShortSequence) || c == Cable::Serial)
                    all.emplace_back(d, a, c);
    return all;
}

std::string driveActCableName(const ::testing::TestParamInfo<DriveActCable>& info) {
    static const char* const drives[] = {
        "ShortRun", "BulbRun",      "BulbRunWithMirrorLockUp", "ManualPressAndRelease",
        "Sequence", "ShortSequence"};
    static const char* const acts[] = {"Stop", "ImageCaptureClosed", "ProgramExit"};
    static const char* const cables[] = {"", "OnTheParallelPort"};
    const auto& [d, a, c] = info.param;
    return std::string(drives[int(d)]) + acts[int(a)] + cables[int(c)];
}

INSTANTIATE_TEST_SUITE_P(DrivesActsAndCables, EveryPassOfARun,
                         ::testing::ValuesIn(drivesActsAndCables()), driveActCableName);

// --- Every pass of a focus run -------------------------------------------------------

// Continuous focusing (the camera window's loop of focus frames) or an
// autofocus run, on the absolute focuser simulator.
enum class FocusDrive { ContinuousFocusing, Autofocus };
using FocusDriveAct = std::tuple<FocusDrive, Act>;

class EveryPassOfAFocusRun : public SweepsEveryPass,
                             public ::testing::WithParamInterface<FocusDriveAct> {
protected:
    FocusDrive drive() const { return std::get<0>(GetParam()); }
    Act act() const { return std::get<1>(GetParam()); }
    // The window of what is driven: closing it is the act's second way.
    QString window() const {
        return drive() == FocusDrive::Autofocus ? Win::frmAutofocus : Win::frmCameraControl;
    }
    focus::frmAutofocus* autofocus() const {
        return windows().ifLoadedAs<focus::frmAutofocus>(Win::frmAutofocus);
    }
    static qsizetype downloads() { return traceCount(QStringLiteral("Vosquin1_OnComplete")); }
    static qsizetype moves() { return traceCount(QStringLiteral("Focuser Move:")); }

    bool driveActingAtPass(int k) {
        connectToTheCamera();
        if (HasFatalFailure()) return false;
        // The focus frame the star is picked on.
        toolbar(19);  // "Shutter Release"
        deliver();
        auto* image = windows().ifLoadedAs<display::frmImageDisp>(Win::frmImageDisp);
        if (!image) {
            ADD_FAILURE() << "no focus frame shown";
            return false;
        }
        display::ScrollingImage* viewer = image->viewer();
        cursor->place(QPoint(640, 420));
        QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier,
                          viewer->picturePixelOffset() +
                              QPoint(viewer->frame().Width() / 2, viewer->frame().Height() / 2));
        QPointer<focus::frmAutofocus> af;
        if (drive() == FocusDrive::Autofocus) {
            testenv::driverUi().expectChoose(drivers::kSimAbsoluteFocuserId);
            menu("mnuFocusControl");
            af = autofocus();
            if (!af || !af->focuser().linked()) {
                ADD_FAILURE() << "no linked focuser";
                return false;
            }
            type(af, "txtNoInterations", "3");
            type(af, "txtNoImages", "1");
            type(af, "txtPauseTime", "1");
            type(af, "txtMoveAmount", "450");
            control<QRadioButton>(af, "optDirection0")->setChecked(true);
            control<QCheckBox>(af, "chBackCompensate")->setChecked(false);
            // Asked only of a run that ends by itself.
            testenv::dialogs().expectMsgBox(
                QStringLiteral("Autofocus data collected. Move focuser to best focus position:"),
                Msg::No);
        }

        const auto going = [this] {
            if (drive() == FocusDrive::Autofocus) return autofocus() && autofocus()->running();
            return cameraWindow() && cameraWindow()->model().bContinuousFocus();
        };
        bool acted = false;
        qsizetype firedAtAct = 0, landedAtAct = 0, movesAtAct = 0;
        actAtPass(
            k, going,
            [&] {
                firedAtAct = firedByTheCamera();
                landedAtAct = downloads();
                movesAtAct = moves();
                testenv::dialogs().clear();  // no run that is left ends by itself
                doTheAct();
            },
            acted);
        const qsizetype firedAtStart = firedByTheCamera();
        if (drive() == FocusDrive::Autofocus) {
            click(af, "cbStartAutoFocus");
        } else {
            main->lbInterval()->setText(QStringLiteral("2"));
            toolbar(13);  // "Start Continuous Focus Capture"
            // The user's own Stop after four frames, unless the act came first.
            passUntil([&] { return acted || !going(); }, 7000);
            if (!acted && going()) toolbar(15);  // "Stop Continuous Focus Capture"
        }
        passUntilOver(going, acted, k);

        SCOPED_TRACE(QStringLiteral("pass %1").arg(k).toStdString());
        if (!acted) EXPECT_GT(firedByTheCamera(), firedAtStart) << "no focus frame was taken";
        if (acted) {
            EXPECT_EQ(firedByTheCamera(), firedAtAct) << "the camera fired after the act";
            EXPECT_LE(downloads() - landedAtAct, firedAtAct - landedAtAct)
                << "a frame landed that was fired after the act";
            EXPECT_EQ(moves(), movesAtAct) << "the focuser was moved after the act";
            if (act() != Act::Stop) EXPECT_FALSE(windows().isLoaded(window()));
            if (act() == Act::ExitProgram)
                EXPECT_TRUE(testenv::traceLines().contains("Zelmora closed"));
        }
        EXPECT_FALSE(going());
        if (drive() == FocusDrive::Autofocus) {
            EXPECT_EQ(testenv::traceLines().count(
                          "<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"),
                      1)
                << "the run's end told other than once";
        }
        return acted;
    }

    void doTheAct() {
        switch (act()) {
            case Act::Stop:
                if (drive() == FocusDrive::Autofocus) {
                    if (focus::frmAutofocus* af = autofocus()) click(af, "cbStartAutoFocus");
                } else if (QAction* stop = main->button(15); stop && stop->isEnabled()) {
                    stop->trigger();  // "Stop Continuous Focus Capture"
                }
                return;
            case Act::CloseWindow:
                if (QWidget* w = windows().ifLoaded(window())) frameOf(w)->close();
                return;
            case Act::ExitProgram:
                menu("mnuExit");
                return;
        }
    }
};

// For every k, the act comes at the k-th pass of the loop the focus run makes
// (the camera window's release and download, the frame's display, the waits
// the run hands to the loop, the focuser's moves). Whatever k: the camera
// fires nothing after the act, no frame fired after it lands, the focuser is
// sent no move, an autofocus run's end is told once, and the sanitizers see
// nothing freed used.
TEST_P(EveryPassOfAFocusRun, NothingIsReleasedOrMovedAfterAStopOrALeave) {
    sweepEveryPass([this](int k) { return driveActingAtPass(k); });
}

std::string focusDriveActName(const ::testing::TestParamInfo<FocusDriveAct>& info) {
    static const char* const drives[] = {"ContinuousFocusing", "Autofocus"};
    static const char* const acts[] = {"Stop", "WindowClosed", "ProgramExit"};
    return std::string(drives[int(std::get<0>(info.param))]) + acts[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    DrivesAndActs, EveryPassOfAFocusRun,
    ::testing::Combine(::testing::Values(FocusDrive::ContinuousFocusing, FocusDrive::Autofocus),
                       ::testing::Values(Act::Stop, Act::CloseWindow, Act::ExitProgram)),
    focusDriveActName);

INSTANTIATE_TEST_SUITE_P(Ways, LeavingDuringAWait,
                         ::testing::Values(Way::CloseWindow, Way::ExitProgram),
                         [](const ::testing::TestParamInfo<Way>& info) {
                             return info.param == Way::CloseWindow ? "WindowClosed" : "ProgramExit";
                         });

}  // namespace

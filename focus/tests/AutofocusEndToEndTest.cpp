// The autofocus run and continuous focusing on the real road: the camera
// window with the real release control and the simulated camera library, the
// focus-frame window, the focus analysis, and the focuser simulators moving
// the simulated sky, all on the virtual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <map>
#include <tuple>

#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "display/DisplayWindows.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "display/tests/DisplayTestSupport.h"
#include "focus/FocusAnalysis.h"
#include "focus/FocusHistory.h"
#include "focus/FocusWindows.h"
#include "focus/frmAnalyze.h"
#include "focus/frmAutoFocusRslts.h"
#include "focus/frmAutofocus.h"
#include "focus/hlog.h"
#include "focus/tests/FocusTestUtil.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/FocuserSimulator.h"
#include "platform/os/PointerScreen.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::focus;

namespace {

// The absolute or relative simulator, recording every Move it is sent and the
// true position it started from.
class RecordingSimulator : public drivers::FocuserSimulator {
public:
    using FocuserSimulator::FocuserSimulator;
    void Move(std::int32_t value) override {
        moves.push_back({value, truePosition()});
        FocuserSimulator::Move(value);
    }
    struct Call {
        std::int32_t value;
        int from;
    };
    static inline std::vector<Call> moves;
};

// The main window with the toolbar's continuous-focus interval box.
class MainWithInterval : public display::testing::FakeMain {
public:
    MainWithInterval() {
        interval = new QLineEdit(QStringLiteral("8"), this);
        interval->setVisible(false);
    }
    QLineEdit* lbInterval() const override { return interval; }
    QLineEdit* interval = nullptr;
};

const QString kRecAbs = QStringLiteral("Test.RecordingAbsolute");
const QString kRecRel = QStringLiteral("Test.RecordingRelative");

class AutofocusEndToEnd : public ::testing::Test {
protected:
    static constexpr int kBest = 5000;
    static constexpr int kStep = 450;

    void SetUp() override {
        ASSERT_TRUE(registryDir.isValid());
        automation::registry::setFile(registryDir.filePath("classes.json"));
        camera::frmCameraControl::setControlLibraryFolder(
            QFileInfo(QStringLiteral(VOSQUIN_LIBRARY)).absolutePath());
        testenv::enableTrace();
        simrc::setSynchronousDelivery(true);
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        oMainCamera() = std::make_shared<clsCamera>();
        camera::registerWindows();
        display::registerWindows();
        focus::registerWindows();
        RecordingSimulator::moves.clear();
        drivers::DriverRegistry::instance().addFocuser(kRecAbs, "recording absolute", [] {
            return std::make_shared<RecordingSimulator>(drivers::FocuserSimulator::Kind::Absolute);
        });
        drivers::DriverRegistry::instance().addFocuser(kRecRel, "recording relative", [] {
            return std::make_shared<RecordingSimulator>(drivers::FocuserSimulator::Kind::Relative);
        });
        // Stars blur slowly enough to stay measurable across the whole sweep.
        sim::SimSky& sky = sim::SimSky::instance();
        sky.setBestFocus(kBest);
        sky.setBlurPerStep(0.003);
        main = std::make_unique<MainWithInterval>();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override {
        windows().closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        main.reset();
        platform::CursorService::setInstance(nullptr);
        automation::registry::setFile({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

public:
    static void deliver() {
        for (int round = 0; round < 3; ++round) {
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    // Camera connected in focus mode, one frame taken and its guide star (at
    // the centre of the frame) clicked, so that every later frame is analysed.
    void connectCameraAndPickStar() {
        cam = qobject_cast<camera::frmCameraControl*>(windows().show(Win::frmCameraControl));
        ASSERT_NE(cam, nullptr);
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
        cam->doconnect();
        deliver();
        ASSERT_TRUE(oMainCamera()->connected());
        cam->release();
        deliver();
        ASSERT_NO_FATAL_FAILURE(clickTheCentralStar());
        ASSERT_TRUE(FocusAnalysis::instance().GetCurrentHFWHM().has_value());
    }
    // The user's click on the star at the centre of the focus frame.
    void clickTheCentralStar() {
        auto* image = windows().ifLoadedAs<display::frmImageDisp>(Win::frmImageDisp);
        ASSERT_NE(image, nullptr);
        display::ScrollingImage* viewer = image->viewer();
        const QPoint at = viewer->picturePixelOffset() +
                          QPoint(viewer->frame().Width() / 2, viewer->frame().Height() / 2);
        cursor->place(QPoint(640, 420));
        QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier, at);
    }

    frmAutofocus* openAutofocus(const QString& focuserId) {
        Settings::save(QStringLiteral("Focuser"), QStringLiteral("ID"), focuserId);
        auto* af = windows().showAs<frmAutofocus>(Win::frmAutofocus);
        EXPECT_NE(af, nullptr);
        return af;
    }
    static void setText(frmAutofocus* af, const char* box, const QString& text) {
        af->findChild<QLineEdit*>(QLatin1String(box))->setText(text);
    }

    // Sets the run up: 10 positions, 2 frames each, no pause, one sweep step.
    void configure(frmAutofocus* af, bool inward, int backlash) {
        setText(af, "txtNoInterations", "10");
        setText(af, "txtNoImages", "2");
        setText(af, "txtPauseTime", "0");
        setText(af, "txtMoveAmount", QString::number(kStep));
        af->findChild<QRadioButton*>(inward ? "optDirection0" : "optDirection1")->setChecked(true);
        af->findChild<QCheckBox*>("chBackCompensate")->setChecked(backlash > 0);
        setText(af, "txtBacklashAmount", QString::number(backlash));
    }

    // Two thousand steps out on the absolute focuser, the star picked, the
    // window linked and set up for a run with a two-second pause.
    void prepareAbsoluteRun(QPointer<frmAutofocus>& af) {
        sim::SimSky::instance().setFocuserPosition(kBest + 2000);
        connectCameraAndPickStar();
        af = openAutofocus(drivers::kSimAbsoluteFocuserId);
        ASSERT_TRUE(af->focuser().linked());
        configure(af, true, 0);
        setText(af, "txtPauseTime", "2");
    }

    // Runs until the run has ended; returns the virtual milliseconds it took.
    qint64 runToEnd(frmAutofocus* af) {
        const qint64 start = testenv::vclock().monotonicMs();
        af->findChild<QPushButton*>("cbStartAutoFocus")->click();
        for (int i = 0; i < 20000 && af->running(); ++i) {
            testenv::vclock().advance(100);
            QCoreApplication::processEvents();
        }
        EXPECT_FALSE(af->running());
        return testenv::vclock().monotonicMs() - start;
    }
    void settle() {
        for (int i = 0; i < 200; ++i) {
            testenv::vclock().advance(100);
            QCoreApplication::processEvents();
        }
    }

    QTemporaryDir registryDir;
    std::shared_ptr<platform::RecordingCursor> cursor;
    std::unique_ptr<MainWithInterval> main;
    QPointer<camera::frmCameraControl> cam;
};

TEST_F(AutofocusEndToEnd, AbsoluteFocuserFromTwoThousandStepsOutEndsInFocus) {
    sim::SimSky::instance().setFocuserPosition(kBest + 2000);
    connectCameraAndPickStar();
    frmAutofocus* af = openAutofocus(drivers::kSimAbsoluteFocuserId);
    ASSERT_TRUE(af->focuser().linked());
    ASSERT_TRUE(af->findChild<QPushButton*>("cbStartAutoFocus")->isEnabled());
    configure(af, true, 0);

    int offered = 0;
    testenv::dialogs().expectMsgBox(
        QStringLiteral("Autofocus data collected. Move focuser to best focus position:"),
        platform::Msg::Yes);
    const qint64 ms = runToEnd(af);
    ASSERT_EQ(af->aIterationData().size(), 10u);
    EXPECT_EQ(af->aIterationData().front().label, "(7000)");
    EXPECT_EQ(af->aIterationData().back().label, "(2950)");
    offered = af->GetBestFocusPosition();
    EXPECT_LE(std::abs(offered - kBest), kStep) << offered;
    EXPECT_EQ(af->framesReleased(), 20);
    EXPECT_EQ(af->framesMeasured(), 20);
    settle();
    EXPECT_EQ(sim::SimSky::instance().focuserPosition(), offered);
    EXPECT_EQ(af->GetFocuserPosition(), offered);

    // The results window charted the final table and shows the voted row.
    auto* results = windows().ifLoadedAs<frmAutoFocusRslts>(Win::frmAutoFocusRslts);
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results->oGraph().rows(), 10);
    EXPECT_EQ(results->findChild<QLabel*>("lblBestPos")->text(), QString::number(offered));
    EXPECT_TRUE(results->findChild<QPushButton*>("cbMoveToBest")->isEnabled());

    // AUTOFOCUS_GRAB=<folder> keeps pictures of both windows after the run.
    if (const char* grab = std::getenv("AUTOFOCUS_GRAB")) {
        frameOf(af)->grab().save(QString::fromLocal8Bit(grab) + "/autofocus.png");
        frameOf(results)->grab().save(QString::fromLocal8Bit(grab) + "/results.png");
    }
    const QStringList trace = testenv::traceLines();
    std::printf("true best focus %d, offered %d, frames %d, virtual time %lld ms\n", kBest, offered,
                af->framesReleased(), static_cast<long long>(ms));
    if (std::getenv("AUTOFOCUS_TRACE"))
        for (const QString& l : trace) std::printf("%s\n", qPrintable(l));
    EXPECT_TRUE(trace.contains("<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"));
    EXPECT_EQ(trace.count("<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"), 1);

    // A new run: the last run's best focus is no longer offered while it runs.
    af->findChild<QPushButton*>("cbStartAutoFocus")->click();
    ASSERT_TRUE(af->running());
    for (const char* label :
         {"lblBestPos", "lblBestHFWHM", "lblBestVFWHM", "lblBestRadialSum", "lblBestPeak"})
        EXPECT_EQ(results->findChild<QLabel*>(label)->text(), "") << label;
    EXPECT_FALSE(results->findChild<QPushButton*>("cbMoveToBest")->isEnabled());
    af->findChild<QPushButton*>("cbStartAutoFocus")->click();
    EXPECT_FALSE(af->running());
}

// The manual's recipe on the simulators as they come: the camera at its focus
// defaults (ISO 800, 4 s: a sky far above the centroid's threshold), the sky's
// own blur, the star clicked at best focus, then "Move to:" 7000 and ten steps
// of 450 inward, two frames each. Far from focus the star is too faint to
// measure: those frames are left out and said in the window and the trace,
// and no box holds the run (an unexpected box fails the test with its text).
TEST_F(AutofocusEndToEnd, TheManualsRecipeRunsUnattendedAndLeavesOutWhatItCannotMeasure) {
    sim::SimSky& sky = sim::SimSky::instance();
    sky.setBlurPerStep(0.01);  // the simulator's own
    sky.setFocuserPosition(kBest);
    connectCameraAndPickStar();
    ASSERT_EQ(simrc::cameraState().iso, 96);
    ASSERT_EQ(simrc::captures().back().exposureMs, 4000);
    frmAutofocus* af = openAutofocus(drivers::kSimAbsoluteFocuserId);
    ASSERT_TRUE(af->focuser().linked());
    setText(af, "txtTopos", "7000");
    af->findChild<QPushButton*>("cbMoveTo")->click();
    for (int i = 0; i < 2000 && af->focuser().moving(); ++i) {
        testenv::vclock().advance(100);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(sky.focuserPosition(), 7000);
    setText(af, "txtMoveAmount", "450");
    setText(af, "txtNoInterations", "10");
    setText(af, "txtNoImages", "2");
    af->findChild<QRadioButton*>("optDirection0")->setChecked(true);

    testenv::dialogs().expectMsgBox(QStringLiteral("Autofocus data collected."), platform::Msg::No);
    runToEnd(af);
    const IterationTable& rows = af->aIterationData();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.front().label, "(7000)");
    EXPECT_EQ(rows.back().label, "(2950)");
    EXPECT_EQ(af->framesReleased(), 20);
    int positionsMeasured = 0;
    for (const IterationRow& r : rows) {
        positionsMeasured += r.valid;
        std::printf("%s %s H %.1f V %.1f peak %.1f\n", qPrintable(r.label),
                    r.valid ? "measured" : "left out", r.HFWHM, r.VFWHM, r.peakValue);
    }
    std::printf("positions measured: %d of 10; frames measured: %d of 20\n", positionsMeasured,
                af->framesMeasured());

    // Every frame left out is said in the trace, the last in the window too.
    const int leftOut = af->framesReleased() - af->framesMeasured();
    EXPECT_GT(leftOut, 0) << "the recipe's ends are too blurred to measure";
    int saidLeftOut = 0;
    for (const QString& l : testenv::traceLines())
        saidLeftOut += l.contains(QLatin1String(" left out: Centroid not found"));
    EXPECT_EQ(saidLeftOut, leftOut);
    auto* label = af->findChild<QLabel*>("lblLeftOut");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().endsWith(QLatin1String(" left out: Centroid not found")))
        << label->text().toStdString();

    // The star is measured wherever it stands clearly out of the sky: eight
    // of the ten positions (four while it had to stand 25 levels above it),
    // those either side of best focus among them.
    EXPECT_GE(positionsMeasured, 8);
    for (const IterationRow& r : rows) {
        const int at = r.label.mid(1, r.label.size() - 2).toInt();
        if (std::abs(at - kBest) <= 1000) EXPECT_TRUE(r.valid) << qPrintable(r.label);
    }
    EXPECT_LE(std::abs(af->GetBestFocusPosition() - kBest), kStep);
}

// Pict -> PC cleared in the control (the pictures would stay on the card):
// each focus frame asks for its picture on the PC, and the run gets them all.
TEST_F(AutofocusEndToEnd, FocusFramesComeToThePcWhateverTheControlsBoxesSaid) {
    QPointer<frmAutofocus> af;
    ASSERT_NO_FATAL_FAILURE(prepareAbsoluteRun(af));
    setText(af, "txtNoInterations", "2");
    setText(af, "txtPauseTime", "0");
    vosquin::VosquinHost* control = cam->Vosquin1();
    control->setPicCam(true);
    control->setPicPc(false);
    ASSERT_FALSE(control->PicPc());
    testenv::dialogs().expectMsgBox(QStringLiteral("Autofocus data collected."), platform::Msg::No);
    runToEnd(af);
    EXPECT_EQ(af->framesReleased(), 4);
    EXPECT_EQ(af->framesMeasured(), 4);
    EXPECT_TRUE(control->PicPc());
}

TEST_F(AutofocusEndToEnd, RelativeFocuserCountsFromZeroAndReturnsToTheBestPosition) {
    sim::SimSky::instance().setFocuserPosition(kBest + 2000);
    connectCameraAndPickStar();
    frmAutofocus* af = openAutofocus(drivers::kSimRelativeFocuserId);
    ASSERT_TRUE(af->focuser().linked());
    configure(af, true, 0);
    testenv::dialogs().expectMsgBox(QStringLiteral("Autofocus data collected."),
                                    platform::Msg::Yes);
    runToEnd(af);
    ASSERT_EQ(af->aIterationData().size(), 10u);
    EXPECT_EQ(af->aIterationData().front().label, "(0)");
    EXPECT_EQ(af->aIterationData().back().label, "(-4050)");
    const int offered = af->GetBestFocusPosition();
    EXPECT_LE(std::abs(offered - (kBest - (kBest + 2000))), kStep) << offered;
    std::printf("relative: true best focus at counter %d, offered %d, frames %d\n", -2000, offered,
                af->framesReleased());
    settle();
    EXPECT_EQ(af->focuser().lRelativePosition(), offered);
    EXPECT_EQ(sim::SimSky::instance().focuserPosition(), kBest + 2000 + offered);
}

TEST_F(AutofocusEndToEnd, WithBacklashCompensationEveryStepEndsOnAnInwardMove) {
    // Outward from 2000 steps inside focus: each step overshoots and comes back.
    sim::SimSky::instance().setFocuserPosition(kBest - 2000);
    connectCameraAndPickStar();
    frmAutofocus* af = openAutofocus(kRecAbs);
    configure(af, false, 60);
    testenv::dialogs().expectMsgBox(QStringLiteral("Autofocus data collected."),
                                    platform::Msg::Yes);
    runToEnd(af);
    ASSERT_EQ(af->aIterationData().size(), 10u);
    EXPECT_EQ(af->aIterationData().back().label, "(7050)");
    const int offered = af->GetBestFocusPosition();
    std::printf("backlash: true best focus %d, offered %d, frames %d\n", kBest, offered,
                af->framesReleased());
    EXPECT_LE(std::abs(offered - kBest), kStep) << offered;
    settle();
    EXPECT_EQ(sim::SimSky::instance().focuserPosition(), offered);

    const auto& moves = RecordingSimulator::moves;
    ASSERT_EQ(moves.size(), 9u * 2 + 1);  // nine compensated steps, then the move to best
    for (std::size_t i = 0; i + 1 < 18; i += 2) {
        const int base = kBest - 2000 + int(i / 2) * kStep;
        EXPECT_EQ(moves[i].value, base + kStep + 60);
        // The return starts only once the overshoot has ended.
        EXPECT_EQ(moves[i + 1].from, base + kStep + 60);
        EXPECT_EQ(moves[i + 1].value, base + kStep);
    }
    // The move to best focus comes from outside, inward.
    EXPECT_EQ(moves.back().value, offered);
    EXPECT_GT(moves.back().from, offered);
}

// Each fault ends the run cleanly: its message, the finish line once, no offer,
// nothing left waiting (no timer, no focuser wait, no download flag, the focus
// log closed).
struct FaultCase {
    const char* name;
    qint64 atMs;  // when the fault strikes, from the start
    std::function<void(frmAutofocus*)> strike;
    const char* message;                  // a box the fault brings, or nullptr
    const char* secondMessage = nullptr;  // the run's own box after the first
    std::function<void(frmAutofocus*)> before = nullptr;
};

class AutofocusFaults : public AutofocusEndToEnd,
                        public ::testing::WithParamInterface<FaultCase> {};

void clickStart(frmAutofocus* af) {
    af->findChild<QPushButton*>("cbStartAutoFocus")->click();
}

// The camera takes its frames but their downloads never reach the window.
void loseDownloads() {
    auto* cam = windows().ifLoadedAs<camera::frmCameraControl>(Win::frmCameraControl);
    QObject::disconnect(cam->Vosquin1(), &vosquin::VosquinHost::OnComplete, nullptr, nullptr);
}

drivers::FocuserSimulator* simOf(frmAutofocus* af) {
    return dynamic_cast<drivers::FocuserSimulator*>(af->focuser().oFocuser());
}

TEST_P(AutofocusFaults, EndTheRunCleanly) {
    const FaultCase& c = GetParam();
    QPointer<frmAutofocus> af;
    ASSERT_NO_FATAL_FAILURE(prepareAbsoluteRun(af));
    if (c.before) c.before(af);
    if (c.message) testenv::dialogs().expectMsgBox(QString::fromUtf8(c.message));
    if (c.secondMessage) testenv::dialogs().expectMsgBox(QString::fromUtf8(c.secondMessage));

    const qint64 start = testenv::vclock().monotonicMs();
    clickStart(af);
    for (int i = 0; i < 5000 && af && af->running(); ++i) {
        if (c.strike && testenv::vclock().monotonicMs() - start >= c.atMs) {
            c.strike(af);
            break;
        }
        testenv::vclock().advance(50);
        QCoreApplication::processEvents();
    }
    if (af) EXPECT_FALSE(af->running()) << c.name;
    settle();
    if (af) {
        EXPECT_FALSE(af->running());
        EXPECT_FALSE(af->focuser().moving());
        EXPECT_TRUE(af->bStopAutoFocus());
        EXPECT_EQ(af->findChild<QPushButton*>("cbStartAutoFocus")->text(), "Start AutoFocus");
    }
    EXPECT_FALSE(state().bWaitingForDownload);
    EXPECT_FALSE(FocusAnalysis::instance().focusLogOn());
    const QStringList trace = testenv::traceLines();
    EXPECT_EQ(trace.count("<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"), 1) << c.name;
    EXPECT_FALSE(trace.contains("Updating results graph with best focus position data"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AutofocusFaults,
    ::testing::Values(
        // Stop in each state: waiting a second after a frame, moving, pausing.
        FaultCase{"StopAfterFrame", 500, [](frmAutofocus* af) { clickStart(af); }, nullptr},
        FaultCase{"StopWhileMoving", 2100, [](frmAutofocus* af) { clickStart(af); }, nullptr},
        FaultCase{"StopWhilePausing", 3000, [](frmAutofocus* af) { clickStart(af); }, nullptr},
        // Stop while a frame is downloading: the camera never delivers it.
        FaultCase{"StopWhileDownloading", 5000, [](frmAutofocus* af) { clickStart(af); }, nullptr,
                  nullptr, [](frmAutofocus*) { loseDownloads(); }},
        FaultCase{"StopWhileTheFocuserIsUnlinked", 2100,
                  [](frmAutofocus* af) {
                      af->focuser().oFocuser()->setLink(false);
                      clickStart(af);
                  },
                  nullptr},
        FaultCase{"DownloadNeverComes", 0, nullptr, "The focus frame did not arrive", nullptr,
                  [](frmAutofocus*) { loseDownloads(); }},
        // The camera reports, in place of the frame, that the release came to
        // nothing: the wait ends at once, not after two minutes.
        FaultCase{"DownloadFailed", 0, nullptr,
                  "The camera did not take the focus frame (Error:3145740).", nullptr,
                  [](frmAutofocus*) {
                      simrc::failCall("RCTakeCapturedImage", RC_COMP_TRANSFER | RC_ERR_FILE_IO);
                  }},
        FaultCase{"CameraDisconnected", 1500,
                  [](frmAutofocus*) { oMainCamera()->setConnected(false); },
                  "The camera was disconnected."},
        FaultCase{"ReleaseRefused", 0, nullptr, "You currently have Mirror Lock",
                  "The camera did not take the focus frame.",
                  [](frmAutofocus*) {
                      simrc::setMirrorLock(true);
                      AutofocusEndToEnd::deliver();
                  }},
        FaultCase{"FocuserStuck", 0, nullptr, "The focuser did not finish its move", nullptr,
                  [](frmAutofocus* af) {
                      auto cfg = simOf(af)->config();
                      cfg.movingStuck = true;
                      simOf(af)->setConfig(cfg);
                  }},
        FaultCase{"FocuserMoveFails", 0, nullptr, "", nullptr,
                  [](frmAutofocus* af) {
                      auto cfg = simOf(af)->config();
                      cfg.moveFails = true;
                      simOf(af)->setConfig(cfg);
                  }},
        FaultCase{"WindowClosed", 2100, [](frmAutofocus* af) { frameOf(af)->close(); }, nullptr}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// What arrives while the run, or one of its boxes, is under way.
enum class Arrival { ProgramExit, WindowClose, CameraDisconnect };

void arrive(Arrival a, frmAutofocus* af) {
    switch (a) {
        case Arrival::ProgramExit:
            // As the main window closes: every wait sees the flag, then every
            // window closes with its own steps.
            platform::setShuttingDown(true);
            windows().closeAll();
            break;
        case Arrival::WindowClose:
            frameOf(af)->close();
            break;
        case Arrival::CameraDisconnect:
            oMainCamera()->setConnected(false);
            break;
    }
    // A nested loop (a box's) runs the deletions queued meanwhile.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Where the run is when it arrives: a box that is up (the camera's refusal,
// inside the release; the run's own message; the focuser's fault; the
// end-of-run question), or a wait on the clock.
struct MidRunCase {
    const char* name;
    const char* box;  // the box during which it arrives; nullptr: at atMs
    qint64 atMs = 0;
    std::function<void(frmAutofocus*)> before = nullptr;
    int iterations = 10;
};

using MidRunParam = std::tuple<MidRunCase, Arrival>;

std::string midRunName(const ::testing::TestParamInfo<MidRunParam>& info) {
    static const char* arrivals[] = {"ProgramExit", "WindowClose", "CameraDisconnect"};
    return std::string(std::get<0>(info.param).name) + "_" + arrivals[int(std::get<1>(info.param))];
}

class AutofocusMidRun : public AutofocusEndToEnd,
                        public ::testing::WithParamInterface<MidRunParam> {};

TEST_P(AutofocusMidRun, EndsCleanAndNeverTouchesAGoneWindow) {
    const auto& [c, arrival] = GetParam();
    QPointer<frmAutofocus> af;
    ASSERT_NO_FATAL_FAILURE(prepareAbsoluteRun(af));
    setText(af, "txtNoInterations", QString::number(c.iterations));
    if (c.before) c.before(af);
    bool arrived = false;
    if (c.box) {
        testenv::dialogs().expectMsgBox(QString::fromUtf8(c.box)).whileShowing([&] {
            arrive(arrival, af);
            arrived = true;
        });
    }
    // A camera lost while the run still runs says so (the other boxes come
    // after the run has ended).
    if (arrival == Arrival::CameraDisconnect &&
        (!c.box || QByteArray(c.name) == "InsideTheRelease"))
        testenv::dialogs().expectMsgBox(frmAutofocus::kCameraLostText);
    const qint64 start = testenv::vclock().monotonicMs();
    clickStart(af);
    for (int i = 0; i < 5000 && af && af->running(); ++i) {
        if (!c.box && testenv::vclock().monotonicMs() - start >= c.atMs) {
            arrive(arrival, af);
            arrived = true;
            break;
        }
        testenv::vclock().advance(50);
        QCoreApplication::processEvents();
    }
    settle();
    EXPECT_TRUE(arrived) << c.name;
    if (arrival == Arrival::CameraDisconnect) {
        ASSERT_TRUE(af) << c.name;
    } else {
        EXPECT_FALSE(af) << c.name << ": the window is gone";
    }
    if (af) {
        EXPECT_FALSE(af->running());
        EXPECT_FALSE(af->focuser().moving());
    }
    EXPECT_FALSE(state().bWaitingForDownload);
    EXPECT_FALSE(FocusAnalysis::instance().focusLogOn());
    EXPECT_EQ(
        testenv::traceLines().count("<<<<<<<<<<<<<<Autofocus run finished>>>>>>>>>>>>>>>>>>>"), 1)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    MidRun, AutofocusMidRun,
    ::testing::Combine(
        ::testing::Values(MidRunCase{"InsideTheRelease", "You currently have Mirror Lock", 0,
                                     [](frmAutofocus*) {
                                         simrc::setMirrorLock(true);
                                         AutofocusEndToEnd::deliver();
                                     }},
                          MidRunCase{"WhileTheRunsMessageIsUp", "The focus frame did not arrive", 0,
                                     [](frmAutofocus*) { loseDownloads(); }},
                          MidRunCase{"WhileTheFocusersFaultIsUp", "", 0,
                                     [](frmAutofocus* af) {
                                         auto cfg = simOf(af)->config();
                                         cfg.moveFails = true;
                                         simOf(af)->setConfig(cfg);
                                     }},
                          MidRunCase{"WhileTheOfferIsUp", "Autofocus data collected.", 0, nullptr,
                                     2},
                          MidRunCase{"WhileWaitingForADownload", nullptr, 400},
                          MidRunCase{"WhileTheFocuserMoves", nullptr, 2100},
                          MidRunCase{"WhilePausing", nullptr, 3000}),
        ::testing::Values(Arrival::ProgramExit, Arrival::WindowClose, Arrival::CameraDisconnect)),
    midRunName);

// --- Continuous focusing --------------------------------------------------------

class FocusRoad : public AutofocusEndToEnd {
protected:
    struct Frame {
        int focuser;  // where the sky's focuser stood for the frame
        float h, v, peak;
    };
    // Columns of the figures table, one per analysed frame (column = entry + 1).
    std::vector<Frame> framesFrom(int firstEntry, const std::vector<int>& positions) const {
        const FocusHistory& t = FocusAnalysis::instance().History();
        std::vector<Frame> out;
        for (int e = firstEntry; e <= FocusAnalysis::instance().count(); ++e)
            out.push_back({positions[std::size_t(e - 1)], t.at(FocusHistory::HFWHM, e + 1),
                           t.at(FocusHistory::VFWHM, e + 1), t.at(FocusHistory::Peak, e + 1)});
        return out;
    }
    // The frames by focuser position, printed as a table. Every frame was
    // measured, and every visit of a position reads as the first, the widths
    // within a pixel.
    static std::map<int, std::vector<Frame>> alikeAtEachPosition(const std::vector<Frame>& frames) {
        std::map<int, std::vector<Frame>> byPosition;
        for (const Frame& f : frames) {
            EXPECT_GT(f.h, 0) << "frame at " << f.focuser << " not measured";
            byPosition[f.focuser].push_back(f);
        }
        std::printf("focuser | frames | HFWHM          | VFWHM          | peak\n");
        for (const auto& [pos, list] : byPosition) {
            QString hs, vs, ps;
            for (const Frame& f : list) {
                hs += QString::number(f.h) + u' ';
                vs += QString::number(f.v) + u' ';
                ps += QString::number(f.peak) + u' ';
                EXPECT_NEAR(f.h, list.front().h, 1.0) << "at " << pos;
                EXPECT_NEAR(f.v, list.front().v, 1.0) << "at " << pos;
            }
            std::printf("%7d | %6zu | %-14s | %-14s | %s\n", pos, list.size(), qPrintable(hs),
                        qPrintable(vs), qPrintable(ps));
        }
        return byPosition;
    }
    static int countTrace(const QString& line) { return testenv::traceLines().count(line); }
    static int downloads() {
        int n = 0;
        for (const QString& l : testenv::traceLines())
            n += l.contains(QLatin1String("Vosquin1_OnComplete"));
        return n;
    }
};

TEST_F(FocusRoad, AStarsFirstMeasurementReadsAsTheLaterFramesAtTheSameFocus) {
    sim::SimSky::instance().setFocuserPosition(kBest);
    connectCameraAndPickStar();
    for (int i = 0; i < 4; ++i) {
        cam->release();
        deliver();
    }
    FocusAnalysis& fa = FocusAnalysis::instance();
    ASSERT_EQ(fa.count(), 5);
    const std::vector<Frame> frames = framesFrom(1, std::vector<int>(5, kBest));
    std::printf("first frame: H %.0f V %.0f peak %.1f\n", frames[0].h, frames[0].v, frames[0].peak);
    for (std::size_t i = 1; i < frames.size(); ++i) {
        std::printf("frame %zu: H %.0f V %.0f peak %.1f\n", i + 1, frames[i].h, frames[i].v,
                    frames[i].peak);
        EXPECT_NEAR(frames[0].peak, frames[i].peak, 4.0) << "frame " << i + 1;
        EXPECT_NEAR(frames[0].h, frames[i].h, 1.0) << "frame " << i + 1;
        EXPECT_NEAR(frames[0].v, frames[i].v, 1.0) << "frame " << i + 1;
    }
}

TEST_F(FocusRoad, ContinuousFocusingMeasuresEveryFrameOnceAsTheFocuserIsMovedByHand) {
    sim::SimSky& sky = sim::SimSky::instance();
    sky.setFocuserPosition(kBest);
    sky.setBlurPerStep(0.005);  // each step of 500 widens the star visibly
    connectCameraAndPickStar();
    auto* analyze = windows().ifLoadedAs<frmAnalyze>(Win::frmAnalyze);
    ASSERT_NE(analyze, nullptr);
    analyze->cbLogTrack_Click();  // the tracking log too
    frmAutofocus* af = openAutofocus(drivers::kSimAbsoluteFocuserId);
    ASSERT_TRUE(af->focuser().linked());
    setText(af, "txtMoveAmount", "500");

    FocusAnalysis& fa = FocusAnalysis::instance();
    std::vector<int> positions{kBest};  // the focuser for each history entry
    const int firstDownloads = downloads();
    main->interval->setText("3");
    cam->StartContinousDownload();
    auto waitForFrames = [&](int frames) {
        const int target = fa.count() + frames;
        for (int i = 0; i < 400 && fa.count() < target; ++i) {
            const int before = fa.count();
            testenv::vclock().advance(100);
            deliver();
            for (int e = before; e < fa.count(); ++e) positions.push_back(sky.focuserPosition());
        }
        ASSERT_EQ(fa.count(), target);
    };
    auto move = [&](const char* button) {
        af->findChild<QPushButton*>(QLatin1String(button))->click();
        for (int i = 0; i < 100 && af->focuser().moving(); ++i) {
            const int before = fa.count();
            testenv::vclock().advance(50);
            QCoreApplication::processEvents();
            ASSERT_EQ(fa.count(), before) << "a frame came while the focuser moved";
        }
        ASSERT_FALSE(af->focuser().moving());
    };
    waitForFrames(2);
    // Out two steps and back, in two steps and back.
    for (const char* button : {"cbMoveOut", "cbMoveOut", "cbMoveIn", "cbMoveIn", "cbMoveIn",
                               "cbMoveIn", "cbMoveOut", "cbMoveOut"}) {
        move(button);
        waitForFrames(2);
    }
    cam->StartContinousDownload();  // stops the loop
    testenv::vclock().advance(10000);
    deliver();

    // Every downloaded frame joined the history once and was measured once.
    const int frames = fa.count();
    EXPECT_EQ(frames, 1 + 2 * 9);
    EXPECT_EQ(downloads() - firstDownloads, frames - 1);  // the first came before the click
    EXPECT_EQ(countTrace("Updating History"), frames);
    EXPECT_EQ(fa.History().lastIndex(), frames + 1);
    // The logs: one line per frame, each that frame's own figures.
    const QList<QByteArray> focusLines =
        testutil::readFile(FocusAnalysis::focusLogPath()).split('\n');
    ASSERT_EQ(focusLines.size(), 1 + frames + 1);  // header, frames, the empty tail
    for (int e = 1; e <= frames; ++e) {
        FocusHistory upTo;
        upTo.redim(e + 1);
        for (int row = 0; row < 4; ++row) upTo.set(row, e + 1, fa.History().at(row, e + 1));
        EXPECT_EQ(focusLines[e] + '\n', hlog::focusLine(upTo)) << "frame " << e;
    }
    const QByteArray tracking = testutil::readFile(FocusAnalysis::trackingLogPath());
    // Started after the click: the header, the click's frame, every later frame.
    EXPECT_EQ(tracking.count('\n'), 1 + frames);

    // The widths grow with the distance from best focus and come back with it;
    // going out and coming back read alike.
    const std::map<int, std::vector<Frame>> byPosition =
        alikeAtEachPosition(framesFrom(1, positions));
    std::map<int, float> width;
    for (const auto& [pos, list] : byPosition) {
        float sum = 0;
        for (const Frame& f : list) sum += f.h + f.v;
        width[pos] = sum / float(2 * list.size());
    }
    const std::vector<int> out{kBest, kBest + 500, kBest + 1000};
    const std::vector<int> in{kBest, kBest - 500, kBest - 1000};
    for (const auto* side : {&out, &in})
        for (std::size_t i = 1; i < side->size(); ++i)
            EXPECT_GT(width[(*side)[i]], width[(*side)[i - 1]])
                << (*side)[i] << " against " << (*side)[i - 1];
    EXPECT_EQ(byPosition.at(kBest).size(), 1u + 2u + 2u + 2u);  // the click's frame, three visits
}

// Continuous focusing runs unattended: with the focuser turned far out of
// focus by hand the star cannot be measured, and its frames are left out
// without a box (an unexpected box fails the test with its text); Focus
// Analysis says why on its own line and in the trace, and back in focus the
// star is measured again. A click on a star that cannot be measured is the
// user's own, and gets the box.
TEST_F(FocusRoad, ContinuousFocusingLeavesOutWhatItCannotMeasureWithoutABox) {
    sim::SimSky& sky = sim::SimSky::instance();
    sky.setBlurPerStep(0.01);  // the simulator's own
    sky.setFocuserPosition(kBest);
    connectCameraAndPickStar();
    auto* analyze = windows().ifLoadedAs<frmAnalyze>(Win::frmAnalyze);
    ASSERT_NE(analyze, nullptr);
    auto notice = [&] {
        const auto* line = analyze->findChild<QLabel*>("lblNotice");
        return line ? line->text() : QStringLiteral("<no notice line>");
    };
    FocusAnalysis& fa = FocusAnalysis::instance();
    auto waitForFrame = [&] {
        const int target = fa.count() + 1;
        for (int i = 0; i < 200 && fa.count() < target; ++i) {
            testenv::vclock().advance(100);
            deliver();
        }
        ASSERT_EQ(fa.count(), target);
    };
    main->interval->setText("6");
    cam->StartContinousDownload();
    ASSERT_NO_FATAL_FAILURE(waitForFrame());
    ASSERT_GT(*fa.GetCurrentHFWHM(), 0.0f);

    sky.setFocuserPosition(kBest + 2500);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_NO_FATAL_FAILURE(waitForFrame());
        EXPECT_EQ(*fa.GetCurrentHFWHM(), 0.0f) << "frame " << frame;
        EXPECT_TRUE(notice().endsWith(FocusAnalysis::kNoCentroidMessage)) << notice().toStdString();
    }
    EXPECT_EQ(countTrace(FocusAnalysis::kNoCentroidMessage), 3);
    sky.setFocuserPosition(kBest);
    ASSERT_NO_FATAL_FAILURE(waitForFrame());
    EXPECT_GT(*fa.GetCurrentHFWHM(), 0.0f);
    EXPECT_TRUE(notice().isEmpty()) << notice().toStdString();
    cam->StartContinousDownload();  // stops the loop
    for (const auto& shown : testenv::dialogs().shown())
        EXPECT_NE(shown.kind, testenv::ScriptedDialogs::Kind::MsgBox) << shown.text.toStdString();

    // Far out of focus again, one frame by hand, and the user clicks the star.
    sky.setFocuserPosition(kBest + 2500);
    cam->release();
    deliver();
    testenv::dialogs().expectMsgBox(FocusAnalysis::kNoCentroidMessage);
    ASSERT_NO_FATAL_FAILURE(clickTheCentralStar());
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

// A slightly misaligned mount: the sky drifts under the camera all night while
// the user refocuses now and then. At the program's focus defaults the sky is
// far brighter than the centroid's threshold, and the star must still be
// followed: the tracking log moves with the sky, and the star is measured
// round, alike at each visit of a focuser position.
TEST_F(FocusRoad, OnABrightSkyTheTrackingLogFollowsTheDriftAndTheWidthsHold) {
    sim::SimSky& sky = sim::SimSky::instance();
    // Out of focus enough that the star's top stays below full scale.
    const std::vector<int> positions{kBest + 600, kBest + 800, kBest + 1000};
    sky.setFocuserPosition(positions[0]);
    sky.setBlurPerStep(0.005);
    connectCameraAndPickStar();
    // The focus defaults: ISO 800, 4 s.
    ASSERT_EQ(simrc::cameraState().iso, 96);
    ASSERT_EQ(simrc::captures().back().exposureMs, 4000);
    auto* analyze = windows().ifLoadedAs<frmAnalyze>(Win::frmAnalyze);
    ASSERT_NE(analyze, nullptr);
    analyze->cbLogTrack_Click();

    // The sky alone is far above the centroid's threshold of 25.
    const QImage crop = FocusAnalysis::instance().entry(1)->picture;
    ASSERT_GT(qGray(crop.pixel(2, 2)), 60);
    ASSERT_GT(qGray(crop.pixel(97, 97)), 60);

    // Every 29 s for 45 frames: 9.0 px right and 6.0 px down in all.
    constexpr int kFrames = 45;
    constexpr qint64 kEveryMs = 29000;
    const double seconds = double(kFrames - 1) * kEveryMs / 1000.0;
    sky.setDrift(9.0 / seconds, 6.0 / seconds);
    struct Shot {
        int focuser;
        double dx, dy;  // how far the sky had drifted
    };
    std::vector<Shot> shots;
    FocusAnalysis& fa = FocusAnalysis::instance();
    for (int i = 0; i < kFrames; ++i) {
        if (i > 0) testenv::vclock().advance(kEveryMs);
        sky.setFocuserPosition(positions[std::size_t((i / 3) % positions.size())]);
        Shot s{sky.focuserPosition(), 0, 0};
        sky.driftOffset(s.dx, s.dy);
        shots.push_back(s);
        const int before = fa.count();
        cam->release();
        deliver();
        ASSERT_EQ(fa.count(), before + 1) << "frame " << i;
    }

    // The log: the header, the click's frame, then one line per frame.
    const QList<QByteArray> lines =
        testutil::readFile(FocusAnalysis::trackingLogPath()).split('\n');
    ASSERT_EQ(lines.size(), 1 + 1 + kFrames + 1);
    auto centroid = [&](int frame) {
        const QList<QByteArray> f = lines[2 + frame].trimmed().split(',');
        return std::pair{f.value(1).toDouble(), f.value(2).toDouble()};
    };
    const auto [x0, y0] = centroid(0);
    double worstX = 0, worstY = 0;
    for (int i = 1; i < kFrames; ++i) {
        const auto [x, y] = centroid(i);
        const double offX = (x - x0) - (shots[i].dx - shots[0].dx);
        const double offY = (y - y0) - (shots[i].dy - shots[0].dy);
        worstX = std::max(worstX, std::abs(offX));
        worstY = std::max(worstY, std::abs(offY));
        EXPECT_LT(std::abs(offX), 1.0) << "frame " << i << ": X " << x;
        EXPECT_LT(std::abs(offY), 1.0) << "frame " << i << ": Y " << y;
    }
    const auto [xn, yn] = centroid(kFrames - 1);
    std::printf("log moved %+.2f, %+.2f px; the sky %+.2f, %+.2f px; worst miss %.2f, %.2f px\n",
                xn - x0, yn - y0, shots.back().dx - shots[0].dx, shots.back().dy - shots[0].dy,
                worstX, worstY);

    // Round, and alike at every visit of a focuser position, the peak too.
    std::vector<int> focusers{positions[0]};  // the click's frame
    for (const Shot& s : shots) focusers.push_back(s.focuser);
    for (const auto& [pos, list] : alikeAtEachPosition(framesFrom(1, focusers)))
        for (const Frame& f : list) {
            EXPECT_NEAR(f.h, f.v, 1.5) << "at " << pos;
            EXPECT_NEAR(f.peak, list.front().peak, 0.1 * list.front().peak) << "at " << pos;
        }
}
}  // namespace

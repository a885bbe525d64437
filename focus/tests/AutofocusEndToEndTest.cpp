// The autofocus run on the real road: the camera window with the real release
// control and the simulated camera library, the focus-frame window, the focus
// analysis, and the focuser simulators moving the simulated sky, all on the
// virtual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "display/DisplayWindows.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "display/tests/DisplayTestSupport.h"
#include "focus/FocusAnalysis.h"
#include "focus/FocusWindows.h"
#include "focus/frmAutoFocusRslts.h"
#include "focus/frmAutofocus.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/FocuserSimulator.h"
#include "platform/os/PointerScreen.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
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
        main = std::make_unique<display::testing::FakeMain>();
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
        auto* image = windows().ifLoadedAs<display::frmImageDisp>(Win::frmImageDisp);
        ASSERT_NE(image, nullptr);
        display::ScrollingImage* viewer = image->viewer();
        const QPoint at = viewer->picturePixelOffset() +
                          QPoint(viewer->frame().Width() / 2, viewer->frame().Height() / 2);
        cursor->place(QPoint(640, 420));
        QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(FocusAnalysis::instance().GetCurrentHFWHM().has_value());
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
    std::unique_ptr<display::testing::FakeMain> main;
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
    sim::SimSky::instance().setFocuserPosition(kBest + 2000);
    connectCameraAndPickStar();
    QPointer<frmAutofocus> af = openAutofocus(drivers::kSimAbsoluteFocuserId);
    ASSERT_TRUE(af->focuser().linked());
    configure(af, true, 0);
    setText(af, "txtPauseTime", "2");
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

}  // namespace

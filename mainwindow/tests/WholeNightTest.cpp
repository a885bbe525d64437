// A whole night in one process, as a user spends it: the real main window with
// every window of the program, the camera release control over the simulated
// camera library, the focuser and telescope simulators and the simulated
// cables, all on the virtual clock. The walk ends with Application -> Exit, and
// what the session leaves behind is checked by the sanitizers at the process's
// end as much as by the test.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include "cables/CablesWindows.h"
#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/ctlFolderMonitor.h"
#include "camera/frmCameraControl.h"
#include "capture/CaptureWindows.h"
#include "capture/ReviewTab.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "display/AAImageView.h"
#include "display/DisplayWindows.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "focus/FocusAnalysis.h"
#include "focus/FocusWindows.h"
#include "focus/frmAutofocus.h"
#include "mainwindow/MDIMain.h"
#include "mainwindow/tests/ProgramOnTheSimulators.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "platform/os/PointerScreen.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/ScopeDriver.h"
#include "sky/SkyWindows.h"
#include "testing/TestEnv.h"

using namespace zelmora;
namespace Msg = zelmora::platform::Msg;

namespace {

constexpr int kBest = 5000;  // the simulated sky's best focus
constexpr int kStep = 450;   // the autofocus sweep's step

// Whether the folder monitor is still running when the user leaves.
enum class AtExit { MonitorRunning, MonitorStopped };

class WholeNight : public testenv::ProgramOnTheSimulators,
                   public ::testing::WithParamInterface<AtExit> {
protected:
    void SetUp() override {
        ProgramOnTheSimulators::SetUp();
        // Stars blur slowly enough to stay measurable across an autofocus sweep.
        sim::SimSky& sky = sim::SimSky::instance();
        sky.setBestFocus(kBest);
        sky.setBlurPerStep(0.003);
        sky.setFocuserPosition(kBest + 2000);
    }

    // --- The walk --------------------------------------------------------------

    void takeFocusFrames() {
        toolbar(19);  // "Shutter Release"
        deliver();
        toolbar(19);
        deliver();
        auto* image = windows().ifLoadedAs<display::frmImageDisp>(Win::frmImageDisp);
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(QFileInfo(AppPaths::join(testenv::appDir(), "FocusImages/Focus.jpg")).isFile());
        EXPECT_EQ(simrc::callCount("RCCapture"), 2);
    }

    void clickTheGuideStar() {
        auto* image = windows().ifLoadedAs<display::frmImageDisp>(Win::frmImageDisp);
        ASSERT_NE(image, nullptr);
        display::ScrollingImage* viewer = image->viewer();
        const QPoint at = viewer->picturePixelOffset() +
                          QPoint(viewer->frame().Width() / 2, viewer->frame().Height() / 2);
        cursor->place(QPoint(640, 420));
        QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(focus::FocusAnalysis::instance().GetCurrentHFWHM().has_value());
        EXPECT_TRUE(windows().isLoaded(Win::frmAnalyze));
    }

    void focusContinuously() {
        main->lbInterval()->setText(QStringLiteral("2"));
        const int before = simrc::callCount("RCCapture");
        toolbar(13);  // "Start Continuous Focus Capture"
        pass(10'000);
        toolbar(15);  // "Stop Continuous Focus Capture"
        const int taken = simrc::callCount("RCCapture") - before;
        EXPECT_GE(taken, 5);
        pass(6'000);
        EXPECT_EQ(simrc::callCount("RCCapture") - before, taken) << "no frame after Stop";
        EXPECT_FALSE(state().bWaitingForDownload);
    }

    // Runs one autofocus sweep inward from 2000 steps outside focus and takes
    // the offered best position.
    void autofocusRun(focus::frmAutofocus* af) {
        type(af, "txtNoInterations", "10");
        type(af, "txtNoImages", "1");
        type(af, "txtPauseTime", "0");
        type(af, "txtMoveAmount", QString::number(kStep));
        control<QRadioButton>(af, "optDirection0")->setChecked(true);
        control<QCheckBox>(af, "chBackCompensate")->setChecked(false);
        testenv::dialogs().expectMsgBox(
            QStringLiteral("Autofocus data collected. Move focuser to best focus position:"),
            Msg::Yes);
        click(af, "cbStartAutoFocus");
        ASSERT_TRUE(passUntil([af] { return !af->running(); }, 600'000));
        pass(20'000);  // the move to the best position
        EXPECT_EQ(af->aIterationData().size(), 10u);
        EXPECT_LE(std::abs(sim::SimSky::instance().focuserPosition() - kBest), 2 * kStep)
            << sim::SimSky::instance().focuserPosition();
        EXPECT_TRUE(windows().isLoaded(Win::frmAutoFocusRslts));
    }

    void autofocusWithBothFocusers() {
        testenv::driverUi().expectChoose(drivers::kSimAbsoluteFocuserId);
        menu("mnuFocusControl");
        QPointer<focus::frmAutofocus> af =
            windows().ifLoadedAs<focus::frmAutofocus>(Win::frmAutofocus);
        ASSERT_NE(af, nullptr);
        ASSERT_TRUE(af->focuser().linked());
        autofocusRun(af);

        // Now the relative focuser: chosen in the window, moved out by hand, swept again.
        testenv::driverUi().expectChoose(drivers::kSimRelativeFocuserId);
        click(af, "cmdConnect");
        ASSERT_TRUE(af->focuser().linked());
        const int focused = sim::SimSky::instance().focuserPosition();
        type(af, "txtMoveAmount", "2000");
        click(af, "cbMoveOut");
        ASSERT_TRUE(passUntil([af] { return !af->focuser().moving(); }, 60'000));
        EXPECT_EQ(sim::SimSky::instance().focuserPosition(), focused + 2000);
        autofocusRun(af);
    }

    void shortRunOfTwoFrames() {
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        cap->TabStrip1->setCurrentIndex(0);  // "Short"
        cap->txtExpCount->setText(QStringLiteral("2"));
        cap->txtLeadIn->setText(QStringLiteral("0"));
        const std::size_t before = simrc::captures().size();
        click(cap, "cbExpStart");
        ASSERT_TRUE(passUntil([cap] { return !cap->runActive(); }, 120'000));
        EXPECT_EQ(simrc::captures().size() - before, 2u);
        EXPECT_EQ(filesIn(lights()).size(), 2);
    }

    void bulbOfTenSeconds() {
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        cap->TabStrip1->setCurrentIndex(1);  // "Long"
        cap->txtExpCount->setText(QStringLiteral("1"));
        cap->txtExpMin->setText(QStringLiteral("0"));
        cap->txtExpSec->setText(QStringLiteral("10"));
        cap->txtLeadIn->setText(QStringLiteral("0"));
        cap->txtTimeBetween->setText(QStringLiteral("0"));
        const std::size_t before = simrc::captures().size();
        click(cap, "cbExpStart");
        ASSERT_TRUE(passUntil([cap] { return !cap->runActive(); }, 120'000));
        const auto frames = simrc::captures();
        ASSERT_EQ(frames.size() - before, 1u);
        EXPECT_TRUE(frames.back().bulb);
        EXPECT_EQ(frames.back().exposureMs, 10'000);
        EXPECT_TRUE(testenv::traceLines().contains("--Triggering Serial Shutter--"));
    }

    void sequenceOfTwoSteps() {
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        click(cap, "cbAutomate");
        auto* seq = windows().ifLoadedAs<capture::frmAutomate>(Win::frmAutomate);
        ASSERT_NE(seq, nullptr);
        // The window lists the shipped sample of the default file; tonight runs its own steps.
        while (seq->rows().size() > 1) {
            seq->lbExposures->setCurrentRow(1);
            click(seq, "cbDelete");
        }
        for (const char* length : {"3", "2"}) {
            seq->txtNoExp->setText(QStringLiteral("1"));
            seq->txtExpLength->setText(QString::fromLatin1(length));
            seq->txtDelayBetwExp->setText(QStringLiteral("1"));
            click(seq, "cbAdd");
        }
        ASSERT_EQ(seq->rows().size(), 3);  // the heading and the two steps
        const std::size_t before = simrc::captures().size();
        testenv::dialogs().expectMsgBox(QStringLiteral("Image Quality Setting not on RAW"),
                                        Msg::Yes);  // JPEGs are what this night keeps
        click(seq, "cbStart");
        ASSERT_TRUE(passUntil([seq] { return !seq->sequenceActive(); }, 300'000));
        const auto frames = simrc::captures();
        ASSERT_EQ(frames.size() - before, 2u);
        EXPECT_EQ(frames[before].exposureMs, 3'000);
        EXPECT_EQ(frames[before + 1].exposureMs, 2'000);
        frameOf(seq)->close();
    }

    void reviewAndFullScreen() {
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        cap->TabStrip1->setCurrentIndex(3);  // "Review"
        capture::ReviewTab* review = cap->Review;
        ASSERT_NE(review, nullptr);
        QDeadlineTimer guard(60'000);  // a hang fails instead of blocking the run
        while (review->building() && !guard.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        ASSERT_GE(review->flb->count(), 5);
        review->flb->setCurrentRow(0);
        review->flb_DblClick();
        QTest::mouseDClick(review->AAImageView1, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QWidget* full = windows().ifLoaded(Win::frmFullScreen);
        ASSERT_NE(full, nullptr);
        EXPECT_TRUE(state().vFullScreenOpen);
        QTest::mouseClick(full, Qt::LeftButton);  // a click closes it
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(state().vFullScreenOpen);
    }

    void frameImageWithTheHistogram() {
        toolbar(22);  // "Frame Image"
        QWidget* frame = windows().ifLoaded(Win::frmImage1);
        ASSERT_NE(frame, nullptr);
        // Open... the first frame of the night.
        testenv::dialogs().expectOpenFile(QDir(lights()).filePath(filesIn(lights()).value(0)));
        click(frame, "cbOpen");
        click(frame, "cbShowHist");
        QWidget* hist = windows().ifLoaded(Win::frmHistogram);
        ASSERT_NE(hist, nullptr);
        click(hist, "cmdOK");  // "Done"
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(windows().isLoaded(Win::frmHistogram));
    }

    void telescopeToM31() {
        testenv::driverUi().expectChoose(drivers::kSimTelescopeId);
        menu("mnuTelSetup");
        menu("mnuLinkEst");
        ASSERT_TRUE(state().bScopeLinked);
        menu("mnuTelMotion");
        QWidget* scope = windows().ifLoaded(Win::frmScopeControl);
        ASSERT_NE(scope, nullptr);
        menu("mnuCatalogue");
        auto* objects = control<QComboBox>(scope, "cbObjects");
        const int m31 = objects->findText(QStringLiteral("M31"), Qt::MatchStartsWith);
        ASSERT_GE(m31, 0);
        objects->setCurrentIndex(m31);
        emit objects->activated(m31);
        pass(500);
        click(scope, "cbSlew");
        auto driver = std::dynamic_pointer_cast<drivers::TelescopeSimulator>(sky::scope());
        ASSERT_NE(driver, nullptr);
        ASSERT_TRUE(passUntil([&] { return !driver->Slewing(); }, 120'000));
        pass(1'000);
        // M31: 0h 42m 44s, +41 16' (the catalogue's J2000 position).
        EXPECT_NEAR(driver->RightAscension(), 0.712, 0.01);
        EXPECT_NEAR(driver->Declination(), 41.27, 0.05);
    }

    void focusZoom() {
        toolbar(1);  // "Zoom"
        ASSERT_TRUE(windows().isLoaded(Win::frmZoomer));
        pass(500);
        EXPECT_FALSE(grabber->areas.empty());
    }

    // The monitor runs from the Start click until Stop or the program's end;
    // everything after it happens while it runs.
    void folderMonitorThenTheRest(AtExit atExit) {
        camera::frmCameraControl* cam = cameraWindow();
        ASSERT_NE(cam, nullptr);
        // Its controls are for frames another program saves: the camera goes first.
        click(cam, "cmdDisconnect");
        deliver();
        ASSERT_FALSE(oMainCamera()->connected());
        click(cam, "cmdMonitorFolder");
        camera::ctlFolderMonitor* panel = cam->folderMonitor();
        ASSERT_NE(panel, nullptr);
        const QString watched = QDir(testenv::appDir()).filePath("Remote");
        ASSERT_TRUE(QDir().mkpath(watched));
        testenv::dialogs().expectFolder(watched);
        click(panel, "cmdBrowseMonitor");
        ASSERT_EQ(panel->sMonitorFolder(), watched);

        const QStringList frames = filesIn(lights());
        ASSERT_GE(frames.size(), 2);
        QStringList handed;
        QObject::connect(panel, &camera::ctlFolderMonitor::LoadANewImage,
                         [&handed](const QString& p) { handed << p; });
        QPointer<QWidget> panelAlive(panel);
        auto& clock = testenv::vclock();
        const qint64 t0 = clock.monotonicMs();
        std::vector<std::uint64_t> scheduled;
        auto at = [&](qint64 s, std::function<void()> fn) {
            scheduled.push_back(clock.scheduleAt(t0 + s * 1000, std::move(fn)));
        };
        for (int i = 0; i < 2; ++i) {
            at(2 + 4 * i, [&, i] {
                EXPECT_TRUE(state().bFolderMonitoring);
                EXPECT_TRUE(QFile::copy(
                    QDir(lights()).filePath(frames[i]),
                    QDir(watched).filePath(
                        QStringLiteral("IMG_%1.JPG").arg(i + 1, 4, 10, QLatin1Char('0')))));
            });
        }
        at(12, [&] {
            asUser([&] {
                EXPECT_EQ(handed.size(), 2);
                menu("mnuExpCalc");
                QWidget* calc = windows().ifLoaded(Win::frmExpCalc);
                ASSERT_NE(calc, nullptr);
                const std::pair<const char*, const char*> choices[] = {
                    {"cbBrightness", "Moon, full"},
                    {"cbFilmSpeed", "800"},
                    {"cbRecipFail", "1.00"},
                    {"cbFilterFactor", "1.0"},
                    {"cbFRatio", "5.6"}};
                for (const auto& [box, text] : choices) {
                    auto* combo = control<QComboBox>(calc, box);
                    const int i = combo->findText(QString::fromLatin1(text), Qt::MatchContains);
                    ASSERT_GE(i, 0) << box;
                    combo->setCurrentIndex(i);
                }
                click(calc, "cbCalculate");
                EXPECT_FALSE(control<QLabel>(calc, "lblExposure")->text().isEmpty());
                click(calc, "cbFinish");
            });
        });
        at(13, [&] {
            asUser([&] {
                menu("mnuMoonPhase");
                EXPECT_TRUE(windows().isLoaded(Win::frmMoonPhase));
            });
        });
        at(14, [&] {
            asUser([&] {
                menu("mnuHelp");
                ASSERT_EQ(testenv::desktop().opened.size(), 1u);
                EXPECT_TRUE(testenv::desktop().opened[0].toLocalFile().endsWith(
                    "Zelmora 3.0 User Manual.pdf"));
            });
        });
        at(15, [&] {
            asUser([&] {
                menu("mnuNightVision");
                EXPECT_TRUE(main->menuItem("mnuNightVision")->isChecked());
            });
        });
        at(16, [&] {
            asUser([&] {
                if (atExit == AtExit::MonitorRunning)
                    menu("mnuExit");
                else
                    click(panel, "cmdStop");
            });
        });
        click(panel, "cmdStart");  // returns once monitoring has ended
        for (std::uint64_t id : scheduled)
            clock.cancel(id);  // what did not run refers to this frame
        EXPECT_GE(clock.monotonicMs() - t0, 16'000);
        EXPECT_EQ(handed.size(), 2);
        if (atExit == AtExit::MonitorStopped) {
            ASSERT_TRUE(panelAlive);
            EXPECT_FALSE(state().bFolderMonitoring);
            menu("mnuExit");
        }
    }
};

TEST_P(WholeNight, EveryRoadThenExitEndsClean) {
    connectToTheCamera();
    ASSERT_FALSE(HasFatalFailure());
    takeFocusFrames();
    ASSERT_FALSE(HasFatalFailure());
    clickTheGuideStar();
    ASSERT_FALSE(HasFatalFailure());
    focusContinuously();
    ASSERT_FALSE(HasFatalFailure());
    autofocusWithBothFocusers();
    ASSERT_FALSE(HasFatalFailure());
    switchToCaptureMode();
    ASSERT_FALSE(HasFatalFailure());
    shortRunOfTwoFrames();
    ASSERT_FALSE(HasFatalFailure());
    portSetupWithTheSimulatedSerialCable();
    ASSERT_FALSE(HasFatalFailure());
    bulbOfTenSeconds();
    ASSERT_FALSE(HasFatalFailure());
    sequenceOfTwoSteps();
    ASSERT_FALSE(HasFatalFailure());
    reviewAndFullScreen();
    ASSERT_FALSE(HasFatalFailure());
    frameImageWithTheHistogram();
    ASSERT_FALSE(HasFatalFailure());
    telescopeToM31();
    ASSERT_FALSE(HasFatalFailure());
    focusZoom();
    ASSERT_FALSE(HasFatalFailure());
    folderMonitorThenTheRest(GetParam());
    ASSERT_FALSE(HasFatalFailure());

    // The program has ended as it does for the user.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(platform::shuttingDown());
    EXPECT_FALSE(main->isVisible());
    EXPECT_TRUE(windows().loadedNames().isEmpty())
        << windows().loadedNames().join(' ').toStdString();
    EXPECT_EQ(oMainCamera(), nullptr);
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_FALSE(state().bScopeLinked);
    EXPECT_EQ(testenv::traceLines().last(), "Zelmora closed");
}

INSTANTIATE_TEST_SUITE_P(Exit, WholeNight,
                         ::testing::Values(AtExit::MonitorRunning, AtExit::MonitorStopped),
                         [](const ::testing::TestParamInfo<AtExit>& info) {
                             return info.param == AtExit::MonitorRunning ? "WhileMonitoring"
                                                                         : "MonitorStoppedFirst";
                         });

}  // namespace

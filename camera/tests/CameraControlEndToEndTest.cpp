// The camera window on the real camera release control and the simulated
// camera library: connect, focus frames singly and continuously, capture frames.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "camera/tests/CameraControlFakes.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/core/AppError.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

namespace zelmora::camera::test {
namespace {

class CameraWindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registryDir.isValid());
        automation::registry::setFile(registryDir.filePath("classes.json"));
        frmCameraControl::setControlLibraryFolder(
            QFileInfo(QStringLiteral(VOSQUIN_LIBRARY)).absolutePath());
        testenv::enableTrace();
        main = std::make_unique<FakeMainWindow>();
        oMainCamera() = std::make_shared<clsCamera>();
        registerFakeNeighbours();
        registerWindows();
    }
    void TearDown() override {
        // The control ends its camera session before the library is reset.
        delete win.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        automation::registry::setFile({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
    }

    void openWindow() {
        win = qobject_cast<frmCameraControl*>(windows().show(Win::frmCameraControl));
        ASSERT_NE(win, nullptr);
    }
    void connectCamera() {
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
        win->doconnect();
    }
    // Connected, with what the library reports handled as it comes.
    void connectDeliveringAtOnce() {
        simrc::setSynchronousDelivery(true);
        openWindow();
        connectCamera();
    }
    template <typename T>
    T* child(const char* name) const {
        return win->findChild<T*>(QString::fromLatin1(name));
    }
    // A focus frame asked for through the window, and delivered: what its
    // waiter heard (the file, or why none came) goes to `heard`.
    ReleaseOutcome releaseFocusFrame(QStringList& heard) {
        const ReleaseOutcome outcome = win->releaseFrame(
            FrameKind::Focus,
            [&heard](const FrameDownload& d) { heard << (d.downloaded() ? d.file : d.failure); });
        deliver();
        return outcome;
    }
    // Lets the library's thread finish and the control handle what it posted.
    static void deliver() {
        for (int round = 0; round < 4; ++round) {
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    // Thumb -> PC ticked and Pict -> PC cleared on the control; the status
    // bar's texts from then on go to `status`.
    void thumbnailsAlone(QStringList& status) {
        auto* pictures = child<QCheckBox>("chkPicPc");
        auto* thumbnails = child<QCheckBox>("chkThumbPc");
        ASSERT_TRUE(pictures && thumbnails);
        thumbnails->click();
        pictures->click();
        QObject::connect(oMainCamera().get(), &clsCamera::StatusInfoUpdate, win,
                         [&status](const QString& s) { status << s; });
    }
    FakeImageDisp* focusFrameWindow() {
        return windows().ifLoadedAs<FakeImageDisp>(Win::frmImageDisp);
    }

    QTemporaryDir registryDir;
    std::unique_ptr<FakeMainWindow> main;
    QPointer<frmCameraControl> win;
};

TEST_F(CameraWindowEndToEnd, AFocusFrameGoesFromReleaseToTheFocusFrameWindow) {
    openWindow();
    vosquin::VosquinHost* control = win->Vosquin1();
    ASSERT_NE(control->control(), nullptr) << "the control was not created by its class name";

    connectCamera();
    ASSERT_TRUE(control->Connected());
    EXPECT_TRUE(oMainCamera()->connected());
    EXPECT_TRUE(state().b20D);
    EXPECT_TRUE(control->FocusMode());
    EXPECT_TRUE(control->PicPc());
    EXPECT_EQ(control->ISO(), "800");  // the focus mode's defaults
    EXPECT_EQ(control->Tv(), "4''");
    EXPECT_EQ(main->modes, QStringList{"Connected"});
    EXPECT_TRUE(main->enabled(19));
    EXPECT_TRUE(main->enabled(13));
    EXPECT_EQ(win->batteryPictureShown(), 4);

    win->release();
    deliver();
    const QString frame = testenv::appDir() + "/FocusImages/Focus.jpg";
    EXPECT_TRUE(QFileInfo(frame).isFile());
    ASSERT_NE(focusFrameWindow(), nullptr);
    EXPECT_EQ(focusFrameWindow()->loaded, QStringList{frame});
    EXPECT_EQ(win->sFileDownloaded(), frame);
    EXPECT_FALSE(control->WaitingForDownload());
    EXPECT_FALSE(state().bWaitingForDownload);
    const QStringList trace = testenv::traceLines();
    EXPECT_TRUE(trace.contains("EVENT: frmCameraControl: Vosquin1_OnStatusUpdate: Taking Picture"));
    EXPECT_TRUE(trace.contains("EVENT: frmCameraControl: Vosquin1_OnComplete: " + frame));
}

TEST_F(CameraWindowEndToEnd, TheContinuousLoopTakesAFrameEveryIntervalAndStopsCleanly) {
    connectDeliveringAtOnce();
    ASSERT_TRUE(win->Vosquin1()->Connected());

    main->lbInterval()->setText("2");
    win->StartContinousDownload();
    ASSERT_TRUE(win->model().bContinuousFocus());
    EXPECT_EQ(win->model().ContinuousTimer().interval(), 2000);
    deliver();
    ASSERT_NE(focusFrameWindow(), nullptr);
    EXPECT_EQ(focusFrameWindow()->loaded.size(), 1);  // the first frame at once

    testenv::vclock().advance(10000);  // ticks at 2, 4, 6, 8 and 10 seconds
    deliver();
    const QString frame = testenv::appDir() + "/FocusImages/Focus.jpg";
    EXPECT_EQ(focusFrameWindow()->loaded, QStringList(6, frame));
    EXPECT_EQ(simrc::callCount("RCCapture"), 6);

    win->StartContinousDownload();  // "Stop"
    EXPECT_FALSE(win->model().bContinuousFocus());
    EXPECT_FALSE(main->enabled(15));
    EXPECT_TRUE(main->enabled(13));
    testenv::vclock().advance(10000);
    deliver();
    EXPECT_EQ(focusFrameWindow()->loaded.size(), 6);
    EXPECT_EQ(simrc::callCount("RCCapture"), 6);
    EXPECT_FALSE(state().bWaitingForDownload);
}

TEST_F(CameraWindowEndToEnd, CaptureFramesGoToTheCaptureWindowAndRawFilesAreDeveloped) {
    openWindow();
    connectCamera();
    win->SetCaptureMode();
    ASSERT_TRUE(bCaptureLoaded());
    vosquin::VosquinHost* control = win->Vosquin1();
    EXPECT_FALSE(control->FocusMode());
    control->setPicPc(true);
    control->setFileName("M31-");

    neighbourCalls().clear();
    control->Release();
    deliver();
    const QString jpeg = testenv::appDir() + "/M31-0001.JPG";
    EXPECT_EQ(neighbourCalls(), QStringList{"capture.LoadAThumb(" + jpeg + ")"});

    simrc::setImageFormat({4, 0});  // Raw on the camera body
    deliver();
    ASSERT_EQ(control->ImageQuality(), "Raw");
    neighbourCalls().clear();
    control->Release();
    deliver();
    const QString developed = testenv::appDir() + "/M31-0002.jpg";
    EXPECT_EQ(neighbourCalls(), QStringList{"capture.LoadAThumb(" + developed + ")"});
    EXPECT_TRUE(QFileInfo(developed).isFile());
    EXPECT_TRUE(QFileInfo(testenv::appDir() + "/M31-0002.CR2").isFile());
    EXPECT_TRUE(
        testenv::traceLines().contains("Developing image:" + testenv::appDir() + "/M31-0002.CR2"));
}

// A camera that gives a RAW and a JPEG picture for each release: whoever
// released the frame hears of it once both pictures have been handed on, so
// the next frame, released at once, finds the control free.
TEST_F(CameraWindowEndToEnd, ARawPlusJpegFrameIsDownloadedOnceBothPicturesHaveCome) {
    simrc::setSynchronousDelivery(true);
    simrc::CameraProfile camera = simrc::profiles::eos20D();
    camera.format = {4, 0};  // Raw, Large
    camera.rawPlusJpeg = true;
    simrc::setDevices({camera});
    openWindow();
    connectCamera();
    win->SetCaptureMode();
    vosquin::VosquinHost* control = win->Vosquin1();
    control->setPicPc(true);
    control->setFileName("M31-");
    neighbourCalls().clear();

    QStringList heard;
    QList<ReleaseOutcome::Status> answers;
    std::function<void(const FrameDownload&)> next = [&](const FrameDownload& d) {
        heard << (d.downloaded() ? d.file : d.failure) + " after " +
                     QString::number(neighbourCalls().filter("LoadAThumb").size()) + " shown";
        if (answers.size() < 3) answers << win->releaseFrame(FrameKind::Capture, next).status;
    };
    answers << win->releaseFrame(FrameKind::Capture, next).status;
    deliver();

    using S = ReleaseOutcome::Status;
    EXPECT_EQ(answers, (QList<S>{S::Released, S::Released, S::Released}));
    const QString dir = testenv::appDir() + "/M31-000";
    EXPECT_EQ(heard.join(" | ").toStdString(),
              (QStringList{dir + "1.JPG after 2 shown", dir + "2.JPG after 4 shown",
                           dir + "3.JPG after 6 shown"})
                  .join(" | ")
                  .toStdString());
    for (const char* n : {"1", "2", "3"})
        for (const char* ext : {".CR2", ".JPG"})
            EXPECT_TRUE(QFileInfo(dir + n + ext).isFile()) << n << ext;
    EXPECT_EQ(simrc::captures().size(), 3u);
}

// Thumb -> PC ticked in the control: each focus frame is its picture, shown
// once and heard of once by whoever released it; the thumbnail lies beside it
// under a name of its own and is never shown as the focus frame.
TEST_F(CameraWindowEndToEnd, WithThumbnailsTickedEachFocusFrameIsShownOnceFromItsPicture) {
    simrc::setSensorOverride(1000, 750);
    connectDeliveringAtOnce();
    vosquin::VosquinHost* control = win->Vosquin1();
    ASSERT_TRUE(control->FocusMode());
    auto* thumbnails = child<QCheckBox>("chkThumbPc");
    ASSERT_NE(thumbnails, nullptr);
    thumbnails->click();
    ASSERT_TRUE(control->ThumbPc());
    ASSERT_TRUE(control->PicPc());

    const QString folder = testenv::appDir() + "/FocusImages/";
    struct Row {
        const char* name;
        bool keep;
        int firstNumber;  // the camera's numbering runs on from row to row
    };
    const Row rows[] = {{"one focus frame, replaced", false, 1}, {"focus frames kept", true, 3}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto* keep = child<QCheckBox>("chSaveFocus");
        if (keep->isChecked() != r.keep) keep->click();
        for (int n = r.firstNumber; n < r.firstNumber + 2; ++n) {
            const QString number = r.keep ? QString("%1").arg(n, 4, 10, QChar('0')) : QString();
            const QString picture = folder + number + "Focus.jpg";
            const QString thumbnail = folder + "THM_" + number + "Focus.jpg";
            if (FakeImageDisp* disp = focusFrameWindow()) disp->loaded.clear();
            QStringList heard;
            ASSERT_TRUE(releaseFocusFrame(heard).released());
            ASSERT_NE(focusFrameWindow(), nullptr);
            EXPECT_EQ(focusFrameWindow()->loaded.join(", ").toStdString(), picture.toStdString());
            EXPECT_EQ(heard.join(", ").toStdString(), picture.toStdString());
            EXPECT_EQ(win->sFileDownloaded().toStdString(), picture.toStdString());
            // The picture is the sensor's 1000 x 750 at the quality's size (half of it
            // at the least), the thumbnail the camera's small one.
            const QSize pictureSize = QImageReader(picture).size();
            const QSize thumbnailSize = QImageReader(thumbnail).size();
            EXPECT_GE(pictureSize.width(), 500) << pictureSize.width();
            EXPECT_TRUE(thumbnailSize.isValid()) << "no thumbnail beside the frame";
            EXPECT_LT(thumbnailSize.width(), 500) << thumbnailSize.width();
        }
    }
    EXPECT_EQ(simrc::callCount("RCCapture"), 4);
}

// Pict -> PC cleared when it is the only box: the box shows it cleared, the
// control does not release and the toolbar's buttons say so; a focus frame
// asked for then (autofocus's, the space bar's) ticks it again and comes.
TEST_F(CameraWindowEndToEnd, PictToPcClearedAsTheOnlyBoxShowsClearedAndAFocusFrameTicksItAgain) {
    connectDeliveringAtOnce();
    vosquin::VosquinHost* control = win->Vosquin1();
    auto* pictures = child<QCheckBox>("chkPicPc");
    auto* controlRelease = child<QPushButton>("cmdRelease");
    ASSERT_TRUE(pictures && controlRelease);
    ASSERT_TRUE(pictures->isChecked());
    ASSERT_FALSE(control->ThumbPc());
    ASSERT_TRUE(main->enabled(13));
    ASSERT_TRUE(main->enabled(19));

    pictures->click();
    EXPECT_FALSE(pictures->isChecked());
    EXPECT_FALSE(control->PicPc());
    EXPECT_FALSE(controlRelease->isEnabled());
    EXPECT_FALSE(main->enabled(19)) << "Shutter Release";
    EXPECT_FALSE(main->enabled(13)) << "Start";

    QStringList heard;
    const ReleaseOutcome outcome = releaseFocusFrame(heard);
    EXPECT_TRUE(outcome.released()) << outcome.why.toStdString();
    const QString frame = testenv::appDir() + "/FocusImages/Focus.jpg";
    EXPECT_EQ(heard.join(", ").toStdString(), frame.toStdString());
    EXPECT_TRUE(pictures->isChecked());
    EXPECT_TRUE(control->PicPc());
    EXPECT_TRUE(controlRelease->isEnabled());
    EXPECT_TRUE(main->enabled(19));
    EXPECT_TRUE(main->enabled(13));
}

// The control's own Release with thumbnails alone going to the computer: the
// camera fires, and the thumbnail is no focus frame. Nothing is shown, and the
// user is told which box brings the frame; whoever released it hears of no
// picture.
TEST_F(CameraWindowEndToEnd, AFocusReleaseThatBringsOnlyAThumbnailNamesTheBoxToTick) {
    connectDeliveringAtOnce();
    vosquin::VosquinHost* control = win->Vosquin1();
    auto* controlRelease = child<QPushButton>("cmdRelease");
    ASSERT_NE(controlRelease, nullptr);
    QStringList status;
    ASSERT_NO_FATAL_FAILURE(thumbnailsAlone(status));
    ASSERT_TRUE(control->ThumbPc());
    ASSERT_FALSE(control->PicPc());
    ASSERT_TRUE(controlRelease->isEnabled());

    if (FakeImageDisp* disp = focusFrameWindow()) disp->loaded.clear();
    controlRelease->click();
    deliver();
    EXPECT_EQ(simrc::callCount("RCCapture"), 1);
    if (FakeImageDisp* disp = focusFrameWindow()) EXPECT_TRUE(disp->loaded.isEmpty());
    const QString told = QStringLiteral("Thumbnail only: tick Pict -> PC for a focus frame");
    // The last word in the status bar, after the control's own.
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.last(), told) << status.join(" | ").toStdString();
    EXPECT_TRUE(testenv::traceLines().contains(told));

    // A frame asked for through the window ticks the box again and comes whole.
    QStringList heard;
    ASSERT_TRUE(releaseFocusFrame(heard).released());
    EXPECT_EQ(heard.join(", ").toStdString(),
              (testenv::appDir() + "/FocusImages/Focus.jpg").toStdString());
}

// The thumbnail-only advice stays in the status bar while it holds, and goes
// (the control's last word shows again) once Pict -> PC is ticked or capture
// mode is chosen.
TEST_F(CameraWindowEndToEnd, TheThumbnailOnlyAdviceGoesOnceItNoLongerHolds) {
    enum class Then { TickPictures, CaptureMode, ClearThumbnails };
    const std::pair<const char*, Then> rows[] = {
        {"Pict -> PC ticked", Then::TickPictures},
        {"Capture Mode chosen", Then::CaptureMode},
        {"Thumb -> PC cleared, Pict -> PC still clear", Then::ClearThumbnails},
    };
    const QString advice = QStringLiteral("Thumbnail only: tick Pict -> PC for a focus frame");
    QStringList status;  // outlives each row's window
    bool first = true;
    for (const auto& [name, then] : rows) {
        SCOPED_TRACE(name);
        if (!first) {
            TearDown();
            testenv::resetEnvironment();
            SetUp();
        }
        first = false;
        status.clear();
        connectDeliveringAtOnce();
        ASSERT_NO_FATAL_FAILURE(thumbnailsAlone(status));
        child<QPushButton>("cmdRelease")->click();
        deliver();
        ASSERT_FALSE(status.isEmpty());
        ASSERT_EQ(status.last(), advice);

        if (then == Then::TickPictures)
            child<QCheckBox>("chkPicPc")->click();
        else if (then == Then::CaptureMode)
            win->SetCaptureMode();
        else
            child<QCheckBox>("chkThumbPc")->click();
        deliver();
        EXPECT_EQ(status.last().toStdString(),
                  then == Then::ClearThumbnails ? advice.toStdString() : "Waiting")
            << status.join(" | ").toStdString();
    }
}

// A click on the control's Release leaves the keyboard where it was: the
// button goes off while the frame is taken, and the focus it held must not
// pass to the save path with all its text selected, where the space bar, the
// program's shutter key, would replace the folder with a blank.
TEST_F(CameraWindowEndToEnd, TheSpaceBarAfterAClickOnReleaseLeavesTheSavePathAsItWas) {
    connectDeliveringAtOnce();
    vosquin::VosquinHost* control = win->Vosquin1();
    auto* controlRelease = child<QPushButton>("cmdRelease");
    auto* path = child<QLineEdit>("txtSavePath");
    ASSERT_TRUE(controlRelease && path);
    QWidget* top = win->window();
    top->show();
    top->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(top));
    const QString folder = path->text();
    ASSERT_FALSE(folder.isEmpty());

    // Where the keyboard goes while the frame is taken and comes.
    QStringList focused;
    const QMetaObject::Connection watch = QObject::connect(
        qApp, &QApplication::focusChanged, win, [&focused](QWidget*, QWidget* now) {
            focused << (now ? now->objectName() : QStringLiteral("none"));
        });
    QTest::mouseClick(controlRelease, Qt::LeftButton);
    const bool pathHadIt = QApplication::focusWidget() == path;
    deliver();
    QObject::disconnect(watch);
    EXPECT_FALSE(focused.contains("txtSavePath")) << focused.join(" -> ").toStdString();
    // What the space bar did there: the whole folder, selected, replaced.
    if (pathHadIt || focused.contains("txtSavePath")) {
        path->setFocus(Qt::TabFocusReason);
        QTest::keyClick(path, Qt::Key_Space);
    }
    EXPECT_EQ(path->text(), folder);
    EXPECT_EQ(control->SavePath(), folder);
}

TEST_F(CameraWindowEndToEnd, WithoutTheControlLibraryTheWindowOpensAndSaysSoInTheTrace) {
    frmCameraControl::setControlLibraryFolder(testenv::appDir());  // nothing shipped there
    openWindow();
    EXPECT_EQ(win->Vosquin1(), nullptr);
    const QStringList trace = testenv::traceLines();
    ASSERT_FALSE(trace.isEmpty());
    EXPECT_TRUE(trace[0].startsWith("Error in: Form_Load Camera Control with error:"))
        << trace[0].toStdString();
    // Every operation fails into the trace, none reaches the user or crashes.
    win->release();
    win->StartContinousDownload();
    EXPECT_FALSE(win->model().bContinuousFocus());
    EXPECT_TRUE(testenv::traceLines().last().startsWith("Error in: StartContinousDownload"));
    // doconnect passes the failure to its caller, and can be tried again.
    EXPECT_THROW(win->doconnect(), AppError);
    EXPECT_FALSE(state().bConnecting);
}

}  // namespace
}  // namespace zelmora::camera::test

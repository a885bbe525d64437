#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>

#include "display/DisplayWindows.h"
#include "display/FocusFramePolicy.h"
#include "display/ScrollingImage.h"
#include "display/frmImageDisp.h"
#include "display/tests/DisplayTestSupport.h"
#include "platform/os/Dialogs.h"
#include "shell/Globals.h"
#include "shell/KeyboardHook.h"

using namespace zelmora;
using namespace zelmora::display;
using namespace zelmora::display::testing;
namespace Msg = zelmora::platform::Msg;

namespace {

class ImageDispTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        analysisRecord() = &analysis;
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        remote = std::make_shared<platform::RecordingRemoteApp>();
        platform::RemoteAppControl::setInstance(remote);
        registerWindows();
        windows().registerWindow(Win::frmAnalyze, [] { return new FakeAnalysis; });
        main = std::make_unique<FakeMain>();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override {
        main.reset();
        platform::CursorService::setInstance(nullptr);
        platform::RemoteAppControl::setInstance(nullptr);
        analysisRecord() = nullptr;
    }

    frmImageDisp* open() {
        auto* w = windows().showAs<frmImageDisp>(Win::frmImageDisp);
        QApplication::processEvents();
        return w;
    }
    ScrollingImage* viewer() const {
        return windows().ifLoadedAs<frmImageDisp>(Win::frmImageDisp)->viewer();
    }
    // A click at a point of the viewer, the screen pointer at `screen`.
    void clickAt(const QPoint& at, const QPoint& screen = QPoint(640, 420)) {
        cursor->place(screen);
        QTest::mouseClick(viewer(), Qt::LeftButton, Qt::NoModifier, at);
    }
    QString frame800(const QString& name = QStringLiteral("a.jpg")) {
        return writeFrame(name, 800, 600,
                          {{300, 250, 4.0, 220.0}, {310, 250, 3.0, 150.0}, {400, 380, 5, 180}});
    }
    QStringList tracesAfter(const QString& first) const {
        const QStringList all = testenv::traceLines();
        const qsizetype i = all.indexOf(first);
        return i < 0 ? QStringList{} : all.mid(i);
    }

    AnalysisRecord analysis;
    std::shared_ptr<platform::RecordingCursor> cursor;
    std::shared_ptr<platform::RecordingRemoteApp> remote;
    std::unique_ptr<FakeMain> main;
};

TEST_F(ImageDispTest, FirstStarIsTakenWithoutAQuestionAndCroppedAtTheClick) {
    frmImageDisp* w = open();
    const QString path = frame800();
    w->LoadImage(path);
    ASSERT_EQ(viewer()->twipsPerPixel().x, 15.0);
    EXPECT_TRUE(analysis.events.isEmpty());  // no star yet: shown, not analysed
    EXPECT_TRUE(cursor->moves.empty());
    EXPECT_EQ(viewer()->GetImage(), expectedCrop(path, 0, 0));  // the box starts at the corner

    clickAt(QPoint(300, 250));
    const ProgramState& s = state();
    EXPECT_EQ(s.lStarX, 300);
    EXPECT_EQ(s.lStarY, 250);
    EXPECT_TRUE(s.bStarChosen);
    EXPECT_TRUE(s.bNewStar);
    EXPECT_TRUE(testenv::dialogs().shown().empty());
    EXPECT_EQ(analysis.events, (QStringList{"load", "updateHistory"}));
    ASSERT_EQ(analysis.crops.size(), 1u);
    EXPECT_EQ(analysis.crops[0], expectedCrop(path, 250, 200));
    EXPECT_EQ(viewer()->FocusClick().X, 300.0);
    // The pointer is put back exactly where it was; the offset is kept.
    EXPECT_EQ(cursor->moves, std::vector<QPoint>{QPoint(640, 420)});
    const QPoint frameTwips = frameOf(w)->pos() * 15;
    EXPECT_EQ(s.lCursorOffsetX, 640 * 15 - frameTwips.x());
    // The pixel box and the twips box.
    EXPECT_EQ(main->panels[3]->text(), QStringLiteral("(300, 250)"));
    EXPECT_EQ(main->panels[4]->text(), QStringLiteral("(4500, 3750)"));

    // The next frame: the pointer goes back over the star twice, the
    // analysis comes forward behind this window and gets the new crop.
    cursor->moves.clear();
    const QString next = writeFrame("b.jpg", 800, 600, {{302, 251, 5.0, 200.0}});
    w->LoadImage(next);
    EXPECT_EQ(analysis.events, (QStringList{"load", "updateHistory", "updateHistory"}));
    EXPECT_EQ(analysis.crops.back(), expectedCrop(next, 250, 200));
    EXPECT_EQ(cursor->moves, (std::vector<QPoint>{QPoint(640, 420), QPoint(640, 420)}));
    EXPECT_EQ(tracesAfter("Loading Image:" + next),
              (QStringList{"Loading Image:" + next, "Analysing Star"}));
}

TEST_F(ImageDispTest, ALaterStarTenPixelsAwayAsksAndNoLeavesEverythingAsItWas) {
    frmImageDisp* w = open();
    const QString path = frame800();
    w->LoadImage(path);
    clickAt(QPoint(300, 250));
    const QImage crop = viewer()->GetImage();
    const QStringList events = analysis.events;

    bool boxFlag = false;
    testenv::dialogs().expectMsgBox(policy::kDifferentStarQuestion, Msg::No).whileShowing([&] {
        boxFlag = state().bMsgBoxShowing;
    });
    cursor->moves.clear();
    clickAt(QPoint(310, 250), QPoint(650, 420));
    ASSERT_EQ(testenv::dialogs().shown().size(), 1u);
    EXPECT_EQ(testenv::dialogs().shown()[0].style,
              Msg::YesNo | Msg::Critical | Msg::DefaultButton2);
    EXPECT_TRUE(boxFlag);
    EXPECT_EQ(viewer()->GetImage(), crop);
    EXPECT_EQ(viewer()->FocusClick().X, 300.0);
    EXPECT_EQ(analysis.events, events);
    EXPECT_EQ(state().lStarX, 300);
    EXPECT_FALSE(state().bStarChosen);
    EXPECT_EQ(cursor->moves, std::vector<QPoint>{QPoint(640, 420)});  // back over the old star

    // Nine pixels away is the same star: re-cropped at the click, star kept,
    // the analysis started afresh.
    clickAt(QPoint(309, 259), QPoint(649, 429));
    EXPECT_EQ(testenv::dialogs().shown().size(), 1u);
    EXPECT_EQ(state().lStarX, 300);
    EXPECT_EQ(state().lStarY, 250);
    EXPECT_EQ(viewer()->GetImage(), expectedCrop(path, 259, 209));
    EXPECT_EQ(analysis.events.mid(events.size()), (QStringList{"close", "load", "updateHistory"}));

    // Yes: the new star is stored and the analysis restarts.
    testenv::dialogs().expectMsgBox(policy::kDifferentStarQuestion, Msg::Yes);
    clickAt(QPoint(400, 380));
    EXPECT_EQ(state().lStarX, 400);
    EXPECT_EQ(viewer()->GetImage(), expectedCrop(path, 350, 330));
}

TEST_F(ImageDispTest, AClickNearTheEdgeIsRefused) {
    frmImageDisp* w = open();
    w->LoadImage(frame800());
    testenv::dialogs().expectMsgBox(policy::kEdgeMessage);
    clickAt(QPoint(99, 300));
    ASSERT_EQ(testenv::dialogs().shown().size(), 1u);
    EXPECT_EQ(testenv::dialogs().shown()[0].style, Msg::OKOnly | Msg::Exclamation);
    EXPECT_EQ(state().lStarX, 0);
    EXPECT_TRUE(analysis.events.isEmpty());
    clickAt(QPoint(100, 300));  // exactly at the margin
    EXPECT_EQ(state().lStarX, 100);
}

TEST_F(ImageDispTest, ANewFrameKeepsTheViewAndACropPastTheFrameIsBlack) {
    frmImageDisp* w = open();
    w->LoadImage(writeFrame("big.jpg", 1600, 1200, {{1000, 760, 4.0, 220.0}}));
    ScrollingImage* v = viewer();
    v->SetHS(3000);  // the picture 800 px to the left
    v->SetVS(1800);  // and 480 px up
    EXPECT_EQ(v->getHPosition(), -12000);
    EXPECT_EQ(v->picturePixelOffset(), QPoint(-800, -480));

    // Same region after a frame of another size that still fills the bars.
    const QString mid = writeFrame("mid.jpg", 1400, 1000, {{1000, 760, 4.0, 220.0}});
    w->LoadImage(mid);
    EXPECT_EQ(v->getHS(), 3000);
    EXPECT_EQ(v->getVS(), 1800);
    EXPECT_EQ(v->getHPosition(), -12000);
    EXPECT_EQ(v->getVPosition(), -7200);

    clickAt(QPoint(200, 280));  // picture pixel (1000, 760)
    ASSERT_EQ(state().lStarX, 1000);
    EXPECT_EQ(state().lStarY, 760);

    // A smaller frame: the bars cannot take the old values, the offsets stay;
    // the box reaches past the frame's right and bottom edges.
    const QString small = writeFrame("small.jpg", 1000, 800, {{990, 790, 4.0, 220.0}});
    w->LoadImage(small);
    EXPECT_EQ(v->getHPosition(), -12000);
    EXPECT_EQ(v->getVPosition(), -7200);
    ASSERT_FALSE(analysis.crops.empty());
    const QImage crop = analysis.crops.back();
    EXPECT_EQ(crop, expectedCrop(small, 950, 710));
    EXPECT_EQ(crop.pixel(99, 99), qRgb(0, 0, 0));
    EXPECT_NE(crop.pixel(40, 80), qRgb(0, 0, 0));
}

TEST_F(ImageDispTest, AFrameWiderThanASixteenBitBarLoads) {
    frmImageDisp* w = open();
    w->LoadImage(writeFrame("wide.jpg", 9600, 120, {{9400, 60, 3.0, 200.0}}));
    EXPECT_TRUE(testenv::dialogs().shown().empty());
    ScrollingImage* v = viewer();
    EXPECT_GT(v->hs().max(), 32767);
    v->BottomRight();
    EXPECT_EQ(v->getHS(), v->hs().max());
    EXPECT_EQ(v->getHPosition(), -4 * v->hs().max());
}

TEST_F(ImageDispTest, PositionsMoveASmallFrameInsideTheView) {
    frmImageDisp* w = open();
    w->LoadImage(writeFrame("tiny.jpg", 200, 150, {{100, 75, 3.0, 200.0}}));
    ScrollingImage* v = viewer();
    const QRect view = v->viewArea();
    ASSERT_LT(v->hs().max(), 0);
    ASSERT_LT(v->vs().max(), 0);
    v->BottomRight();
    // The picture's bottom-right corner sits at the view's, within a bar unit.
    const QPoint corner = v->picturePixelOffset() + QPoint(200, 150);
    EXPECT_NEAR(corner.x(), view.width(), 1);
    EXPECT_NEAR(corner.y(), view.height(), 1);
    v->TopLeft();
    EXPECT_EQ(v->picturePixelOffset(), QPoint(0, 0));
    v->centreImage();
    EXPECT_EQ(v->getHS(), policy::barMiddle(0, v->hs().max()));
}

TEST_F(ImageDispTest, AMissingOrCorruptFrameIsReportedAndNotAnalysed) {
    frmImageDisp* w = open();
    const QString good = frame800();
    w->LoadImage(good);
    clickAt(QPoint(300, 250));
    const QStringList events = analysis.events;
    const QString corrupt = AppPaths::join(testenv::appDir(), "corrupt.jpg");
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\xFF\xD8\xFF\xE0 not really a picture", 26));
    }
    for (const QString& path : {AppPaths::join(testenv::appDir(), "missing.jpg"), corrupt}) {
        testenv::dialogs().expectMsgBox(
            QStringLiteral("An error in Set Image occured trying to open file: ") + path);
        const qint64 before = testenv::vclock().monotonicMs();
        w->LoadImage(path);
        EXPECT_EQ(testenv::vclock().monotonicMs() - before, 1000);
        const QString attempt =
            QStringLiteral("An error occured in Set Image trying to open file - Attempt:");
        EXPECT_EQ(
            tracesAfter("Loading Image:" + path),
            (QStringList{"Loading Image:" + path, attempt + "1 " + path, attempt + "2 " + path}));
        EXPECT_EQ(analysis.events, events);  // no analysis of the old crop
    }
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(ImageDispTest, FirstOpeningSizeAndPlaceAndTheSizeIsSavedOnClose) {
    frmImageDisp* w = open();
    QWidget* frame = frameOf(w);
    ASSERT_NE(frame, w);
    EXPECT_EQ(frame->size(), QSize(500, 500));
    EXPECT_EQ(frame->pos(), policy::firstPlacement(main->width(), 500));
    EXPECT_EQ(main->toolbar, QStringList{"ImageWindowOpen"});
    EXPECT_EQ(w->viewer()->size(), w->size() - QSize(5, 5));
    frame->resize(640, 480);
    frame->close();
    EXPECT_FALSE(bImageDispLoaded());
    EXPECT_EQ(main->toolbar, (QStringList{"ImageWindowOpen", "ImageWindowClose"}));
    EXPECT_EQ(Settings::get("WindowPos", "Image DisplayWidth", ""), QStringLiteral("640"));
    EXPECT_EQ(Settings::get("WindowPos", "Image DisplayHeight", ""), QStringLiteral("480"));
}

TEST_F(ImageDispTest, SavedSizesAreReadTolerantlyAndABadOneIsTraced) {
    Settings::save("WindowPos", "Image DisplayWidth", "600.4");
    Settings::save("WindowPos", "Image DisplayHeight", "420");
    frmImageDisp* w = open();
    EXPECT_EQ(frameOf(w)->size(), QSize(600, 420));
    frameOf(w)->close();
    QApplication::processEvents();

    Settings::save("WindowPos", "Image DisplayWidth", "wide");
    w = open();
    EXPECT_TRUE(testenv::traceLines().contains("Error in: Form_Load with error:Type mismatch 13"));
    EXPECT_TRUE(bImageDispLoaded());
}

TEST_F(ImageDispTest, SpaceBarTable) {
    frmImageDisp* w = open();
    auto* camera = new FakeCamera;
    windows().registerWindow(Win::frmCameraControl, [camera] { return camera; });
    windows().load(Win::frmCameraControl);
    camera->hotKey = "Ctrl+Shift+F";
    ProgramState& s = state();

    // Plain: the camera window releases.
    w->ProcessSpaceBar();
    EXPECT_EQ(camera->releases, 1);

    // Monitoring without a remote application: only the status text.
    s.bFolderMonitoring = true;
    w->ProcessSpaceBar();
    EXPECT_EQ(main->panels[0]->text(), QStringLiteral("Firing shutter in Remote Application"));
    EXPECT_TRUE(remote->calls.isEmpty());
    EXPECT_EQ(camera->releases, 1);

    // With one: its window first, then the keys.
    s.lRemoteAppTaskId = 4242;
    w->ProcessSpaceBar();
    EXPECT_EQ(remote->calls, (QStringList{"activate 4242", "send"}));
    ASSERT_EQ(remote->sent.size(), 1u);
    EXPECT_EQ(remote->sent[0], (std::vector<platform::KeyStroke>{{true, true, false, "F"}}));
    EXPECT_EQ(camera->releases, 1);

    // The remote window cannot be made active: nothing is sent, it is traced.
    remote->calls.clear();
    remote->activates = false;
    s.bFolderMonitoring = false;
    s.bMonitorMode = true;
    w->ProcessSpaceBar();
    EXPECT_EQ(remote->calls, QStringList{"activate 4242"});
    EXPECT_TRUE(
        testenv::traceLines().contains("Remote application window not found: no keys sent"));
    // Our own process is never the target.
    remote->calls.clear();
    s.lRemoteAppTaskId = static_cast<std::int32_t>(QCoreApplication::applicationPid());
    w->ProcessSpaceBar();
    EXPECT_TRUE(remote->calls.isEmpty());
    EXPECT_EQ(camera->releases, 1);
    EXPECT_EQ(testenv::traceLines().count("Processing SPACEBAR"), 5);
}

TEST_F(ImageDispTest, TheAnalysisComesUpJustUnderTheFrameNotUnderOtherWindows) {
    // Another window open before the frame comes, as the camera window is.
    windows().registerWindow(Win::frmCameraControl, [] { return new QWidget; });
    QWidget* other = frameOf(windows().show(Win::frmCameraControl));
    frmImageDisp* w = open();
    w->LoadImage(frame800());
    clickAt(QPoint(300, 250));
    other->raise();  // the user brings the other window forward
    w->LoadImage(writeFrame("b.jpg", 800, 600, {{302, 251, 5.0, 200.0}}));
    QApplication::processEvents();

    QWidget* analysisFrame = frameOf(windows().ifLoaded(Win::frmAnalyze));
    const QObjectList order = frameOf(w)->parentWidget()->children();  // bottom first
    const auto at = [&](QWidget* x) { return order.indexOf(x); };
    EXPECT_EQ(at(frameOf(w)), order.size() - 1);  // the frame on top
    EXPECT_EQ(at(analysisFrame), at(frameOf(w)) - 1);
    EXPECT_LT(at(other), at(analysisFrame));
}

TEST_F(ImageDispTest, SimulationStepsThroughTheImagesFolder) {
    const QString folder = AppPaths::join(testenv::appDir(), "images");
    QDir().mkpath(folder);
    writeFrame("images/one.jpg", 400, 300, {{200, 150, 3.0, 200.0}});
    writeFrame("images/two.jpg", 400, 300, {{210, 150, 3.0, 200.0}});
    state().bSimulationMode = true;
    frmImageDisp* w = open();
    EXPECT_EQ(w->viewer()->frame().Width(), 400);  // the first file at load
    w->ProcessSpaceBar();
    EXPECT_EQ(state().sSimulatedFile, QStringLiteral("one.jpg"));
    w->ProcessSpaceBar();
    EXPECT_EQ(state().sSimulatedFile, QStringLiteral("two.jpg"));
    w->ProcessSpaceBar();  // after the last one the list starts again
    EXPECT_EQ(state().sSimulatedFile, QStringLiteral("one.jpg"));
    EXPECT_TRUE(testenv::traceLines().contains("Simulating exposure"));
}

TEST_F(ImageDispTest, ArrowKeysNudgeOncePerPressNeverOnRepeat) {
    frmImageDisp* w = open();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    cursor->place(QPoint(300, 300));
    QWindow* win = main->windowHandle();
    QTest::simulateEvent(win, true, Qt::Key_Right, Qt::NoModifier, QString(), false);
    QTest::simulateEvent(win, true, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(win, true, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QTest::simulateEvent(win, false, Qt::Key_Right, Qt::NoModifier, QString(), false);
    QTest::simulateEvent(win, true, Qt::Key_Down, Qt::NoModifier, QString(), false);
    w->iNudgeStep = 3;
    QTest::simulateEvent(win, true, Qt::Key_Left, Qt::NoModifier, QString(), false);
    QTest::simulateEvent(win, true, Qt::Key_Up, Qt::NoModifier, QString(), false);
    EXPECT_EQ(cursor->moves, (std::vector<QPoint>{QPoint(301, 300), QPoint(301, 301),
                                                  QPoint(298, 301), QPoint(298, 298)}));
    frameOf(w)->close();
    cursor->moves.clear();
    QTest::simulateEvent(win, true, Qt::Key_Right, Qt::NoModifier, QString(), false);
    EXPECT_TRUE(cursor->moves.empty());  // closed: no more nudges
}

TEST_F(ImageDispTest, SpaceTypedOnTheWindowFiresOnlyWithoutTheHook) {
    frmImageDisp* w = open();
    auto* camera = new FakeCamera;
    windows().registerWindow(Win::frmCameraControl, [camera] { return camera; });
    windows().load(Win::frmCameraControl);
    auto* box = w->findChild<QLineEdit*>("txtFocusCap");
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(camera->releases, 1);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_TRUE(testenv::traceLines().contains("processing keypress"));
    Globals::InstallKeyboardHook();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(camera->releases, 1);
}

}  // namespace

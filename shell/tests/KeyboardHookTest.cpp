#include <gtest/gtest.h>

#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include "platform/core/AppError.h"
#include "shell/KeyboardHook.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using Globals::SpaceBarAction;

namespace {

std::vector<QString>* gLog = nullptr;

// Stand-ins for the two windows the space bar fires through.
class FakeImageDisp : public QWidget, public IImageDispWindow {
public:
    FakeImageDisp() { windows().markLoaded(Win::frmImageDisp, this); }
    ~FakeImageDisp() override { windows().markUnloaded(Win::frmImageDisp); }
    void ProcessSpaceBar() override {
        gLog->push_back(QStringLiteral("ProcessSpaceBar") + (isVisible() ? " (shown)" : ""));
    }
    IFocusFrameViewer* ImageDisp() override { return nullptr; }
    void LoadImage(const QString&) override {}
};

class FakeCameraControl : public QWidget, public ICameraControlWindow {
public:
    FakeCameraControl() { windows().markLoaded(Win::frmCameraControl, this); }
    ~FakeCameraControl() override { windows().markUnloaded(Win::frmCameraControl); }
    ReleaseOutcome release(FrameKind) override {
        gLog->push_back(QStringLiteral("release"));
        return ReleaseOutcome::ok();
    }
    void StartContinousDownload() override {}
};

// Counts the key releases that reach one widget, to show the event really
// passes through several.
class ReleaseCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyRelease) ++count;
        return false;
    }
    int count = 0;
};

class KeyboardHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        gLog = &log;
        testenv::enableTrace();
        Globals::setShutterButtonQuery([this] { return shutterButton; });
        Globals::InstallKeyboardHook();
        windows().registerWindow(
            Win::frmImageDisp, [] { return new FakeImageDisp; }, false);
        camera = std::make_unique<FakeCameraControl>();

        // A window with a text box two levels down, as the program's windows have.
        top = std::make_unique<QWidget>();
        auto* frame = new QFrame(top.get());
        auto* inner = new QWidget(frame);
        edit = new QLineEdit(inner);
        leaf = new QWidget(inner);  // takes no keys: releases propagate to its parents
        leaf->setFocusPolicy(Qt::StrongFocus);
        auto* innerLayout = new QVBoxLayout(inner);
        innerLayout->addWidget(edit);
        innerLayout->addWidget(leaf);
        (new QVBoxLayout(frame))->addWidget(inner);
        (new QVBoxLayout(top.get()))->addWidget(frame);
        top->show();
        top->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(top.get()));
        edit->setFocus();
        frame->installEventFilter(&frameCounter);
        top->installEventFilter(&topCounter);
    }
    void TearDown() override {
        top.reset();
        camera.reset();
        gLog = nullptr;
    }
    QWindow* window() const { return top->windowHandle(); }
    void releaseSpace(bool autoRepeat = false) {
        QTest::simulateEvent(window(), false, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                             autoRepeat);
    }
    void pressSpace(bool autoRepeat = false) {
        QTest::simulateEvent(window(), true, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "),
                             autoRepeat);
    }
    QStringList spaceTraces() const {
        return testenv::traceLines().filter(QStringLiteral("Space pressed"));
    }

    std::vector<QString> log;
    bool shutterButton = true;
    std::unique_ptr<FakeCameraControl> camera;
    std::unique_ptr<QWidget> top;
    QLineEdit* edit = nullptr;
    QWidget* leaf = nullptr;
    ReleaseCounter frameCounter, topCounter;
};

}  // namespace

TEST(SpaceBarDecisionTest, OnlyTheSpaceBarsReleaseActs) {
    struct Case {
        int key;
        bool released;
        SpaceBarAction action;
    };
    const Case cases[] = {
        {Globals::kVkSpace, true, SpaceBarAction::ReleaseInCameraControl},
        {Globals::kVkSpace, false, SpaceBarAction::None},
        {Qt::Key_Return, true, SpaceBarAction::None},
        {Qt::Key_A, true, SpaceBarAction::None},
    };
    for (const Case& c : cases) {
        const auto d = Globals::decideHookedKey(c.key, c.released, true, false, true);
        EXPECT_EQ(d.action, c.action) << c.key << " " << c.released;
        EXPECT_EQ(d.trace.isEmpty(), c.action == SpaceBarAction::None);
    }
}

// The three rows, first match acting, through Qt's own delivery of a release
// from the window system down to a focused text box.
TEST_F(KeyboardHookTest, DecisionTableThroughTheRealDeliveryPath) {
    struct Case {
        const char* name;
        bool shutterButton, imageDispLoaded, folderMonitoring;
        std::vector<QString> calls;
        QString trace;
    };
    const Case cases[] = {
        {"button and image display",
         true,
         true,
         false,
         {"ProcessSpaceBar"},
         "Space pressed. Firing shutter by processing space"},
        {"all three",
         true,
         true,
         true,
         {"ProcessSpaceBar"},
         "Space pressed. Firing shutter by processing space"},
        {"button only",
         true,
         false,
         false,
         {"release"},
         "Space pressed. Releasing shutter in Camera control"},
        {"button and folder monitor",
         true,
         false,
         true,
         {"release"},
         "Space pressed. Releasing shutter in Camera control"},
        {"folder monitor",
         false,
         false,
         true,
         {"ProcessSpaceBar (shown)"},
         "Space pressed. Firing shutter by processing space in folder monitor"},
        {"folder monitor, display loaded",
         false,
         true,
         true,
         {"ProcessSpaceBar (shown)"},
         "Space pressed. Firing shutter by processing space in folder monitor"},
        {"display loaded, button off", false, true, false, {}, ""},
        {"nothing", false, false, false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        shutterButton = c.shutterButton;
        state().bFolderMonitoring = c.folderMonitoring;
        std::unique_ptr<FakeImageDisp> disp;
        if (c.imageDispLoaded) disp = std::make_unique<FakeImageDisp>();
        const qsizetype before = spaceTraces().size();

        releaseSpace();

        EXPECT_EQ(log, c.calls);
        const QStringList traces = spaceTraces().mid(before);
        if (c.trace.isEmpty()) {
            EXPECT_TRUE(traces.isEmpty());
        } else {
            EXPECT_EQ(traces, QStringList{c.trace});
        }
        // The display shown for the folder monitor goes with the case.
        if (!disp) delete windows().ifLoaded(Win::frmImageDisp);
    }
}

TEST_F(KeyboardHookTest, OnceOnReleaseNeverOnAutoRepeatNotOncePerWidget) {
    leaf->setFocus();
    ASSERT_TRUE(leaf->hasFocus());
    pressSpace();
    for (int i = 0; i < 5; ++i) {  // the key held down
        releaseSpace(true);
        pressSpace(true);
    }
    EXPECT_TRUE(log.empty()) << "auto-repeat and presses fire nothing";
    releaseSpace();
    EXPECT_EQ(log, std::vector<QString>{"release"});
    EXPECT_GE(frameCounter.count, 1) << "the release passed the text box's parents";
    EXPECT_GE(topCounter.count, 1);
    EXPECT_EQ(spaceTraces().size(), 1);

    QTest::keyRelease(window(), Qt::Key_A);
    EXPECT_EQ(log.size(), 1u) << "other keys do nothing";
}

TEST_F(KeyboardHookTest, TheKeyStillReachesTheTextBox) {
    QTest::keyClick(window(), Qt::Key_Space, Qt::NoModifier);
    EXPECT_EQ(edit->text(), " ");
    EXPECT_EQ(log, std::vector<QString>{"release"});
}

TEST_F(KeyboardHookTest, AfterRemovalTheSpaceBarDoesNothing) {
    Globals::RemoveKeyboardHook();
    releaseSpace();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(testenv::traceLines().last(), "Hooked:True :1");
}

TEST_F(KeyboardHookTest, AFailingReleaseIsTracedAndTheKeyGoesOn) {
    class Throwing : public QWidget, public ICameraControlWindow {
    public:
        Throwing() { windows().markLoaded(Win::frmCameraControl, this); }
        ReleaseOutcome release(FrameKind) override {
            throw AppError(91, "frmCameraControl", "release failed");
        }
        void StartContinousDownload() override {}
    };
    camera.reset();
    Throwing failing;
    QTest::keyClick(window(), Qt::Key_Space, Qt::NoModifier);
    EXPECT_EQ(edit->text(), " ");
    EXPECT_EQ(testenv::traceLines().last(),
              "Error in: ProcessHookedKey with error:release failed 91");
}

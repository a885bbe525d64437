// The folder-monitor panel inside the camera control window: a new JPEG in the
// watched folder reaches the focus-frame window; the window answers the hot
// key and the last file from its panel.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include "camera/clsCamera.h"
#include "camera/ctlFolderMonitor.h"
#include "camera/frmCameraControl.h"
#include "camera/tests/CameraControlFakes.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

namespace zelmora::camera::test {
namespace {

class FolderMonitorHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = std::make_unique<FakeMainWindow>();
        oMainCamera() = std::make_shared<clsCamera>();
        registerFakeNeighbours();
        frmCameraControl::setControlFactory([] { return std::make_unique<FakeVosquinControl>(); });
        Settings::save("Options", "MonitorFolder", tmp.path());
        Settings::save("Options", "HotKey", "{F3}");
        win = new frmCameraControl;
        neighbourCalls().clear();
    }
    void TearDown() override {
        delete win.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir tmp;
    std::unique_ptr<FakeMainWindow> main;
    QPointer<frmCameraControl> win;
};

TEST_F(FolderMonitorHostTest, NewJpegInTheWatchedFolderGoesToTheFocusFrameWindow) {
    win->setupFolderMonitor();  // loads the panel's settings
    ctlFolderMonitor* panel = win->folderMonitor();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(win->RemoteHotKey(), "{F3}");
    const QString path = tmp.path() + "/IMG_0042.JPG";
    testenv::vclock().scheduleIn(300, [&] {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, 'j'));
    });
    testenv::vclock().scheduleIn(4000, [&] {
        EXPECT_TRUE(state().bFolderMonitoring);
        panel->findChild<QPushButton*>("cmdStop")->click();
    });
    panel->findChild<QPushButton*>("cmdStart")->click();
    EXPECT_TRUE(neighbourCalls().contains("disp.LoadImage(" + path + ")"));
    EXPECT_EQ(win->MonitorLastUpdate(), path);
    EXPECT_FALSE(state().bFolderMonitoring);

    win->DisableMonitorControls();
    EXPECT_FALSE(panel->findChild<QPushButton*>("cmdStart")->isEnabled());
    EXPECT_FALSE(panel->findChild<QComboBox*>("lbHotkey")->isEnabled());
    win->EnableMonitorControls();
    EXPECT_TRUE(panel->findChild<QPushButton*>("cmdStart")->isEnabled());
}

// While a camera is connected the panel's controls are grey, and it says why,
// in full, inside the panel the window shows.
TEST_F(FolderMonitorHostTest, ConnectedCameraGreysThePanelAndItSaysWhy) {
    win->setupFolderMonitor();
    frameOf(win.data())->show();
    ctlFolderMonitor* panel = win->folderMonitor();
    auto* note = panel->findChild<QLabel*>("lblCameraNote");
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isVisibleTo(win));
    win->DisableMonitorControls();  // as a camera connects
    QCoreApplication::processEvents();
    EXPECT_FALSE(panel->findChild<QPushButton*>("cmdStart")->isEnabled());
    ASSERT_TRUE(note->isVisibleTo(win));
    EXPECT_EQ(note->text(), ctlFolderMonitor::kCameraConnectedNote);
    EXPECT_GE(note->width(), note->fontMetrics().horizontalAdvance(note->text()));
    EXPECT_GE(note->height(), note->fontMetrics().height());
    // Inside the panel, and the panel inside the window.
    const QRect inPanel(note->mapTo(panel, QPoint(0, 0)), note->size());
    EXPECT_TRUE(panel->rect().contains(inPanel));
    EXPECT_TRUE(win->rect().contains(panel->geometry()));
    win->EnableMonitorControls();  // as it disconnects
    EXPECT_FALSE(note->isVisibleTo(win));
    EXPECT_TRUE(panel->findChild<QPushButton*>("cmdRemoteApp")->isVisibleTo(win));
}

TEST_F(FolderMonitorHostTest, ChoosingFolderMonitoringAsTheSourceShowsThePanel) {
    EXPECT_FALSE(win->folderMonitor()->isVisibleTo(win));
    emit oMainCamera()->SetupMonitorFolder();
    EXPECT_TRUE(win->folderMonitor()->isVisibleTo(win));
    EXPECT_EQ(win->formHeightTwips(), 5340);
    EXPECT_EQ(win->RemoteHotKey(), "{F3}");  // the panel's settings were loaded
}

TEST_F(FolderMonitorHostTest, TheMonitorFolderButtonShowsThePanel) {
    EXPECT_FALSE(win->folderMonitor()->isVisibleTo(win));
    win->findChild<QPushButton*>("cmdMonitorFolder")->click();
    EXPECT_TRUE(win->folderMonitor()->isVisibleTo(win));
    EXPECT_EQ(win->formHeightTwips(), 5340);
}

TEST_F(FolderMonitorHostTest, WindowClosedWhileMonitoringEndsTheRun) {
    win->setupFolderMonitor();
    testenv::vclock().scheduleIn(1500, [&] { delete win.data(); });
    win->folderMonitor()->findChild<QPushButton*>("cmdStart")->click();
    EXPECT_TRUE(win.isNull());
    EXPECT_FALSE(state().bFolderMonitoring);
}

}  // namespace
}  // namespace zelmora::camera::test

// The folder monitor runs inside the Start click of its panel, which stays on
// the stack for the whole run: whatever else the user does meanwhile (leave
// the program, close the camera window, the camera coming or going) must end
// or leave the run without anything working on a freed panel or window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include "camera/CameraWindows.h"
#include "camera/FolderMonitor.h"
#include "camera/clsCamera.h"
#include "camera/ctlFolderMonitor.h"
#include "camera/frmCameraControl.h"
#include "camera/tests/CameraControlFakes.h"
#include "mainwindow/MDIMain.h"
#include "platform/time/QtClock.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"
#include "vosquin/VosquinInterface.h"

namespace zelmora::camera::test {
namespace {

namespace ids = vosquin::ids;

class FolderMonitorExitTest : public ::testing::Test {
public:
    void SetUp() override {
        testenv::enableTrace();
        registerWindows();
        frmCameraControl::setControlFactory([this] {
            auto c = std::make_unique<FakeVosquinControl>();
            ctl = c.get();
            return c;
        });
        Settings::save("Options", "MonitorFolder", tmp.path());
        main = new MDIMain;
        main->Form_Load();
        main->show();
    }
    void TearDown() override {
        delete main.data();
        windows().reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Toolbar "Connect to Camera", then "Monitor Folder...": the panel shows.
    ctlFolderMonitor* openPanel() {
        QAction* connectButton = nullptr;
        for (QAction* a : main->findChildren<QAction*>())
            if (a->toolTip() == QStringLiteral("Connect to Camera") && a->parent() != nullptr &&
                qobject_cast<QToolBar*>(a->parent()))
                connectButton = a;
        if (!connectButton) connectButton = main->menuItem(QStringLiteral("mnuConnect"));
        connectButton->setEnabled(true);
        connectButton->trigger();
        cam = windows().ifLoadedAs<frmCameraControl>(Win::frmCameraControl);
        if (!cam) return nullptr;
        cam->findChild<QPushButton*>("cmdMonitorFolder")->click();
        panel = cam->folderMonitor();
        return panel;
    }
    QPushButton* button(const char* name) { return panel->findChild<QPushButton*>(name); }
    void exitProgram() { main->menuItem(QStringLiteral("mnuExit"))->trigger(); }
    // As the user's action arrives: an event handled inside the monitor's waits.
    static void asEvent(std::function<void()> fn) {
        QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
    }

    QTemporaryDir tmp;  // an empty folder
    QPointer<MDIMain> main;
    QPointer<frmCameraControl> cam;
    QPointer<ctlFolderMonitor> panel;
    FakeVosquinControl* ctl = nullptr;
};

// Connect to Camera, Monitor Folder, Start Monitoring on an empty folder, then
// Application -> Exit, all inside the program's own event loop on the real
// clock, as the program runs: it ends at once and clean (the sanitizers watch).
TEST_F(FolderMonitorExitTest, ExitWhileMonitoringAnEmptyFolderEndsClean) {
    platform::setClock(std::make_shared<platform::QtClock>());
    bool started = false;
    QTimer::singleShot(0, qApp, [&] {
        ASSERT_NE(openPanel(), nullptr);
        QTimer::singleShot(0, main, [&] { exitProgram(); });
        started = true;
        button("cmdStart")->click();  // returns once the run has ended
    });
    // Only if something hangs: the test fails rather than waits for ever.
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });
    guard.start(20000);
    QCoreApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(started);
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(cam.isNull());
    EXPECT_TRUE(panel.isNull());
    EXPECT_EQ(windows().ifLoaded(Win::frmCameraControl), nullptr);
    EXPECT_FALSE(state().bFolderMonitoring);
    EXPECT_TRUE(testenv::traceLines().contains("Zelmora closed"));
}

// What arrives while the folder monitor runs, on the virtual clock: each
// arrives as an event handled inside the monitor's waits.
TEST_F(FolderMonitorExitTest, WhatArrivesWhileTheMonitorRunsTable) {
    struct Row {
        const char* name;
        std::function<void(FolderMonitorExitTest&)> arrive;
        bool windowGoes;  // the camera window is closed by it
    };
    const Row rows[] = {
        {"program exit", [](FolderMonitorExitTest& t) { t.exitProgram(); }, true},
        {"camera window closed", [](FolderMonitorExitTest& t) { frameOf(t.cam.data())->close(); },
         true},
        {"camera connects",
         [](FolderMonitorExitTest& t) {
             t.ctl->set(ids::kConnected, true);
             t.ctl->fire(ids::kOnConnected, {std::string("EOS 20D")});
         },
         false},
        {"camera disconnects",
         [](FolderMonitorExitTest& t) {
             t.ctl->set(ids::kConnected, false);
             t.ctl->fire(ids::kOnDisconnected);
         },
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // A fresh main window for each row, as a fresh start of the program.
        delete main.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::setShuttingDown(false);
        state().bFolderMonitoring = false;
        main = new MDIMain;
        main->Form_Load();
        main->show();
        ASSERT_NE(openPanel(), nullptr);
        const qint64 t0 = testenv::vclock().monotonicMs();
        bool startStayedOff = true, stopStayedOn = true;
        testenv::vclock().scheduleAt(t0 + 1500, [&] { asEvent([&] { r.arrive(*this); }); });
        testenv::vclock().scheduleAt(t0 + 2500, [&] {
            if (!panel) return;
            // A run on the stack is never started twice, and can always be stopped.
            startStayedOff = !button("cmdStart")->isEnabled();
            stopStayedOn = button("cmdStop")->isEnabled();
            asEvent([&] {
                if (panel) button("cmdStop")->click();
            });
        });
        button("cmdStart")->click();
        const qint64 took = testenv::vclock().monotonicMs() - t0;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(state().bFolderMonitoring);
        EXPECT_LE(took, 3100);  // ended within a slice of the stop or the close
        if (r.windowGoes) {
            EXPECT_TRUE(cam.isNull());
            EXPECT_TRUE(panel.isNull());
        } else {
            ASSERT_FALSE(panel.isNull());
            EXPECT_TRUE(startStayedOff);
            EXPECT_TRUE(stopStayedOn);
            EXPECT_FALSE(panel->monitoring());
            EXPECT_FALSE(panel->objFolderMonitor()->isMonitoring());
            frameOf(cam.data())->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        // The rest of the row's schedule runs out (an exit cuts waits short).
        platform::setShuttingDown(false);
        testenv::vclock().advance(3000);  // no tick of a freed panel left running
    }
}

}  // namespace
}  // namespace zelmora::camera::test

namespace zelmora::camera::test {
namespace {

// The camera window's own wait: a release lets events run before it fires the
// camera; the window closed (or the program left) in those events does not
// leave the release working on a freed window.
TEST_F(FolderMonitorExitTest, WindowClosedWhileAReleaseLetsEventsRun) {
    const std::pair<const char*, bool> rows[] = {{"camera window closed", false},
                                                 {"program exit", true}};
    for (const auto& [name, exit] : rows) {
        SCOPED_TRACE(name);
        delete main.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::setShuttingDown(false);
        main = new MDIMain;
        main->Form_Load();
        main->show();
        ASSERT_NE(openPanel(), nullptr);
        ctl->set(ids::kConnected, true);
        ctl->fire(ids::kOnConnected, {std::string("EOS 20D")});
        ctl->set(ids::kImageQuality, std::string("Normal"));
        asEvent([&, exit = exit] {
            if (exit)
                exitProgram();
            else
                frameOf(cam.data())->close();
        });
        cam->release(FrameKind::Focus);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(cam.isNull());
    }
    platform::setShuttingDown(false);
}

}  // namespace
}  // namespace zelmora::camera::test

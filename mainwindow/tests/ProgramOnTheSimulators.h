#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "cables/CablesWindows.h"
#include "camera/CameraWindows.h"
#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "capture/CaptureWindows.h"
#include "capture/frmCapture.h"
#include "display/DisplayWindows.h"
#include "focus/FocusWindows.h"
#include "mainwindow/MDIMain.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/drivers/DriverChooser.h"
#include "platform/os/PointerScreen.h"
#include "platform/rcsdk/SimCamera.h"
#include "shell/AppPaths.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "sky/SkyWindows.h"
#include "testing/TestEnv.h"

namespace zelmora::testenv {

// The program as a user has it: the real main window with every window of the
// program, the camera release control over the simulated camera library, the
// focuser and telescope simulators and the simulated cables, all on the virtual
// clock. What the program's start does (app/main.cpp), on the test's folders.
class ProgramOnTheSimulators : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registryDir.isValid());
        automation::registry::setFile(registryDir.filePath("classes.json"));
        camera::frmCameraControl::setControlLibraryFolder(
            QFileInfo(QStringLiteral(VOSQUIN_LIBRARY)).absolutePath());
        AppPaths::setResourceDir(QStringLiteral(ZELMORA_APP_FOLDER));
        for (const QString& problem : AppPaths::seedDefaults())
            ADD_FAILURE() << qPrintable(problem);
        // Release events arrive inside the call that caused them: the walk is
        // the same on every run.
        simrc::setSynchronousDelivery(true);
        // A wait that ends returns at once, as on the program's real clock.
        testenv::vclock().setStopsLikeAnEventLoop(true);
        cursor = std::make_shared<platform::RecordingCursor>();
        platform::CursorService::setInstance(cursor);
        grabber = std::make_shared<platform::RecordingGrabber>();
        platform::ScreenGrabber::setInstance(grabber);

        display::registerWindows();
        camera::registerWindows();
        focus::registerWindows();
        capture::registerWindows();
        cables::registerWindows();
        sky::registerWindows();

        main = std::make_unique<MDIMain>();
        main->setCommandLine({QStringLiteral("zelmora")});
        main->Form_Load();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void TearDown() override {
        main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::CursorService::setInstance(nullptr);
        platform::ScreenGrabber::setInstance(nullptr);
        automation::registry::setFile({});
        EXPECT_TRUE(testenv::dialogs().allUsed()) << "a scripted box was not shown";
        EXPECT_TRUE(testenv::driverUi().allUsed()) << "a scripted chooser was not shown";
    }

    // --- What the user's hand does ---------------------------------------------

    void menu(const char* item) {
        QAction* a = main->menuItem(QString::fromLatin1(item));
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }
    void toolbar(int index) {
        QAction* a = main->button(index);
        ASSERT_NE(a, nullptr) << index;
        ASSERT_TRUE(a->isEnabled()) << index;
        a->trigger();
    }
    template <typename T>
    static T* control(QWidget* in, const char* name) {
        T* w = in ? in->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void click(QWidget* in, const char* name) {
        auto* b = control<QAbstractButton>(in, name);
        if (!b) return;
        EXPECT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    static void type(QWidget* in, const char* box, const QString& text) {
        if (auto* e = control<QLineEdit>(in, box)) e->setText(text);
    }

    // --- Time passing ----------------------------------------------------------

    // Lets the library finish and the program handle what it posted, and then
    // what the program's own loop does when it gets control back: windows that
    // closed are deleted.
    static void deliver() {
        for (int round = 0; round < 3; ++round) {
            ASSERT_TRUE(simrc::waitUntilIdle());
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A click or key press while one of the program's own loops runs (the
    // monitor, a wait): it arrives as an event that loop dispatches, one level
    // deeper than the handler that runs the loop, as real input does.
    void asUser(std::function<void()> action) {
        QMetaObject::invokeMethod(main.get(), std::move(action), Qt::QueuedConnection);
    }
    // Lets `ms` of virtual time pass in small slices, the program working between them.
    static void pass(qint64 ms) {
        for (qint64 t = 0; t < ms; t += 100) {
            testenv::vclock().advance(100);
            deliver();
        }
    }
    // Lets time pass until `done` holds, for at most `limitMs`.
    template <typename F>
    static bool passUntil(F done, qint64 limitMs) {
        for (qint64 t = 0; t < limitMs && !done(); t += 100) {
            testenv::vclock().advance(100);
            deliver();
        }
        return done();
    }

    camera::frmCameraControl* cameraWindow() const {
        return windows().ifLoadedAs<camera::frmCameraControl>(Win::frmCameraControl);
    }
    capture::frmCapture* captureWindow() const {
        return windows().ifLoadedAs<capture::frmCapture>(Win::frmCapture);
    }

    // --- Roads every night takes ----------------------------------------------

    QString lights() const { return QDir(testenv::appDir()).filePath("Lights"); }
    static QStringList filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files, QDir::Name);
    }

    void connectToTheCamera() {
        toolbar(17);  // "Connect to Camera"
        QPointer<camera::frmCameraControl> cam = cameraWindow();
        ASSERT_NE(cam, nullptr);
        ASSERT_NE(cam->Vosquin1(), nullptr) << "the release control was not created";
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
        click(cam, "cmdConnect");
        deliver();
        ASSERT_TRUE(oMainCamera()->connected());
        EXPECT_TRUE(main->button(19)->isEnabled());
    }

    void switchToCaptureMode() {
        camera::frmCameraControl* cam = cameraWindow();
        ASSERT_NE(cam, nullptr);
        click(cam, "optMode1");
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        ASSERT_TRUE(QDir().mkpath(lights()));
        cap->txtDirectory->setText(lights());
        cap->chPictoPC->setChecked(true);
        cap->txtObjPrefix->setText(QStringLiteral("M31"));
        cap->chkUseISO->setChecked(false);
    }

    void portSetupWithTheSimulatedSerialCable() {
        menu("mnuPortSetup");
        QWidget* setup = windows().ifLoaded(Win::frmSelectPort);
        ASSERT_NE(setup, nullptr);
        auto* simulated = control<QCheckBox>(setup, "chSimulated");
        if (!simulated->isChecked()) simulated->click();
        control<QComboBox>(setup, "comboComPort")->setCurrentText(QStringLiteral("COM1"));
        control<QComboBox>(setup, "comboSerialSignal")->setCurrentText(QStringLiteral("DTR"));
        click(setup, "cbTestPort");
        ASSERT_TRUE(state().bSerialEnabled);
        click(setup, "cbEnableSerial");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(windows().isLoaded(Win::frmSelectPort));
    }

    QTemporaryDir registryDir;
    std::shared_ptr<platform::RecordingCursor> cursor;
    std::shared_ptr<platform::RecordingGrabber> grabber;
    std::unique_ptr<MDIMain> main;
};

}  // namespace zelmora::testenv

// Connecting the camera again: after the folder monitor has been shown and the
// camera disconnected, a connect leaves the Camera Control window, the main
// window's toolbar and the modes as the first connect left them. The real main
// window and every window of the program, on the simulated camera.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "camera/clsCamera.h"
#include "camera/frmCameraControl.h"
#include "capture/frmCapture.h"
#include "mainwindow/tests/ProgramOnTheSimulators.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;

namespace {

class ReconnectingTheCamera : public testenv::ProgramOnTheSimulators {
protected:
    void connectCamera() {
        testenv::dialogs().expectChoice(QStringLiteral("Communication setting"), 0);
        click(cameraWindow(), "cmdConnect");
        deliver();
        ASSERT_TRUE(oMainCamera()->connected());
    }
    // What the user finds of the camera's state, one line a control.
    QStringList seen() {
        QStringList s;
        camera::frmCameraControl* cam = cameraWindow();
        if (!cam) return {"no Camera Control"};
        const auto state = [](QAbstractButton* b) {
            return QStringLiteral("%1%2").arg(b->isChecked() ? "ticked" : "clear",
                                              b->isEnabled() ? "" : ", greyed");
        };
        for (const char* option : {"optMode0", "optMode1"})
            if (auto* o = control<QRadioButton>(cam, option)) s << o->text() + ": " + state(o);
        s << "Save Focus Images: " + state(control<QCheckBox>(cam, "chSaveFocus"));
        s << "default button: " + control<QPushButton>(cam, "cbSetDefault")->text();
        s << "window height: " + QString::number(cam->formHeightTwips());
        const std::pair<int, const char*> buttons[] = {
            {13, "Start"}, {15, "Stop"}, {19, "Shutter Release"}, {21, "Timer"}};
        for (const auto& [index, name] : buttons)
            s << QStringLiteral("toolbar %1: %2")
                     .arg(name, main->button(index)->isEnabled() ? "on" : "off");
        s << QStringLiteral("Image Capture... menu: %1")
                 .arg(main->menuItem("mnuControl")->isEnabled() ? "on" : "off");
        vosquin::VosquinHost* control = cam->Vosquin1();
        s << QStringLiteral("control: focus mode %1, Tv %2")
                 .arg(control->FocusMode() ? "on" : "off", control->Tv());
        s << QStringLiteral("camera object: focus mode %1")
                 .arg(oMainCamera()->FocusMode() ? "on" : "off");
        s << QStringLiteral("Image Capture open: %1").arg(captureWindow() ? "yes" : "no");
        return s;
    }
};

// The last session saved Bulb as the capture mode's default and ended in
// capture mode, its capture window on the file names.
TEST_F(ReconnectingTheCamera,
       InCaptureModeAfterTheFolderMonitorEverythingIsAsTheFirstConnectLeftIt) {
    Settings::saveBool(QStringLiteral("Options"), QStringLiteral("FocusMode"), false);
    Settings::save(QStringLiteral("CaptureMode"), QStringLiteral("Tv"), QStringLiteral("Bulb"));
    Settings::save(QStringLiteral("Options"), QStringLiteral("CaptureMode"), QStringLiteral("3"));
    toolbar(17);  // "Connect to Camera"
    ASSERT_NO_FATAL_FAILURE(connectCamera());
    const QStringList first = seen();
    // A release cannot take a bulb exposure, and continuous focus frames are
    // focus mode's: capture mode in Bulb offers neither.
    const QStringList expected = {"Focus Mode: clear",
                                  "Capture Mode: ticked",
                                  "Save Focus Images: clear, greyed",
                                  "default button: Save as default capture mode",
                                  "window height: 3930",
                                  "toolbar Start: off",
                                  "toolbar Stop: off",
                                  "toolbar Shutter Release: off",
                                  "toolbar Timer: on",
                                  "Image Capture... menu: on",
                                  "control: focus mode off, Tv Bulb",
                                  "camera object: focus mode off",
                                  "Image Capture open: yes"};
    EXPECT_EQ(first.join("\n").toStdString(), expected.join("\n").toStdString());
    // The capture window hands its save targets to the control again.
    const auto pictureBoxTwice = [this] {
        capture::frmCapture* cap = captureWindow();
        ASSERT_NE(cap, nullptr);
        for (int i = 0; i < 2; ++i) {
            click(cap, "chPictoPC");
            deliver();
        }
    };
    ASSERT_NO_FATAL_FAILURE(pictureBoxTwice());
    EXPECT_EQ(seen().join("\n").toStdString(), first.join("\n").toStdString());

    camera::frmCameraControl* cam = cameraWindow();
    click(cam, "cmdMonitorFolder");
    deliver();
    click(cam, "cmdDisconnect");
    deliver();
    ASSERT_FALSE(oMainCamera()->connected());
    ASSERT_NO_FATAL_FAILURE(connectCamera());
    EXPECT_EQ(seen().join("\n").toStdString(), first.join("\n").toStdString());
    ASSERT_NO_FATAL_FAILURE(pictureBoxTwice());
    EXPECT_EQ(seen().join("\n").toStdString(), first.join("\n").toStdString());
}

}  // namespace

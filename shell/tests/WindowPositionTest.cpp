#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

#include "shell/Globals.h"
#include "shell/WindowRegistry.h"
#include "testing/TestEnv.h"

using namespace zelmora;

TEST(WindowPositionTest, SaveThenRestoreRoundTripsInTwips) {
    QWidget w;
    w.setWindowTitle("Camera Control");
    w.move(40, 25);
    Globals::SaveFormPosition(&w);
    EXPECT_EQ(Settings::get("WindowPos", "Camera ControlTop", ""), "375");
    EXPECT_EQ(Settings::get("WindowPos", "Camera ControlLeft", ""), "600");
    QWidget other;
    other.setWindowTitle("Camera Control");
    Globals::RestoreFormPosition(&other);
    EXPECT_EQ(other.pos(), QPoint(40, 25));
}

TEST(WindowPositionTest, KeyedByDesignCaptionNotTheShownTitle) {
    QWidget w;
    w.setProperty("designCaption", "Image Capture");
    w.setWindowTitle("Image Capture - Exposure 3 of 10");
    w.move(10, 20);
    Globals::SaveFormPosition(&w);
    EXPECT_EQ(Settings::get("WindowPos", "Image CaptureTop", ""), "300");
    EXPECT_EQ(Settings::get("WindowPos", "Image Capture - Exposure 3 of 10Top", "absent"),
              "absent");
}

TEST(WindowPositionTest, AbsentMalformedAndLargeValues) {
    testenv::enableTrace();
    QWidget w;
    w.move(99, 99);
    Globals::RestoreFormPosition(&w, "Never Saved");
    EXPECT_EQ(w.pos(), QPoint(0, 0));

    Settings::save("WindowPos", "Auto FocusTop", "junk");
    Settings::save("WindowPos", "Auto FocusLeft", "45000");  // past 16 bits: 3000 px
    Globals::RestoreFormPosition(&w, "Auto Focus");
    EXPECT_EQ(w.pos(), QPoint(3000, 0));
    EXPECT_EQ(testenv::traceLines(),
              QStringList{"Bad window position Auto FocusTop=junk, using 0"});
}

TEST(WindowPositionTest, ChildWindowsUseTheirFrameInTheMainWindow) {
    QMdiArea area;
    area.resize(800, 600);
    auto* form = new QWidget;
    QMdiSubWindow* sub = area.addSubWindow(form);
    area.show();
    sub->show();
    sub->move(30, 60);
    Globals::SaveFormPosition(form, "Frame Image");
    EXPECT_EQ(Settings::get("WindowPos", "Frame ImageLeft", ""), "450");
    EXPECT_EQ(Settings::get("WindowPos", "Frame ImageTop", ""), "900");
}

TEST(WindowPositionTest, MaximisedWindowSavesItsNormalPlace) {
    QMdiArea area;
    area.resize(800, 600);
    auto* form = new QWidget;
    QMdiSubWindow* sub = area.addSubWindow(form);
    area.show();
    Settings::save("WindowPos", "Auto Focus ResultsLeft", "300");
    Settings::save("WindowPos", "Auto Focus ResultsTop", "150");
    Globals::RestoreFormPosition(form, "Auto Focus Results");
    sub->show();
    sub->showMaximized();
    Globals::SaveFormPosition(form, "Auto Focus Results");
    EXPECT_EQ(Settings::get("WindowPos", "Auto Focus ResultsLeft", ""), "300");
    EXPECT_EQ(Settings::get("WindowPos", "Auto Focus ResultsTop", ""), "150");
}

TEST(WindowPositionTest, ChildWindowRestoredWhileBeingBuiltOpensThereInTheMainWindow) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    windows().setChildPlacer([&](QWidget* w) -> QWidget* { return area.addSubWindow(w); });
    Settings::save("WindowPos", "Moon PhaseLeft", "450");
    Settings::save("WindowPos", "Moon PhaseTop", "675");
    // As the windows do it: the position is restored while the window is being
    // built, before the main window has given it a frame.
    windows().registerWindow(Win::frmMoonPhase, [] {
        auto* form = new QWidget;
        Globals::RestoreFormPosition(form, "Moon Phase");
        return form;
    });
    QWidget* form = windows().show(Win::frmMoonPhase);
    QWidget* frame = frameOf(form);
    ASSERT_NE(frame, form);
    EXPECT_EQ(frame->pos(), QPoint(30, 45));

    frame->showMaximized();
    Globals::SaveFormPosition(form, "Moon Phase");
    EXPECT_EQ(Settings::get("WindowPos", "Moon PhaseLeft", ""), "450");
    EXPECT_EQ(Settings::get("WindowPos", "Moon PhaseTop", ""), "675");
}

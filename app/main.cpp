#include <QApplication>
#include <QDir>

#include "cables/CablesWindows.h"
#include "camera/CameraWindows.h"
#include "capture/CaptureWindows.h"
#include "display/DisplayWindows.h"
#include "focus/FocusWindows.h"
#include "mainwindow/MDIMain.h"
#include "platform/os/IniSettingsStore.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Shell.h"
#include "sky/SkyWindows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    QApplication::setApplicationVersion(zelmora::MDIMain::versionText());
    QApplication::setQuitOnLastWindowClosed(false);  // the main window's close ends the program

    const QStringList args = QApplication::arguments();
    const QString exeDir = QApplication::applicationDirPath();
    zelmora::AppPaths::setAppDir(zelmora::AppPaths::chooseAppDir(args, exeDir));
    zelmora::AppPaths::setResourceDir(exeDir);  // shipped files stay beside the program
    QDir().mkpath(zelmora::AppPaths::appDir());
    zelmora::Shell::connectServices();
    // The simulated sky keeps the program's time (bulb lengths, drift).
    zelmora::sim::SimSky::instance().setTimeSource(
        [] { return zelmora::platform::clock().monotonicMs(); });
    zelmora::display::registerWindows();
    zelmora::camera::registerWindows();
    zelmora::focus::registerWindows();
    zelmora::capture::registerWindows();
    zelmora::cables::registerWindows();
    zelmora::sky::registerWindows();

    zelmora::MDIMain main;
    main.setCommandLine(args);
    main.Form_Load();
    main.show();
    return QApplication::exec();
}

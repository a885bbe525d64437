#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cables/CablesWindows.h"
#include "camera/CameraWindows.h"
#include "capture/CaptureWindows.h"
#include "display/DisplayWindows.h"
#include "focus/FocusWindows.h"
#include "mainwindow/MDIMain.h"
#include "platform/os/Dialogs.h"
#include "platform/os/IniSettingsStore.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Shell.h"
#include "sky/SkyWindows.h"

int main(int argc, char** argv) {
    // Qt aborts when it finds no display; say what is missing instead.
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
                                std::any_of(argv + 1, argv + argc, [](const char* a) {
                                    return std::strcmp(a, "-platform") == 0;
                                });
    if (!platformChosen && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "zelmora: no display (neither DISPLAY nor WAYLAND_DISPLAY is set). Start it "
                     "from a desktop session, over 'ssh -X', or with xvfb-run.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelmora"));
    QApplication::setApplicationVersion(zelmora::MDIMain::versionText());
    QApplication::setQuitOnLastWindowClosed(false);  // the main window's close ends the program

    const QStringList args = QApplication::arguments();
    // The user's data lives in its own folder; shipped files are read where they
    // were built or installed, and defaults the user may edit are copied over once.
    const zelmora::AppPaths::AppDirChoice appDir = zelmora::AppPaths::chooseAppDir(args);
    zelmora::AppPaths::setResourceDir(
        zelmora::AppPaths::chooseResourceDir(QApplication::applicationDirPath()));
    zelmora::Shell::connectServices();
    if (!appDir.problem.isEmpty()) {
        std::fprintf(stderr, "zelmora: %s\n", qPrintable(appDir.problem));
        zelmora::platform::Dialogs::msgBox(appDir.problem, zelmora::platform::Msg::Critical);
        return 1;
    }
    zelmora::AppPaths::setAppDir(appDir.dir);
    for (const QString& problem : zelmora::AppPaths::seedDefaults())
        std::fprintf(stderr, "zelmora: %s\n", qPrintable(problem));
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
    main.setCommandLine(zelmora::AppPaths::programArguments(args));
    main.Form_Load();
    main.show();
    // "--smoke": start, report the folders and any shipped file not found, and
    // close again (the installation test runs this).
    int smokeResult = 0;
    if (args.contains(QStringLiteral("--smoke"))) {
        QTimer::singleShot(0, &main, [&] {
            std::printf("application folder: %s\nresource folder: %s\n",
                        qPrintable(zelmora::AppPaths::appDir()),
                        qPrintable(zelmora::AppPaths::resourceDir()));
            for (const char* name : {"MoonPhases/moon1.gif", "DataFiles/Locations.txt",
                                     "Zelmora 3.0 User Manual.pdf"}) {
                const QString path = zelmora::AppPaths::join(zelmora::AppPaths::resourceDir(),
                                                             QString::fromLatin1(name));
                if (QFileInfo::exists(path)) continue;
                std::printf("missing: %s\n", qPrintable(path));
                smokeResult = 1;
            }
            std::fflush(stdout);
            main.close();
        });
    }
    const int result = QApplication::exec();
    return smokeResult ? smokeResult : result;
}

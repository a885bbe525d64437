#include "testing/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include <gtest/gtest.h>

#include "platform/drivers/DriverChooser.h"
#include "platform/drivers/DriverRegistry.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/SimSky.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/KeyboardHook.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/Shell.h"
#include "shell/WindowRegistry.h"

namespace zelmora::testenv {

namespace {
struct Env {
    std::shared_ptr<drivers::ScriptedDriverUi> driverUi;
};
Env& env() {
    static Env e;
    return e;
}
}  // namespace

drivers::ScriptedDriverUi& driverUi() {
    return *env().driverUi;
}

QStringList traceLines() {
    QFile f(AppPaths::join(AppPaths::dataFiles(), QStringLiteral("tracefile.log")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList lines;
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() >= 2 && line.startsWith('"') && line.endsWith('"'))
            lines << QString::fromUtf8(line.mid(1, line.size() - 2));
        else if (!line.isEmpty())
            lines << QString::fromUtf8(line);
    }
    return lines;
}

void enableTrace() {
    QDir().mkpath(AppPaths::dataFiles());
    state().bTraceOn = true;
}

void resetEnvironment() {
    Env& e = env();
    static const QString startDir = QDir::currentPath();
    QDir::setCurrent(startDir);  // start-up moves into the (temporary) application folder
    windows().reset();
    platform::setShuttingDown(false);
    Globals::resetKeyboardHook();
    ShutterCable::setInstance(nullptr);
    Globals::closeTraceLog();
    // The simulated camera and sky start each test afresh, on the test's clock.
    simrc::reset();
    sim::SimSky::instance().reset();
    // The clock, settings, dialogs, sounds, desktop calls, a fresh folder, the image
    // core's star data.
    resetCoreEnvironment();
    sim::SimSky::instance().setTimeSource([] { return platform::clock().monotonicMs(); });
    drivers::DriverRegistry::instance().reset();
    e.driverUi = std::make_shared<drivers::ScriptedDriverUi>();
    e.driverUi->setOnUnexpected([](const QString& type) {
        ADD_FAILURE() << "Unexpected driver chooser for " << type.toStdString();
    });
    drivers::DriverUi::setBackend(e.driverUi);
    AppPaths::setAppDir(appDir());
    AppPaths::setResourceDir({});
    resetProgramState();
    Shell::connectServices();
}

}  // namespace zelmora::testenv

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
    std::shared_ptr<platform::VirtualClock> clock;
    std::shared_ptr<platform::MemorySettingsStore> settings;
    std::shared_ptr<ScriptedDialogs> dialogs;
    std::shared_ptr<platform::RecordingSound> sound;
    std::shared_ptr<platform::RecordingDesktop> desktop;
    std::shared_ptr<drivers::ScriptedDriverUi> driverUi;
    std::unique_ptr<QTemporaryDir> dir;
};
Env& env() {
    static Env e;
    return e;
}
}  // namespace

platform::VirtualClock& vclock() { return *env().clock; }
platform::MemorySettingsStore& memSettings() { return *env().settings; }
ScriptedDialogs& dialogs() { return *env().dialogs; }
platform::RecordingSound& sounds() { return *env().sound; }
platform::RecordingDesktop& desktop() { return *env().desktop; }
drivers::ScriptedDriverUi& driverUi() { return *env().driverUi; }
QString appDir() { return env().dir->path(); }

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
    e.clock = std::make_shared<platform::VirtualClock>();
    platform::setClock(e.clock);
    sim::SimSky::instance().setTimeSource([] { return platform::clock().monotonicMs(); });
    e.settings = std::make_shared<platform::MemorySettingsStore>();
    platform::setSettings(e.settings);
    e.dialogs = std::make_shared<ScriptedDialogs>();
    platform::Dialogs::setBackend(e.dialogs);
    e.sound = std::make_shared<platform::RecordingSound>();
    platform::SoundService::setInstance(e.sound);
    e.desktop = std::make_shared<platform::RecordingDesktop>();
    platform::DesktopService::setInstance(e.desktop);
    drivers::DriverRegistry::instance().reset();
    e.driverUi = std::make_shared<drivers::ScriptedDriverUi>();
    e.driverUi->setOnUnexpected([](const QString& type) {
        ADD_FAILURE() << "Unexpected driver chooser for " << type.toStdString();
    });
    drivers::DriverUi::setBackend(e.driverUi);
    e.dir = std::make_unique<QTemporaryDir>();
    AppPaths::setAppDir(e.dir->path());
    AppPaths::setResourceDir({});
    resetProgramState();
    Shell::connectServices();
}

}  // namespace zelmora::testenv

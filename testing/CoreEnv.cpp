#include "testing/CoreEnv.h"

#include <QTemporaryDir>
#include <memory>

#include "image/StarData.h"
#include "platform/time/Clock.h"

namespace zelmora::testenv {

namespace {
struct CoreEnv {
    std::shared_ptr<platform::VirtualClock> clock;
    std::shared_ptr<platform::MemorySettingsStore> settings;
    std::shared_ptr<ScriptedDialogs> dialogs;
    std::shared_ptr<platform::RecordingSound> sound;
    std::shared_ptr<platform::RecordingDesktop> desktop;
    std::unique_ptr<QTemporaryDir> dir;
};
CoreEnv& env() {
    static CoreEnv e;
    return e;
}
}  // namespace

platform::VirtualClock& vclock() {
    return *env().clock;
}
platform::MemorySettingsStore& memSettings() {
    return *env().settings;
}
ScriptedDialogs& dialogs() {
    return *env().dialogs;
}
platform::RecordingSound& sounds() {
    return *env().sound;
}
platform::RecordingDesktop& desktop() {
    return *env().desktop;
}
QString appDir() {
    return env().dir->path();
}

void resetCoreEnvironment() {
    CoreEnv& e = env();
    platform::setShuttingDown(false);
    platform::setEventPassListener({});
    e.clock = std::make_shared<platform::VirtualClock>();
    platform::setClock(e.clock);
    e.settings = std::make_shared<platform::MemorySettingsStore>();
    platform::setSettings(e.settings);
    e.dialogs = std::make_shared<ScriptedDialogs>();
    platform::Dialogs::setBackend(e.dialogs);
    e.sound = std::make_shared<platform::RecordingSound>();
    platform::SoundService::setInstance(e.sound);
    e.desktop = std::make_shared<platform::RecordingDesktop>();
    platform::DesktopService::setInstance(e.desktop);
    e.dir = std::make_unique<QTemporaryDir>();
    resetStarData();
}

}  // namespace zelmora::testenv

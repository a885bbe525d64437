#pragma once

#include <QString>

#include "platform/os/IniSettingsStore.h"
#include "platform/os/Media.h"
#include "platform/time/VirtualClock.h"
#include "testing/ScriptedDialogs.h"

// The test environment of the lowest layers (the shared services and the image
// core): before each test, a virtual clock, settings in memory, scripted dialogs,
// recorded sounds and desktop calls, and an empty temporary folder. Tests of the
// image core run on this alone (zelmora_tests(... CORE)); everything above adds the
// program state, the simulators and the shell's services (TestEnv.h).
namespace zelmora::testenv {

platform::VirtualClock& vclock();
platform::MemorySettingsStore& memSettings();
ScriptedDialogs& dialogs();
platform::RecordingSound& sounds();
platform::RecordingDesktop& desktop();

// This test's application folder (empty at the start of the test).
QString appDir();

void resetCoreEnvironment();

}  // namespace zelmora::testenv

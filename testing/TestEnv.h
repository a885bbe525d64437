#pragma once

#include <QString>
#include <QStringList>

#include "platform/os/IniSettingsStore.h"
#include "platform/os/Media.h"
#include "platform/time/VirtualClock.h"
#include "testing/ScriptedDialogs.h"

namespace zelmora::drivers {
class ScriptedDriverUi;
}

// What every test runs against. Before each test the common test main resets
// the program state and installs fresh fakes: a virtual clock, settings in
// memory, scripted dialogs, recorded sounds and desktop calls, and an empty
// temporary application folder (with no trace log open).
namespace zelmora::testenv {

platform::VirtualClock& vclock();
platform::MemorySettingsStore& memSettings();
ScriptedDialogs& dialogs();
platform::RecordingSound& sounds();
platform::RecordingDesktop& desktop();
// The driver chooser and the drivers' settings dialogs, answered from a script
// (the built-in drivers only are registered); an unexpected chooser fails the test.
drivers::ScriptedDriverUi& driverUi();

// This test's application folder (empty at the start of the test).
QString appDir();

// The trace log's lines as written (the surrounding quotes removed).
QStringList traceLines();
// Turns tracing on and makes DataFiles, as start-up does, for tests that read the trace.
void enableTrace();

void resetEnvironment();

}  // namespace zelmora::testenv

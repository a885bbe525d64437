#pragma once

#include <QString>
#include <QStringList>

#include "testing/CoreEnv.h"

namespace zelmora::drivers {
class ScriptedDriverUi;
}

// What every test runs against. Before each test the common test main resets
// the program state and installs fresh fakes: a virtual clock, settings in
// memory, scripted dialogs, recorded sounds and desktop calls, and an empty
// temporary application folder (with no trace log open).
namespace zelmora::testenv {

// The clock, settings, dialogs, sounds, desktop calls and appDir(): CoreEnv.h.

// The driver chooser and the drivers' settings dialogs, answered from a script
// (the built-in drivers only are registered); an unexpected chooser fails the test.
drivers::ScriptedDriverUi& driverUi();

// The trace log's lines as written (the surrounding quotes removed).
QStringList traceLines();
// Turns tracing on and makes DataFiles, as start-up does, for tests that read the trace.
void enableTrace();

void resetEnvironment();

}  // namespace zelmora::testenv

#pragma once

#include <QString>
#include <cstdint>

#include "platform/core/AppError.h"

class QWidget;

namespace zelmora {

// The program's application name in the settings store.
inline const QString kAppName = QStringLiteral("Zelmora 3");

namespace Globals {

// Appends "text" (in double quotes, CR LF) to DataFiles/tracefile.log while
// tracing is on. The first line of a run empties the file. Never fails: a line
// that cannot be written is dropped. Each line is flushed as it is written.
void WriteLogLine(const QString& text);

// The error trace line: "Error in: " & sCurrentProc & " with error:" &
// description & " " & number.
QString errorLine(const AppError& e);
void traceError(const AppError& e);

// Ends the run's trace file; the next line starts (and empties) it again.
void closeTraceLog();

// Why the run's trace file cannot be written ("" while it can, or before the first
// line). The first failure is also said once on standard error; tracing then goes on
// without the file. The main window shows it in the status bar at start-up.
QString traceLogProblem();

// Window positions, section "WindowPos", keys caption & "Top" / "Left", in
// twips relative to the main window's client area (child windows) or the
// screen (top-level windows). The caption is the window's design caption: the
// one it is built with, not a title it shows for the moment. Without one the
// window's "designCaption" property, else its title, is used.
void RestoreFormPosition(QWidget* form, const QString& designCaption = {});
void SaveFormPosition(QWidget* form, const QString& designCaption = {});
// A child window restores its position while it is being built, before the
// main window gives it a frame; once placed, the frame takes that position.
// The window registry calls this for every child window it places.
void adoptRestoredPosition(QWidget* form);
// Whether RestoreFormPosition found a stored place for the window.
bool hasSavedPosition(QWidget* form);

}  // namespace Globals

// The settings store under the program's application name, with the stored
// texts' conventions: Booleans as "True"/"False", whole numbers as decimal text.
namespace Settings {

QString get(const QString& section, const QString& key, const QString& defaultValue);
void save(const QString& section, const QString& key, const QString& value);
void saveBool(const QString& section, const QString& key, bool value);
void saveInt(const QString& section, const QString& key, std::int64_t value);
// These raise AppError 13 when the stored (or default) text does not convert.
bool getBool(const QString& section, const QString& key, const QString& defaultValue);
std::int32_t getInt(const QString& section, const QString& key, const QString& defaultValue);

// The same under another application name ("Moonphase").
QString getApp(const QString& app, const QString& section, const QString& key,
               const QString& defaultValue);
void saveApp(const QString& app, const QString& section, const QString& key, const QString& value);

// Writes to the disk what was saved and has not reached it yet (the program's
// store writes the saves of one event together); raises AppError when a file
// cannot be written.
void flush();

}  // namespace Settings
}  // namespace zelmora

#pragma once

#include <QString>
#include <QStringList>

namespace zelmora {

// Where the program keeps its folder tree (Thumbs, FocusImages, DataFiles and
// the shipped folders). Nothing else should depend on the current directory.
namespace AppPaths {

// The application folder in use.
QString appDir();
void setAppDir(const QString& dir);

// The user's data folder: "--app-dir DIR" (or "--app-dir=DIR") when given, else
// $XDG_DATA_HOME/zelmora (~/.local/share/zelmora). Never the program's own folder:
// deleting a build or reinstalling must not take the user's frames with it. The
// folder is created; when it cannot be created or written, problem says so and the
// program should not start on it.
struct AppDirChoice {
    QString dir;
    QString problem;
};
AppDirChoice chooseAppDir(const QStringList& arguments);

// The arguments without the options chooseAppDir reads (and without the program
// name), as the program's own command-line parameters.
QStringList programArguments(const QStringList& arguments);

// Folder where read-only shipped files live (sounds, moon pictures, samples);
// the application folder unless set apart.
QString resourceDir();
void setResourceDir(const QString& dir);

// The resource folder of an executable in executableDir: <prefix>/share/zelmora
// once installed (executable in <prefix>/bin), else the executable's own folder
// (the build tree, where the shipped files are put beside the program).
QString chooseResourceDir(const QString& executableDir);

// Default files that the user may edit, relative to both folders
// ("DataFiles/Locations.txt", ...).
QStringList seededFiles();

// Copies each seeded file from the resource folder into the application folder
// when it is missing there; a file already there is the user's and stays as it is.
// Returns one line per file that could not be copied.
QStringList seedDefaults();

// Joins path pieces with one "/" between them. A backslash inside a piece is
// part of the data and stays.
QString join(const QString& a, const QString& b);
template <typename... More>
QString join(const QString& a, const QString& b, const More&... more) {
    return join(join(a, b), more...);
}

inline QString dataFiles() {
    return join(appDir(), QStringLiteral("DataFiles"));
}
inline QString thumbs() {
    return join(appDir(), QStringLiteral("Thumbs"));
}
inline QString focusImages() {
    return join(appDir(), QStringLiteral("FocusImages"));
}

}  // namespace AppPaths
}  // namespace zelmora

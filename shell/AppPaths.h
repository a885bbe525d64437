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

// The folder of the executable when it is writable, else $XDG_DATA_HOME/zelmora;
// "--app-dir DIR" in the arguments overrides both.
QString chooseAppDir(const QStringList& arguments, const QString& executableDir);

// Folder where read-only shipped files live (sounds, moon pictures, samples);
// the application folder unless set apart.
QString resourceDir();
void setResourceDir(const QString& dir);

// Joins path pieces with one "/" between them. A backslash inside a piece is
// part of the data and stays.
QString join(const QString& a, const QString& b);
template <typename... More>
QString join(const QString& a, const QString& b, const More&... more) {
    return join(join(a, b), more...);
}

inline QString dataFiles() { return join(appDir(), QStringLiteral("DataFiles")); }
inline QString thumbs() { return join(appDir(), QStringLiteral("Thumbs")); }
inline QString focusImages() { return join(appDir(), QStringLiteral("FocusImages")); }

}  // namespace AppPaths
}  // namespace zelmora

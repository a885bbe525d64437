#include "shell/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zelmora::AppPaths {

namespace {
QString& appDirSlot() {
    static QString dir;
    return dir;
}
QString& resourceDirSlot() {
    static QString dir;
    return dir;
}
}  // namespace

QString appDir() { return appDirSlot(); }

void setAppDir(const QString& dir) { appDirSlot() = QDir::cleanPath(dir); }

QString resourceDir() { return resourceDirSlot().isEmpty() ? appDir() : resourceDirSlot(); }

void setResourceDir(const QString& dir) { resourceDirSlot() = dir.isEmpty() ? QString() : QDir::cleanPath(dir); }

QString chooseAppDir(const QStringList& arguments, const QString& executableDir) {
    const qsizetype i = arguments.indexOf(QStringLiteral("--app-dir"));
    if (i >= 0 && i + 1 < arguments.size()) return QDir(arguments[i + 1]).absolutePath();
    const QFileInfo exe(executableDir);
    if (exe.isDir() && exe.isWritable()) return exe.absoluteFilePath();
    return join(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                QStringLiteral("zelmora"));
}

QString join(const QString& a, const QString& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    const bool aSlash = a.endsWith(u'/');
    const bool bSlash = b.startsWith(u'/');
    if (aSlash && bSlash) return a + b.mid(1);
    if (aSlash || bSlash) return a + b;
    return a + u'/' + b;
}

}  // namespace zelmora::AppPaths

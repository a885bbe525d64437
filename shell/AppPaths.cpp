#include "shell/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <utility>

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

QString appDir() {
    return appDirSlot();
}

void setAppDir(const QString& dir) {
    appDirSlot() = QDir::cleanPath(dir);
}

QString resourceDir() {
    return resourceDirSlot().isEmpty() ? appDir() : resourceDirSlot();
}

void setResourceDir(const QString& dir) {
    resourceDirSlot() = dir.isEmpty() ? QString() : QDir::cleanPath(dir);
}

namespace {
constexpr QLatin1StringView kAppDirOption{"--app-dir"};

// The value of --app-dir: {found, value}.
std::pair<bool, QString> appDirArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == kAppDirOption)
            return {true, i + 1 < arguments.size() ? arguments[i + 1] : QString()};
        if (a.startsWith(kAppDirOption + u'=')) return {true, a.mid(kAppDirOption.size() + 1)};
    }
    return {false, {}};
}

// Created and writable (a probe file, since permission bits say little for root).
bool usable(const QString& dir) {
    if (!QDir().mkpath(dir)) return false;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".write-test-XXXXXX")));
    return probe.open();
}
}  // namespace

AppDirChoice chooseAppDir(const QStringList& arguments) {
    const auto [given, value] = appDirArgument(arguments);
    if (given && value.isEmpty())
        return {{}, QStringLiteral("--app-dir needs a folder: --app-dir DIR")};
    const QString dir =
        given ? QDir(value).absolutePath()
              : join(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                     QStringLiteral("zelmora"));
    if (!usable(dir))
        return {dir, QStringLiteral("The application folder %1 cannot be created or written.")
                         .arg(QDir::toNativeSeparators(dir))};
    return {QDir::cleanPath(dir), {}};
}

QStringList programArguments(const QStringList& arguments) {
    QStringList out;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == kAppDirOption) {
            ++i;  // and its folder
            continue;
        }
        if (a.startsWith(kAppDirOption + u'=')) continue;
        out << a;
    }
    return out;
}

QString chooseResourceDir(const QString& executableDir) {
    const QString installed =
        QDir::cleanPath(join(executableDir, QStringLiteral("../share/zelmora")));
    if (QFileInfo(executableDir).fileName() == QLatin1String("bin") && QFileInfo(installed).isDir())
        return installed;
    return QDir::cleanPath(executableDir);
}

QStringList seededFiles() {
    return {QStringLiteral("DataFiles/Locations.txt"),
            QStringLiteral("DataFiles/ObjectCatalogue.txt"),
            QStringLiteral("ExposureFiles/exposurefile.txt")};
}

QStringList seedDefaults() {
    QStringList problems;
    const QString from = resourceDir();
    const QString to = appDir();
    if (QDir(from).canonicalPath() == QDir(to).canonicalPath()) return problems;
    for (const QString& name : seededFiles()) {
        const QString src = join(from, name);
        const QString dst = join(to, name);
        if (QFileInfo::exists(dst) || !QFileInfo::exists(src)) continue;
        // Under a temporary name first, so an interrupted copy never becomes the
        // user's file (a file that exists is never seeded again).
        const QString part = dst + QStringLiteral(".part");
        QFile::remove(part);
        QDir().mkpath(QFileInfo(dst).absolutePath());
        if (!QFile::copy(src, part) || !QFile::rename(part, dst)) {
            QFile::remove(part);
            problems << QStringLiteral("%1 could not be copied to %2").arg(src, dst);
            continue;
        }
        // Shipped files are read-only; the user's copy must be writable.
        QFile::setPermissions(dst, QFile::permissions(dst) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return problems;
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

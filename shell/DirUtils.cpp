#include "shell/DirUtils.h"

#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/core/AppError.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"

namespace zelmora::DirectoryFunctions {

namespace fs = std::filesystem;

namespace {

// After every name: a long listing keeps the windows answering.
void pump() {
    platform::passEvents();
}

fs::path toPath(const QString& s) {
    return fs::path(QFile::encodeName(s).toStdString());
}

QString fromPath(const fs::path& p) {
    return QFile::decodeName(QByteArray::fromStdString(p.native()));
}

bool hasWildcard(const QString& s) {
    return s.contains(u'*') || s.contains(u'?');
}

// "*" and "?" over QChars, case-insensitive.
bool wildMatch(const QString& name, const QString& mask) {
    const QString n = name.toCaseFolded();
    const QString m = mask.toCaseFolded();
    qsizetype ni = 0, mi = 0, starM = -1, starN = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == u'?' || m[mi] == n[ni])) {
            ++ni;
            ++mi;
        } else if (mi < m.size() && m[mi] == u'*') {
            starM = mi++;
            starN = ni;
        } else if (starM >= 0) {
            mi = starM + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == u'*') ++mi;
    return mi == m.size();
}

bool nameMatches(const QString& name, const QString& mask) {
    if (mask.isEmpty() || mask == QStringLiteral("*.*") || mask == QStringLiteral("*")) return true;
    if (mask.endsWith(u'.') && mask != QStringLiteral(".") && mask != QStringLiteral("..")) {
        if (name.contains(u'.')) return false;
        return wildMatch(name, mask.chopped(1));
    }
    return wildMatch(name, mask);
}

int attributesOf(const fs::directory_entry& e, const QString& name) {
    std::error_code ec;
    int a = 0;
    if (e.is_directory(ec))
        a |= kDirectory;
    else
        a |= kArchive;
    if (name.startsWith(u'.')) a |= kHidden;
    const auto perms = e.symlink_status(ec).permissions();
    if (!ec && (perms & fs::perms::owner_write) == fs::perms::none) a |= kReadOnly;
    return a;
}

// Names listed with attributes: plain and read-only files always, hidden ones
// with 2, folders with 16.
bool attributesAllow(int entryAttrs, int wanted) {
    if ((entryAttrs & kDirectory) && !(wanted & kDirectory)) return false;
    if ((entryAttrs & kHidden) && !(wanted & kHidden)) return false;
    return true;
}

void sortNames(QStringList& names) {
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

struct Split {
    QString folder;
    QString mask;
};

Split splitPattern(const QString& pattern) {
    const qsizetype slash = pattern.lastIndexOf(u'/');
    if (slash < 0) return {AppPaths::appDir(), pattern};
    return {slash == 0 ? QStringLiteral("/") : pattern.left(slash), pattern.mid(slash + 1)};
}

// One listing with its own iterator. ok is false when the folder exists but
// cannot be read.
QStringList listFolder(const QString& folder, const QString& mask, int attributes, bool* ok) {
    if (ok) *ok = true;
    QStringList names;
    std::error_code ec;
    const fs::path dir = toPath(folder);
    if (!fs::is_directory(dir, ec)) return names;
    fs::directory_iterator it(dir, ec), end;
    if (ec) {
        if (ok) *ok = false;
        return names;
    }
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        const QString name = fromPath(it->path().filename());
        if (!attributesAllow(attributesOf(*it, name), attributes)) continue;
        if (nameMatches(name, mask)) names << name;
    }
    if (ec && ok) *ok = false;
    sortNames(names);
    if ((attributes & kDirectory) && nameMatches(QStringLiteral("."), mask))
        names.prepend(QStringLiteral(".."));
    if ((attributes & kDirectory) && nameMatches(QStringLiteral("."), mask))
        names.prepend(QStringLiteral("."));
    return names;
}

void scan(const QString& folder, bool exclude, const QStringList& masks, bool root,
          QStringList& result) {
    bool ok = true;
    std::error_code ec;
    if (!fs::is_directory(toPath(folder), ec)) {
        if (root) return;
        Globals::WriteLogLine(QStringLiteral("ScanTree: folder gone ") + folder);
        return;
    }
    // Sub-folders first, then the files of each mask (or every file).
    QStringList folders;
    for (const QString& name : listFolder(folder, {}, kDirectory | kHidden, &ok)) {
        pump();
        if (name == u"." || name == u"..") continue;
        const fs::path p = toPath(AppPaths::join(folder, name));
        if (fs::is_directory(fs::symlink_status(p, ec))) folders << name;
    }
    if (!ok) {
        if (root)
            throw AppError(kScanTreeError, QStringLiteral("ScanTree"),
                           QStringLiteral("Folder cannot be read: ") + folder);
        Globals::WriteLogLine(QStringLiteral("ScanTree: skipped unreadable folder ") + folder);
        return;
    }
    QStringList files;
    const int fileAttrs = kReadOnly | kHidden | kArchive;
    if (exclude) {
        files = listFolder(folder, {}, fileAttrs, &ok);
    } else {
        for (const QString& m : masks) files << listFolder(folder, m, fileAttrs, &ok);
    }
    for (const QString& name : folders) {
        pump();
        scan(AppPaths::join(folder, name), exclude, masks, false, result);
    }
    for (const QString& name : files) {
        pump();
        if (name.toUpper() == QStringLiteral("PAGEFILE.SYS")) continue;
        const QString path = AppPaths::join(folder, name);
        if (exclude && std::any_of(masks.begin(), masks.end(),
                                   [&](const QString& m) { return MatchSpec(path, m); }))
            continue;
        result << path;
    }
}

}  // namespace

bool DriveExists(const QString& path) {
    if (path.isEmpty()) return false;
    std::error_code ec;
    fs::path p = fs::absolute(toPath(path), ec);
    while (!p.empty()) {
        if (fs::exists(p, ec)) return true;
        if (p == p.parent_path()) break;
        p = p.parent_path();
    }
    return false;
}

bool DriveIsReady(const QString& path) {
    if (!DriveExists(path)) return false;
    std::error_code ec;
    fs::path p = fs::absolute(toPath(path), ec);
    while (!fs::exists(p, ec)) p = p.parent_path();
    if (!fs::is_directory(p, ec)) p = p.parent_path();
    return ::access(p.c_str(), R_OK | X_OK) == 0;
}

QStringList DirList(const QString& pattern, int attributes) {
    if (pattern.isEmpty()) return {};
    QString pat = pattern;
    while (pat.size() > 1 && pat.endsWith(u'/')) pat.chop(1);
    if (!DriveIsReady(pat)) return {};
    const Split s = splitPattern(pat);
    if (hasWildcard(s.mask)) return listFolder(s.folder, s.mask, attributes, nullptr);
    // One named entry: its name when it exists with allowed attributes.
    std::error_code ec;
    const fs::path p = toPath(pat);
    const fs::directory_entry e(p, ec);
    if (ec || !e.exists(ec)) return {};
    const QString name = pat == u"/" ? QStringLiteral("/") : fromPath(p.filename());
    if (!attributesAllow(attributesOf(e, name) & ~kHidden, attributes)) return {};
    return {name};
}

QString SafeDir(const QString& pattern, int attributes) {
    const QStringList names = DirList(pattern, attributes);
    return names.isEmpty() ? QString() : names.front();
}

bool MatchSpec(const QString& path, const QString& mask, bool invert) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    return nameMatches(name, mask) != invert;
}

QStringList ScanTree(const QString& folder, bool exclude, const QStringList& masks) {
    QStringList result;
    QString root = folder;
    while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
    if (root.isEmpty() || !DriveIsReady(root)) return result;
    scan(root, exclude, masks, true, result);
    return result;
}

QStringList GetFileList(const QString& folder, bool recurse, const QString& mask) {
    const QString m = mask.isEmpty() ? QStringLiteral("*.*") : mask;
    QString root = folder;
    while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
    if (recurse) return ScanTree(root, false, {m});
    QStringList result;
    if (root.isEmpty() || !DriveIsReady(root)) return result;
    for (const QString& name : listFolder(root, m, kReadOnly | kHidden, nullptr)) {
        result << AppPaths::join(root, name);
        pump();
    }
    return result;
}

}  // namespace zelmora::DirectoryFunctions

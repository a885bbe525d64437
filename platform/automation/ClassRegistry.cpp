#include "platform/automation/ClassRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QStandardPaths>
#include <cstdint>
#include <mutex>

#include "platform/automation/AutomationError.h"
#include "platform/os/FileWrite.h"

namespace zelmora::automation::registry {

namespace {

constexpr const char* kSource = "Class registry";

std::mutex& overrideMutex() {
    static std::mutex m;
    return m;
}
QString& overridePath() {
    static QString p;
    return p;
}

[[noreturn]] void fail(const QString& what) {
    throw AutomationError(AutomationError::kPathFileAccess, kSource, what);
}

QString fromStd(const std::string& s) {
    return QString::fromStdString(s);
}
std::string toStd(const QJsonValue& v) {
    return v.toString().toStdString();
}

bool sameText(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), qsizetype(a.size()))
               .compare(QString::fromUtf8(b.data(), qsizetype(b.size())), Qt::CaseInsensitive) == 0;
}

struct Contents {
    std::vector<ClassRegistration> classes;
    std::vector<TypeLibraryRegistration> typeLibraries;
};

Contents read(const QString& path) {
    Contents c;
    QFile f(path);
    if (!f.exists()) return c;
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Class registry %1 cannot be read: %2").arg(path, f.errorString()));
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        fail(QStringLiteral("Class registry %1 is damaged: %2").arg(path, err.errorString()));
    const QJsonObject root = doc.object();
    for (const QJsonValue& v : root.value("classes").toArray()) {
        const QJsonObject o = v.toObject();
        ClassRegistration r;
        r.clsid = toStd(o.value("clsid"));
        r.progId = toStd(o.value("progId"));
        r.typeName = toStd(o.value("typeName"));
        r.library = toStd(o.value("library"));
        // A hand-edited number outside 32 bits reads as no status rather than garbage.
        const qint64 misc = o.value("miscStatus").toInteger();
        r.miscStatus = misc >= 0 && misc <= qint64(UINT32_MAX) ? std::uint32_t(misc) : 0;
        if (!r.clsid.empty()) c.classes.push_back(std::move(r));
    }
    for (const QJsonValue& v : root.value("typeLibraries").toArray()) {
        const QJsonObject o = v.toObject();
        c.typeLibraries.push_back({toStd(o.value("guid")), toStd(o.value("version")),
                                   toStd(o.value("name")), toStd(o.value("library"))});
    }
    return c;
}

void write(const QString& path, const Contents& c) {
    QJsonArray classes, libs;
    for (const ClassRegistration& r : c.classes)
        classes.append(QJsonObject{{"clsid", fromStd(r.clsid)},
                                   {"progId", fromStd(r.progId)},
                                   {"typeName", fromStd(r.typeName)},
                                   {"library", fromStd(r.library)},
                                   {"miscStatus", double(r.miscStatus)}});
    for (const TypeLibraryRegistration& t : c.typeLibraries)
        libs.append(QJsonObject{{"guid", fromStd(t.guid)},
                                {"version", fromStd(t.version)},
                                {"name", fromStd(t.name)},
                                {"library", fromStd(t.library)}});
    const QJsonObject root{{"format", 1}, {"classes", classes}, {"typeLibraries", libs}};
    try {
        platform::writeFileWhole(path, QJsonDocument(root).toJson());
    } catch (const AppError& e) {
        fail(QStringLiteral("Class registry %1 cannot be written: %2").arg(path, e.description()));
    }
}

// Read, change and write under the registry's lock file.
template <typename Fn>
auto update(Fn change) {
    const QString path = file();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(10'000)) {
        if (lock.error() == QLockFile::LockFailedError)
            fail(QStringLiteral("Class registry %1 is locked").arg(path));
        // The lock file could not be made at all: say why (a read-only or full disk).
        QFile probe(path + QStringLiteral(".lock"));
        const QString cause = probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                                  ? lock.error() == QLockFile::PermissionError
                                        ? QStringLiteral("Permission denied")
                                        : QStringLiteral("the lock file cannot be made")
                                  : probe.errorString();
        if (probe.isOpen()) probe.remove();
        fail(QStringLiteral("Class registry %1 cannot be written: %2").arg(path, cause));
    }
    Contents c = read(path);
    auto result = change(c);
    write(path, c);
    return result;
}

}  // namespace

QString file() {
    {
        std::lock_guard lock(overrideMutex());
        if (!overridePath().isEmpty()) return overridePath();
    }
    const QString env = qEnvironmentVariable("ZELMORA_CLASS_REGISTRY");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/zelmora/classes.json");
}

void setFile(const QString& path) {
    std::lock_guard lock(overrideMutex());
    overridePath() = path;
}

std::optional<ClassRegistration> findClass(std::string_view name) {
    for (const ClassRegistration& r : read(file()).classes)
        if (sameText(r.progId, name) || sameText(r.clsid, name)) return r;
    return std::nullopt;
}

std::vector<ClassRegistration> classes() {
    return read(file()).classes;
}

std::vector<TypeLibraryRegistration> typeLibraries() {
    return read(file()).typeLibraries;
}

void registerClass(const ClassRegistration& reg) {
    update([&](Contents& c) {
        std::erase_if(c.classes, [&](const ClassRegistration& r) {
            return sameText(r.clsid, reg.clsid) ||
                   (!reg.progId.empty() && sameText(r.progId, reg.progId));
        });
        c.classes.push_back(reg);
        return true;
    });
}

bool unregisterClass(std::string_view clsid) {
    return update([&](Contents& c) {
        return std::erase_if(c.classes, [&](const ClassRegistration& r) {
                   return sameText(r.clsid, clsid);
               }) > 0;
    });
}

void registerTypeLibrary(const TypeLibraryRegistration& t) {
    update([&](Contents& c) {
        std::erase_if(c.typeLibraries, [&](const TypeLibraryRegistration& r) {
            return sameText(r.guid, t.guid) && r.version == t.version;
        });
        c.typeLibraries.push_back(t);
        return true;
    });
}

bool unregisterTypeLibrary(std::string_view guid, std::string_view version) {
    return update([&](Contents& c) {
        return std::erase_if(c.typeLibraries, [&](const TypeLibraryRegistration& r) {
                   return sameText(r.guid, guid) && r.version == version;
               }) > 0;
    });
}

}  // namespace zelmora::automation::registry

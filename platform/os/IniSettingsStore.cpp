#include "platform/os/IniSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/core/AppError.h"

namespace zelmora::platform {

namespace {
std::shared_ptr<SettingsStore>& storeSlot() {
    static std::shared_ptr<SettingsStore> slot;
    return slot;
}
QString appKey(const QString& app) { return app.toLower(); }
}  // namespace

SettingsStore& settings() {
    auto& slot = storeSlot();
    if (!slot) slot = std::make_shared<IniSettingsStore>();
    return *slot;
}

void setSettings(std::shared_ptr<SettingsStore> store) { storeSlot() = std::move(store); }

IniSettingsStore::IniSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString IniSettingsStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/zelmora");
}

QString IniSettingsStore::fileFor(const QString& app) const {
    QString name = app;
    for (QChar& c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() < 0x20) c = u'_';
    name += QStringLiteral(".ini");
    // Application names match without regard to case, as the cache does: a file
    // saved under another spelling is the same application's.
    for (const QString& existing : QDir(folder_).entryList(QDir::Files))
        if (existing.compare(name, Qt::CaseInsensitive) == 0) return folder_ + u'/' + existing;
    return folder_ + u'/' + name;
}

const SettingsData& IniSettingsStore::load(const QString& app) const {
    const QString k = appKey(app);
    auto it = cache_.find(k);
    if (it != cache_.end()) return *it;
    SettingsData data;
    QFile f(fileFor(app));
    if (f.open(QIODevice::ReadOnly)) data = SettingsData::fromIni(f.readAll());
    return *cache_.insert(k, std::move(data));
}

void IniSettingsStore::write(const QString& app, const SettingsData& data) {
    QDir().mkpath(folder_);
    QSaveFile f(fileFor(app));
    if (!f.open(QIODevice::WriteOnly) || f.write(data.toIni()) < 0 || !f.commit()) {
        throw AppError(AppError::kPathFileAccess, QStringLiteral("Settings"),
                       QStringLiteral("Cannot write the settings file ") + fileFor(app));
    }
}

QString IniSettingsStore::get(const QString& app, const QString& section, const QString& key,
                              const QString& defaultValue) const {
    return load(app).find(section, key).value_or(defaultValue);
}

bool IniSettingsStore::contains(const QString& app, const QString& section,
                                const QString& key) const {
    return load(app).find(section, key).has_value();
}

void IniSettingsStore::save(const QString& app, const QString& section, const QString& key,
                            const QString& value) {
    // Start from what is on disk now: another copy of the program may have saved.
    cache_.remove(appKey(app));
    SettingsData data = load(app);
    data.set(section, key, value);
    write(app, data);
    cache_[appKey(app)] = std::move(data);
}

void IniSettingsStore::remove(const QString& app, const QString& section, const QString& key) {
    cache_.remove(appKey(app));
    SettingsData data = load(app);
    if (!data.remove(section, key)) return;
    write(app, data);
    cache_[appKey(app)] = std::move(data);
}

QString MemorySettingsStore::get(const QString& app, const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    auto it = apps_.find(appKey(app));
    if (it == apps_.end()) return defaultValue;
    return it->find(section, key).value_or(defaultValue);
}

bool MemorySettingsStore::contains(const QString& app, const QString& section,
                                   const QString& key) const {
    auto it = apps_.find(appKey(app));
    return it != apps_.end() && it->find(section, key).has_value();
}

void MemorySettingsStore::save(const QString& app, const QString& section, const QString& key,
                               const QString& value) {
    apps_[appKey(app)].set(section, key, value);
    writes_.push_back(Write{app, section, key, value});
}

void MemorySettingsStore::remove(const QString& app, const QString& section, const QString& key) {
    auto it = apps_.find(appKey(app));
    if (it != apps_.end()) it->remove(section, key);
}

}  // namespace zelmora::platform

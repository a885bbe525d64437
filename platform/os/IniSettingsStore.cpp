#include "platform/os/IniSettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/core/AppError.h"
#include "platform/core/ApplicationEnd.h"
#include "platform/os/FileWrite.h"

namespace zelmora::platform {

namespace {
std::shared_ptr<SettingsStore>& storeSlot() {
    static std::shared_ptr<SettingsStore> slot;
    return slot;
}
QString appKey(const QString& app) {
    return app.toLower();
}

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
std::function<void(const QString&)>& warningSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}
void warn(const QString& text) {
    std::function<void(const QString&)> sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = warningSink();
    }
    if (sink) sink(text);
}
std::function<void(const QString&)>& lockObserver() {
    static std::function<void(const QString&)> observer;
    return observer;
}
// Another copy holds the lock only while it saves: ask again soon (QLockFile's
// own wait doubles from a tenth of a second).
bool lockWithin(QLockFile& lock, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (lock.tryLock(0)) return true;
        if (lock.error() != QLockFile::LockFailedError ||
            std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}
}  // namespace

void IniSettingsStore::setWarningSink(std::function<void(const QString&)> sink) {
    std::lock_guard lock(sinkMutex());
    warningSink() = std::move(sink);
}

void IniSettingsStore::setLockObserver(std::function<void(const QString&)> observer) {
    lockObserver() = std::move(observer);
}

SettingsStore& settings() {
    auto& slot = storeSlot();
    if (!slot)
        slot = std::make_shared<IniSettingsStore>(IniSettingsStore::defaultFolder(),
                                                  IniSettingsStore::Writes::Batched);
    return *slot;
}

void setSettings(std::shared_ptr<SettingsStore> store) {
    storeSlot() = std::move(store);
}

IniSettingsStore::IniSettingsStore(QString folder, Writes writes)
    : folder_(std::move(folder)),
      writes_(writes),
      self_(std::make_shared<IniSettingsStore*>(this)) {
    if (writes_ != Writes::Batched) return;
    // The program may end without its event loop coming round again: what was
    // saved last still reaches the disk (a flush still posted goes with the
    // application).
    atApplicationEnd(
        [alive = std::weak_ptr<IniSettingsStore*>(self_)] { flushIfStillThere(alive); });
}

void IniSettingsStore::flushIfStillThere(const std::weak_ptr<IniSettingsStore*>& alive) {
    const auto self = alive.lock();
    if (!self) return;
    (*self)->flushPosted_ = false;
    (*self)->flushOrWarn();
}

IniSettingsStore::~IniSettingsStore() {
    flushOrWarn();
}

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
    const QString path = fileFor(app);
    std::optional<QByteArray> bytes;
    try {
        bytes = readFileIfPresent(path);
    } catch (const AppError& e) {
        // Never taken for a missing file: a save would then write back only its own key.
        throw AppError(AppError::kPathFileAccess, QStringLiteral("Settings"),
                       QStringLiteral("Cannot read the settings file ") + path +
                           QStringLiteral(": ") + e.description());
    }
    if (bytes) {
        QStringList problems;
        data = SettingsData::fromIni(*bytes, &problems);
        for (const QString& line : problems)
            warn(QStringLiteral("Settings file ") + path +
                 QStringLiteral(": malformed section line skipped with its keys: ") + line);
    }
    return *cache_.insert(k, std::move(data));
}

const SettingsData* IniSettingsStore::loadOrWarn(const QString& app) const {
    try {
        return &load(app);
    } catch (const AppError& e) {
        warn(e.description());
        return nullptr;
    }
}

void IniSettingsStore::write(const QString& app, const SettingsData& data) {
    const QString path = fileFor(app);
    try {
        writeFileWhole(path, data.toIni());
    } catch (const AppError& e) {
        throw AppError(AppError::kPathFileAccess, QStringLiteral("Settings"),
                       QStringLiteral("Cannot write the settings file ") + path +
                           QStringLiteral(": ") + e.description());
    }
}

// Read, change and write under the file's lock, starting from what is on disk now:
// another copy of the program may have saved.
template <typename Edit>
void IniSettingsStore::update(const QString& app, Edit edit) {
    QDir().mkpath(folder_);
    const QString path = fileFor(app);
    const QString lockFile = path + QStringLiteral(".lock");
    QLockFile lock(lockFile);
    if (!lockWithin(lock, 10'000))
        throw AppError(AppError::kPathFileAccess, QStringLiteral("Settings"),
                       QStringLiteral("Cannot lock the settings file ") + path);
    if (lockObserver()) lockObserver()(lockFile);
    cache_.remove(appKey(app));
    SettingsData data = load(app);
    if (!edit(data)) return;
    write(app, data);
    cache_[appKey(app)] = std::move(data);
}

QString IniSettingsStore::get(const QString& app, const QString& section, const QString& key,
                              const QString& defaultValue) const {
    const SettingsData* data = loadOrWarn(app);
    return data ? data->find(section, key).value_or(defaultValue) : defaultValue;
}

bool IniSettingsStore::contains(const QString& app, const QString& section,
                                const QString& key) const {
    const SettingsData* data = loadOrWarn(app);
    return data && data->find(section, key).has_value();
}

void IniSettingsStore::save(const QString& app, const QString& section, const QString& key,
                            const QString& value) {
    if (writes_ == Writes::Batched) return keep(app, KeyChange{false, section, key, value});
    update(app, [&](SettingsData& data) {
        data.set(section, key, value);
        return true;
    });
}

void IniSettingsStore::remove(const QString& app, const QString& section, const QString& key) {
    if (writes_ == Writes::Batched) return keep(app, KeyChange{true, section, key, {}});
    update(app, [&](SettingsData& data) { return data.remove(section, key); });
}

namespace {
template <typename C>
void apply(SettingsData& data, const C& change) {
    if (change.remove)
        data.remove(change.section, change.key);
    else
        data.set(change.section, change.key, change.value);
}
}  // namespace

// Readers see the change at once; the file gets it with the others saved while
// this event is handled.
void IniSettingsStore::keep(const QString& app, KeyChange change) {
    const QString k = appKey(app);
    load(app);  // a file that is there but cannot be read: raise, keep nothing
    apply(cache_[k], change);
    Waiting& waiting = waiting_[k];
    if (waiting.changes.empty()) waiting.app = app;
    waiting.changes.push_back(std::move(change));
    comeBackLater();
}

void IniSettingsStore::comeBackLater() {
    if (flushPosted_) return;
    QCoreApplication* application = QCoreApplication::instance();
    // No event loop to come round on this thread: written at once.
    if (!application || QThread::currentThread() != application->thread()) return flush();
    flushPosted_ = true;
    QMetaObject::invokeMethod(
        application,
        [alive = std::weak_ptr<IniSettingsStore*>(self_)] { flushIfStillThere(alive); },
        Qt::QueuedConnection);
}

// Under the lock, onto what is on disk now (another copy may have saved since),
// the changes in the order they were made; a file they leave as it was is not
// written again.
void IniSettingsStore::writeWaiting(const QString& k) {
    const auto it = waiting_.constFind(k);
    if (it == waiting_.cend()) return;
    const Waiting waiting = *it;
    const SettingsData mine = cache_.value(k);
    try {
        update(waiting.app, [&](SettingsData& data) {
            const QByteArray before = data.toIni();
            for (const KeyChange& change : waiting.changes) apply(data, change);
            return data.toIni() != before;
        });
    } catch (...) {
        // The old file stays; the changes wait for the next flush, and readers
        // go on seeing them.
        cache_[k] = mine;
        throw;
    }
    waiting_.remove(k);
}

void IniSettingsStore::writeEachWaiting(const std::function<void(const AppError&)>& failed) {
    for (const QString& k : waiting_.keys()) {
        try {
            writeWaiting(k);
        } catch (const AppError& e) {
            failed(e);
        }
    }
}

void IniSettingsStore::flush() {
    std::optional<AppError> failure;
    writeEachWaiting([&failure](const AppError& e) {
        if (!failure) failure = e;
    });
    if (failure) throw *failure;
}

void IniSettingsStore::flushOrWarn() noexcept {
    try {
        writeEachWaiting([](const AppError& e) { warn(e.description()); });
    } catch (...) {
        // Nothing escapes a destructor or the event loop.
    }
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

#pragma once

#include "platform/core/Api.h"
#include "platform/core/AppError.h"

#include "platform/os/SettingsData.h"
#include "platform/os/SettingsStore.h"

#include <QHash>
#include <functional>
#include <memory>
#include <vector>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Settings kept as one INI file per application name in a folder
// (by default $XDG_CONFIG_HOME/zelmora). A write re-reads the file, so that a
// second copy of the program loses nothing, and replaces it whole; the read, the
// change and the write hold the file's lock ("<file>.lock"), as the class registry does.
// A file that is there but cannot be read makes a save raise and write nothing.
class IniSettingsStore : public SettingsStore {
public:
    // When a save reaches the file.
    enum class Writes {
        // Before save() returns: for a store without an event loop (tools, a
        // second store that reads the file back at once).
        AtOnce,
        // The program's: the saves made while one event is handled (a window
        // saving its settings as it closes, the program's exit) are written
        // together, each file once, when the event loop comes round again, at
        // flush(), or when the application or the store ends. Reads see them at
        // once. Saved on another thread than the application's, or with no
        // application, they are written at once.
        Batched,
    };

    explicit IniSettingsStore(QString folder = defaultFolder(), Writes writes = Writes::AtOnce);
    // Writes what is still waiting; a failure is told to the warning sink.
    ~IniSettingsStore() override;
    static QString defaultFolder();

    QString get(const QString& app, const QString& section, const QString& key,
                const QString& defaultValue) const override;
    bool contains(const QString& app, const QString& section, const QString& key) const override;
    void save(const QString& app, const QString& section, const QString& key,
              const QString& value) override;
    void remove(const QString& app, const QString& section, const QString& key) override;
    // Writes each file with saves waiting once; raises AppError for the first file
    // that could not be written (the old file stays; its saves are kept and tried
    // again at the next flush).
    void flush() override;

    QString fileFor(const QString& app) const;

    // Where lines of a settings file that were skipped as malformed, and batched
    // writes that failed, are told (the shell sends them to the trace log).
    static void setWarningSink(std::function<void(const QString&)> sink);

    // For tests: sees each taking of a settings file's lock, with the lock file's
    // path (taking it flushes the lock file to the disk).
    static void setLockObserver(std::function<void(const QString& lockFile)> observer);

private:
    struct KeyChange {
        bool remove = false;
        QString section, key, value;
    };
    struct Waiting {
        QString app;  // as the first save spelled it, for the file's name
        std::vector<KeyChange> changes;
    };

    // Throws AppError when the file is there but cannot be read.
    const SettingsData& load(const QString& app) const;
    // load() for the readers: an unreadable file is told to the warning sink and
    // gives nullptr (the defaults), and is tried again at the next read.
    const SettingsData* loadOrWarn(const QString& app) const;
    void write(const QString& app, const SettingsData& data);
    template <typename Edit>
    void update(const QString& app, Edit edit);
    void keep(const QString& app, KeyChange change);
    void writeWaiting(const QString& key);
    // Each file with saves waiting written once; `failed` hears of each one
    // that could not be (its saves wait on).
    void writeEachWaiting(const std::function<void(const AppError&)>& failed);
    void flushOrWarn() noexcept;
    // A flush that comes later (posted to the loop, or at the application's
    // end) writes only while the store is still there.
    static void flushIfStillThere(const std::weak_ptr<IniSettingsStore*>& alive);
    void comeBackLater();

    QString folder_;
    Writes writes_;
    mutable QHash<QString, SettingsData> cache_;
    QHash<QString, Waiting> waiting_;  // by application key, batched saves not yet written
    bool flushPosted_ = false;
    // Lets a flush posted to the event loop, or the application's end, find out
    // whether the store is still there.
    std::shared_ptr<IniSettingsStore*> self_;
};

// Settings held in memory only (tests).
class MemorySettingsStore : public SettingsStore {
public:
    QString get(const QString& app, const QString& section, const QString& key,
                const QString& defaultValue) const override;
    bool contains(const QString& app, const QString& section, const QString& key) const override;
    void save(const QString& app, const QString& section, const QString& key,
              const QString& value) override;
    void remove(const QString& app, const QString& section, const QString& key) override;

    // Every save in order, for tests that check what was written.
    struct Write {
        QString app, section, key, value;
    };
    const std::vector<Write>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

private:
    QHash<QString, SettingsData> apps_;
    std::vector<Write> writes_;
};

}  // namespace zelmora::platform

ZELMORA_API_END

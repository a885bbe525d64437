#pragma once

#include "platform/core/Api.h"

#include "platform/os/SettingsData.h"
#include "platform/os/SettingsStore.h"

#include <QHash>
#include <functional>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Settings kept as one INI file per application name in a folder
// (by default $XDG_CONFIG_HOME/zelmora). Each save re-reads the file, so that a
// second copy of the program loses nothing, and replaces it whole; the read, the
// change and the write hold the file's lock ("<file>.lock"), as the class registry does.
// A file that is there but cannot be read makes a save raise and write nothing.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(QString folder = defaultFolder());
    static QString defaultFolder();

    QString get(const QString& app, const QString& section, const QString& key,
                const QString& defaultValue) const override;
    bool contains(const QString& app, const QString& section, const QString& key) const override;
    void save(const QString& app, const QString& section, const QString& key,
              const QString& value) override;
    void remove(const QString& app, const QString& section, const QString& key) override;

    QString fileFor(const QString& app) const;

    // Where lines of a settings file that were skipped as malformed are told (the
    // shell sends them to the trace log).
    static void setWarningSink(std::function<void(const QString&)> sink);

private:
    // Throws AppError when the file is there but cannot be read.
    const SettingsData& load(const QString& app) const;
    // load() for the readers: an unreadable file is told to the warning sink and
    // gives nullptr (the defaults), and is tried again at the next read.
    const SettingsData* loadOrWarn(const QString& app) const;
    void write(const QString& app, const SettingsData& data);
    template <typename Change>
    void update(const QString& app, Change change);

    QString folder_;
    mutable QHash<QString, SettingsData> cache_;
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

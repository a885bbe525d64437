#pragma once

#include "platform/os/SettingsData.h"
#include "platform/os/SettingsStore.h"

#include <QHash>

namespace zelmora::platform {

// Settings kept as one INI file per application name in a folder
// (by default $XDG_CONFIG_HOME/zelmora). Each save re-reads the file, so that a
// second copy of the program loses nothing, and replaces it atomically.
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

private:
    const SettingsData& load(const QString& app) const;
    void write(const QString& app, const SettingsData& data);

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

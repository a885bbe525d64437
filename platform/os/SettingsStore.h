#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <memory>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// The per-user settings store: string values addressed by application name,
// section and key. Sections and keys are matched without regard to letter case,
// as the desktop's store does; a read names its default and never writes it.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString get(const QString& app, const QString& section, const QString& key,
                        const QString& defaultValue) const = 0;
    virtual bool contains(const QString& app, const QString& section, const QString& key) const = 0;
    virtual void save(const QString& app, const QString& section, const QString& key,
                      const QString& value) = 0;
    virtual void remove(const QString& app, const QString& section, const QString& key) = 0;
    // Writes what was saved and has not reached the disk yet; a store that writes
    // each save at once has nothing to do. Raises AppError when a file cannot be
    // written.
    virtual void flush() {}
};

// The store in use. Production installs an IniSettingsStore; tests a memory one.
SettingsStore& settings();
void setSettings(std::shared_ptr<SettingsStore> store);

}  // namespace zelmora::platform

ZELMORA_API_END

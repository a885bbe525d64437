#include "platform/drivers/SimulatorSettings.h"

#include <cmath>

#include "platform/os/SettingsStore.h"

namespace zelmora::drivers::SimulatorSettings {

namespace {
QString raw(const QString& section, const QString& key) {
    return platform::settings().get(kApp, section, key, {}).trimmed();
}
}  // namespace

// A stored value that does not read falls back to the default: a simulator
// must come up whatever its settings file holds.
double getDouble(const QString& section, const QString& key, double defaultValue) {
    bool ok = false;
    const double v = raw(section, key).toDouble(&ok);
    // "nan" and "inf" read, but are no latitude or speed.
    return ok && std::isfinite(v) ? v : defaultValue;
}

int getInt(const QString& section, const QString& key, int defaultValue) {
    bool ok = false;
    const int v = raw(section, key).toInt(&ok);
    return ok ? v : defaultValue;
}

bool getBool(const QString& section, const QString& key, bool defaultValue) {
    const QString v = raw(section, key);
    if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    return defaultValue;
}

void saveDouble(const QString& section, const QString& key, double value) {
    platform::settings().save(kApp, section, key, QString::number(value, 'g', 12));
}

void saveInt(const QString& section, const QString& key, int value) {
    platform::settings().save(kApp, section, key, QString::number(value));
}

void saveBool(const QString& section, const QString& key, bool value) {
    platform::settings().save(kApp, section, key,
                              value ? QStringLiteral("True") : QStringLiteral("False"));
}

}  // namespace zelmora::drivers::SimulatorSettings

#pragma once

#include <QString>

// The simulators keep their own settings, as drivers do, apart from the
// program's: application "Zelmora Simulators", one section per driver identifier.
namespace zelmora::drivers::SimulatorSettings {

inline const QString kApp = QStringLiteral("Zelmora Simulators");

double getDouble(const QString& section, const QString& key, double defaultValue);
int getInt(const QString& section, const QString& key, int defaultValue);
bool getBool(const QString& section, const QString& key, bool defaultValue);
void saveDouble(const QString& section, const QString& key, double value);
void saveInt(const QString& section, const QString& key, int value);
void saveBool(const QString& section, const QString& key, bool value);

}  // namespace zelmora::drivers::SimulatorSettings

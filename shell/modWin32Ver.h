#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace zelmora::modWin32Ver {

// What the operating system reports of its version.
struct VersionRecord {
    int platformId = 0;  // 1 = the old consumer family, 2 = the NT family
    int major = 0;
    int minor = 0;
    QString servicePack;
};

struct Classified {
    std::int16_t code;
    QString name;  // ends with "::"
};

// First match wins; anything unknown, and a failed query, is code 0.
Classified classify(const std::optional<VersionRecord>& record);

// The record of this machine. On Linux there is no such record: the query
// "fails" and the kernel's name and release stand in for the service-pack text.
std::optional<VersionRecord> queryVersion(QString* describe);

// Classifies this machine and writes the trace line (name & service-pack text).
std::int16_t GetWindowsVersion();
bool IsWindowsNT();

}  // namespace zelmora::modWin32Ver

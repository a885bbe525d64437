#pragma once

#include "platform/core/Api.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Sections of keys in insertion order, looked up without regard to case (through
// hash indexes, so tens of thousands of keys read and save in linear time).
// Shared by the file-backed and the in-memory settings stores.
class SettingsData {
public:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        QHash<QString, std::size_t> index;  // case-folded key -> position in entries
    };

    std::optional<QString> find(const QString& section, const QString& key) const;
    void set(const QString& section, const QString& key, const QString& value);
    bool remove(const QString& section, const QString& key);
    const std::vector<Section>& sections() const { return sections_; }
    void clear() {
        sections_.clear();
        sectionIndex_.clear();
    }

    // The file form: "[section]" lines and "key=value" lines, with the
    // characters that would break the form written as %XX. Lines may end in CR LF,
    // LF or CR alone. A "[" line that is no whole section name starts no section:
    // its keys are skipped (never added to the section before it) and each such
    // line is told in problems.
    QByteArray toIni() const;
    static SettingsData fromIni(const QByteArray& text, QStringList* problems = nullptr);

private:
    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;
    std::vector<Section> sections_;
    QHash<QString, std::size_t> sectionIndex_;  // case-folded name -> position
};

}  // namespace zelmora::platform

ZELMORA_API_END

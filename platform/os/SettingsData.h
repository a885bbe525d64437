#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace zelmora::platform {

// Sections of keys in insertion order, looked up without regard to case.
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
    };

    std::optional<QString> find(const QString& section, const QString& key) const;
    void set(const QString& section, const QString& key, const QString& value);
    bool remove(const QString& section, const QString& key);
    const std::vector<Section>& sections() const { return sections_; }
    void clear() { sections_.clear(); }

    // The file form: "[section]" lines and "key=value" lines, with the
    // characters that would break the form written as %XX.
    QByteArray toIni() const;
    static SettingsData fromIni(const QByteArray& text);

private:
    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;
    std::vector<Section> sections_;
};

}  // namespace zelmora::platform

#include "platform/os/SettingsData.h"

#include <QList>

namespace zelmora::platform {

namespace {

// Names match without regard to case: the indexes hold them case-folded.
QString folded(const QString& name) {
    return name.toCaseFolded();
}

// Percent-encodes '%', line breaks and, where `name` is set, the characters
// that mark sections, comments and the key/value split. Blanks at either end
// are encoded too, since readers of such files trim them.
QString encode(const QString& text, bool name) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool edge = (i == 0 || i == text.size() - 1);
        bool escape = c == u'%' || c == u'\r' || c == u'\n' || (edge && c.isSpace());
        if (name)
            escape = escape || c == u'=' || c == u'[' || c == u']' ||
                     (i == 0 && (c == u';' || c == u'#'));
        if (escape && c.unicode() < 0x80) {
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        } else {
            out += c;
        }
    }
    return out;
}

// Blanks a hand edit may leave around names and values. Only the ASCII ones:
// encode() escapes those where they belong to the text, and other spaces (a
// no-break space ending a pasted name) must come back as they were saved.
QStringView trimBlanks(QStringView s) {
    const auto blank = [](QChar c) { return c.unicode() < 0x80 && c.isSpace(); };
    while (!s.isEmpty() && blank(s.front())) s = s.mid(1);
    while (!s.isEmpty() && blank(s.back())) s.chop(1);
    return s;
}

QString decode(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 2 < text.size()) {
            bool ok = false;
            const int v = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += QChar(v);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

SettingsData::Section* SettingsData::findSection(const QString& name) {
    const auto it = sectionIndex_.constFind(folded(name));
    return it == sectionIndex_.constEnd() ? nullptr : &sections_[*it];
}

const SettingsData::Section* SettingsData::findSection(const QString& name) const {
    const auto it = sectionIndex_.constFind(folded(name));
    return it == sectionIndex_.constEnd() ? nullptr : &sections_[*it];
}

std::optional<QString> SettingsData::find(const QString& section, const QString& key) const {
    if (const Section* s = findSection(section)) {
        const auto it = s->index.constFind(folded(key));
        if (it != s->index.constEnd()) return s->entries[*it].value;
    }
    return std::nullopt;
}

void SettingsData::set(const QString& section, const QString& key, const QString& value) {
    Section* s = findSection(section);
    if (!s) {
        sectionIndex_.insert(folded(section), sections_.size());
        sections_.push_back(Section{section, {}, {}});
        s = &sections_.back();
    }
    const QString k = folded(key);
    const auto it = s->index.constFind(k);
    if (it != s->index.constEnd()) {
        s->entries[*it].value = value;
        return;
    }
    s->index.insert(k, s->entries.size());
    s->entries.push_back(Entry{key, value});
}

bool SettingsData::remove(const QString& section, const QString& key) {
    Section* s = findSection(section);
    if (!s) return false;
    const auto it = s->index.constFind(folded(key));
    if (it == s->index.constEnd()) return false;
    const std::size_t at = *it;
    s->entries.erase(s->entries.begin() + std::ptrdiff_t(at));
    s->index.erase(it);
    // The entries after it moved up by one.
    for (auto& position : s->index)
        if (position > at) --position;
    return true;
}

QByteArray SettingsData::toIni() const {
    QString out;
    for (const auto& s : sections_) {
        out += u'[' + encode(s.name, true) + QStringLiteral("]\n");
        for (const auto& e : s.entries)
            out += encode(e.key, true) + u'=' + encode(e.value, false) + u'\n';
        out += u'\n';
    }
    return out.toUtf8();
}

SettingsData SettingsData::fromIni(const QByteArray& bytes, QStringList* problems) {
    SettingsData data;
    QString section;
    bool haveSection = false;
    QString text = QString::fromUtf8(bytes);
    // CR LF, LF or CR alone: each ends a line (a CR inside a value is written as %0D).
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    for (QStringView line : QStringView(text).split(u'\n')) {
        const QStringView trimmed = trimBlanks(line);
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#')) continue;
        if (trimmed.startsWith(u'[')) {
            if (trimmed.endsWith(u']')) {
                section = decode(trimmed.mid(1, trimmed.size() - 2));
                haveSection = true;
            } else {
                // Its keys belong to no section we know: they must not land in the last one.
                haveSection = false;
                if (problems) *problems << line.toString();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || !haveSection) continue;  // not a key line: skip it
        data.set(section, decode(trimBlanks(line.left(eq))), decode(trimBlanks(line.mid(eq + 1))));
    }
    return data;
}

}  // namespace zelmora::platform

#include "sky/CoordParser.h"

#include <cmath>
#include <vector>

namespace zelmora::sky::CoordParser {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// The marks that may follow the number at `index` (0 whole, 1 minutes, 2 seconds).
bool isMark(QChar c, int index) {
    switch (index) {
        case 0:
            return c == u'h' || c == u'H' || c == u'd' || c == u'D' || c == QChar(0xB0) ||
                   c == QChar(0xBA) || c == u':';
        case 1:
            return c == u'm' || c == u'M' || c == u'\'' || c == QChar(0x2019) ||
                   c == QChar(0x2032) || c == u':';
        default:
            return c == u's' || c == u'S' || c == u'"' || c == QChar(0x201D) || c == QChar(0x2033);
    }
}

std::optional<double> parse(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    const int n = t.size();
    bool negative = false;
    if (i < n && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
        while (i < n && isBlank(t[i])) ++i;
    }
    std::vector<double> parts;
    bool fraction = false;
    while (i < n) {
        if (parts.size() == 3 || fraction) return std::nullopt;  // more after the last part
        const int start = i;
        bool point = false;
        while (i < n && (t[i].isDigit() || (t[i] == u'.' && !point))) {
            if (t[i] == u'.') point = true;
            ++i;
        }
        const QString number = t.mid(start, i - start);
        if (number.isEmpty() || number == QStringLiteral(".")) return std::nullopt;
        // Only ASCII digits: QChar::isDigit also takes other scripts' digits.
        for (QChar c : number)
            if (c != u'.' && (c < u'0' || c > u'9')) return std::nullopt;
        bool ok = false;
        const double value = number.toDouble(&ok);
        if (!ok) return std::nullopt;
        fraction = point;
        while (i < n && isBlank(t[i])) ++i;
        if (i < n && isMark(t[i], int(parts.size()))) {
            ++i;
            while (i < n && isBlank(t[i])) ++i;
        } else if (i < n && !t[i].isDigit() && t[i] != u'.') {
            return std::nullopt;  // a character that belongs to no coordinate
        }
        parts.push_back(value);
    }
    if (parts.empty()) return std::nullopt;
    for (std::size_t k = 1; k < parts.size(); ++k)
        if (parts[k] >= 60.0) return std::nullopt;
    double value = parts[0];
    if (parts.size() > 1) value += parts[1] / 60.0;
    if (parts.size() > 2) value += parts[2] / 3600.0;
    if (!std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::optional<double> hoursFromText(const QString& text) {
    return parse(text);
}

std::optional<double> degreesFromText(const QString& text) {
    return parse(text);
}

}  // namespace zelmora::sky::CoordParser

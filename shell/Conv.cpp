#include "shell/Conv.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/core/AppError.h"

namespace zelmora::Conv {

namespace {
[[noreturn]] void mismatch() {
    throw AppError(AppError::kTypeMismatch, QStringLiteral("Conv"),
                   QStringLiteral("Type mismatch"));
}
}  // namespace

double parseDouble(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) mismatch();
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) mismatch();
    return v;
}

std::int32_t parseInt32(const QString& text) {
    return toInt32(parseDouble(text));
}

std::int16_t parseInt16(const QString& text) {
    return toInt16(parseDouble(text));
}

bool parseBool(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
    return parseDouble(t) != 0.0;
}

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString numberText(double x) {
    if (x == 0.0) return QStringLiteral("0");
    // %g with 15 digits switches to the exponent form exactly where the plain
    // conversion does (below 1E-04 and from 1E+15); only the letter case differs.
    QString s = QString::number(x, 'g', 15);
    s.replace(u'e', u'E');
    return s;
}

QString plainNumberText(double x) {
    if (x == 0.0 || !std::isfinite(x)) return QStringLiteral("0");
    QString s = QString::number(x, 'g', 15);
    if (!s.contains(u'e')) return s;
    // Very small or large magnitudes: spell the same 15 digits out in full.
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(x))));
    s = QString::number(x, 'f', std::max(0, 14 - exponent));
    if (s.contains(u'.')) {
        while (s.endsWith(u'0')) s.chop(1);
        if (s.endsWith(u'.')) s.chop(1);
    }
    return s;
}

std::optional<int> wholeNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*([+-]?\\d{1,6})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt();
}

QString fixed(double x, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(x * scale) / scale;  // halves away from zero
    return QString::number(r == 0.0 ? 0.0 : r, 'f', decimals);
}

bool isNumeric(const QString& text) {
    try {
        parseDouble(text);
        return true;
    } catch (const AppError&) {
        return false;
    }
}

QString zeroPadded(double x, int minDigits) {
    double r = std::round(x);  // halves away from zero
    if (r == 0.0) r = 0.0;     // no "-00"
    const QString digits = QString::number(std::fabs(r), 'f', 0);
    return (r < 0 ? QStringLiteral("-") : QString()) + digits.rightJustified(minDigits, u'0');
}

QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

std::uint32_t bgrFromColor(const QColor& c) {
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}

std::int32_t twipsToPixels(std::int32_t twips) {
    return static_cast<std::int32_t>(roundHalfEven(static_cast<double>(twips) / kTwipsPerPixel));
}

}  // namespace zelmora::Conv

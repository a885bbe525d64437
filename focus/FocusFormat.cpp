#include "focus/FocusFormat.h"

#include <cmath>

#include "shell/Conv.h"

namespace zelmora::focus {

QString floatText(float value) {
    if (!std::isfinite(value)) return QStringLiteral("0");
    if (value == 0.0f) return QStringLiteral("0");
    const double v = value;
    // Seven significant digits as fixed decimals: never an exponent.
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    const int decimals = std::max(0, 6 - magnitude);
    QString text = QString::number(v, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    if (text == QStringLiteral("-0")) text = QStringLiteral("0");
    return text;
}

QString groupedTwoDecimals(double value) {
    if (!std::isfinite(value)) value = 0.0;
    const QString plain = Conv::fixed(value, 2);  // halves away from zero
    const bool negative = plain.startsWith(u'-');
    QString digits = negative ? plain.mid(1) : plain;
    const int point = digits.indexOf(u'.');
    QString whole = digits.left(point);
    const QString fraction = digits.mid(point);
    if (whole == QStringLiteral("0")) whole.clear();
    for (int i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, u',');
    return (negative ? QStringLiteral("-") : QString()) + whole + fraction;
}

double roundTo2(double value) {
    // Scaled by 100 first, so an exact half such as 0.125 (12.5) goes to the even side.
    return Conv::roundHalfEven(value * 100.0) / 100.0;
}

}  // namespace zelmora::focus

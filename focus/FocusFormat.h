#pragma once

#include <QString>

// The number texts of the focus figures, as the analysis window shows them and
// the logs write them.
namespace zelmora::focus {

// A 32-bit figure with up to 7 significant digits, "." as the decimal point,
// a leading zero ("0.5") and never an exponent: "12.5", "200", "0.3333333".
QString floatText(float value);

// The label format "#,###.00": grouped thousands, two decimals with halves
// away from zero, and no zero before the point (0 -> ".00", 1234.5 -> "1,234.50",
// -5 -> "-5.00").
QString groupedTwoDecimals(double value);

// Rounded to 2 decimals, halves to even (0.125 -> 0.12, 0.375 -> 0.38).
double roundTo2(double value);

}  // namespace zelmora::focus

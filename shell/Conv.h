#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/core/WholeNumber.h"

// Number and text conversions that stored and shown texts depend on, in one place.
namespace zelmora::Conv {

// roundHalfEven, toInt16 and toInt32 live with the image core, below the shell
// (platform/core/WholeNumber.h); this is still the one module to include.

// Text to number: blanks around the number are allowed, "." is the decimal
// point whatever the locale, fractions round half to even. A text that is no
// number raises AppError 13 ("Type mismatch"); out of range raises 6.
std::int32_t parseInt32(const QString& text);
std::int16_t parseInt16(const QString& text);
double parseDouble(const QString& text);

// Text to Boolean: "True"/"False" in any letter case, or a number (0 is False,
// anything else True). Anything else raises AppError 13.
bool parseBool(const QString& text);

// "True" / "False", as Booleans are stored.
QString boolText(bool value);

// A number as the plain number-to-text conversion writes it: up to 15
// significant digits, no trailing zeros, "." decimal point, exponent form
// ("1E-05", "1.5E+16") only for very small or very large magnitudes.
QString numberText(double x);

// The same digits as numberText, but never in exponent form: very small or large
// magnitudes are spelled out in full ("0.00001", "-0.00000015"). Zero, infinities
// and NaN are "0". For files read by people and other programs (Locations.txt).
QString plainNumberText(double x);

// A whole number as typed in a box: blanks around it, an optional sign and one to
// six digits, nothing else (no fraction, no exponent); nullopt for any other text.
std::optional<int> wholeNumber(const QString& text);

// Fixed decimals with "." ("0.00" style), halves rounded away from zero.
QString fixed(double x, int decimals);

// The numeric test of the input boxes: a text that the text-to-number reading
// above accepts ("30.", ".5", " -2 ", "1e3"); an empty text is not numeric.
bool isNumeric(const QString& text);

// The whole-number patterns "0", "00", "000"...: halves rounded away from zero,
// at least minDigits digits, the sign in front ("00" of -5 is "-05").
QString zeroPadded(double x, int minDigits);

// Colours are held as 0x00BBGGRR.
QColor colorFromBgr(std::uint32_t bgr);
std::uint32_t bgrFromColor(const QColor& c);

// Window positions are kept in twips, at a fixed 15 twips per pixel.
constexpr int kTwipsPerPixel = 15;
constexpr std::int32_t pixelsToTwips(std::int32_t px) {
    return px * kTwipsPerPixel;
}
std::int32_t twipsToPixels(std::int32_t twips);

}  // namespace zelmora::Conv

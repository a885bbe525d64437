#pragma once

#include <QString>
#include <optional>

namespace zelmora::sky {

// Reads the coordinate texts of the catalogue and the target boxes.
// Accepted: one to three numbers (whole, minutes, seconds), each optionally
// followed by its unit mark ("h"/"d"/"°", "m"/"'", "s"/"\"") or a ":", or
// separated by blanks; a sign only in front; a fraction only on the last
// number; minutes and seconds below 60. Examples: "16h 46m 30.00s",
// "16:46:30", "16 46 30", "16.775", "+70°23'00.0", "70:23:00", "-05 23 00".
// Anything else gives no value. No range check: callers judge the value.
namespace CoordParser {

std::optional<double> hoursFromText(const QString& text);
std::optional<double> degreesFromText(const QString& text);

}  // namespace CoordParser
}  // namespace zelmora::sky

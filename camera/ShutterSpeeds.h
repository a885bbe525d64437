#pragma once

#include <QString>
#include <optional>

namespace zelmora::camera {

// The camera window's shutter-speed texts by the library's Tv code: the
// control's own texts, plus -1 for a camera with no lens reported.
namespace ShutterSpeeds {

// The text for a code, or nothing when the code has no row.
std::optional<QString> text(int code);

}  // namespace ShutterSpeeds
}  // namespace zelmora::camera

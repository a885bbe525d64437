#include "camera/ShutterSpeeds.h"

#include "vosquin/CameraTexts.h"

namespace zelmora::camera::ShutterSpeeds {

std::optional<QString> text(int code) {
    if (const char* t = vosquin::texts::findTvText(code)) return QString::fromLatin1(t);
    return std::nullopt;
}

}  // namespace zelmora::camera::ShutterSpeeds

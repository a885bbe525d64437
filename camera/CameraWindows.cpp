#include "camera/CameraWindows.h"

#include "shell/WindowRegistry.h"

namespace zelmora::camera {

void registerWindows() {}

}  // namespace zelmora::camera

#include "camera/CameraWindows.h"

#include "camera/frmCameraControl.h"
#include "shell/WindowRegistry.h"

namespace zelmora::camera {

void registerWindows() {
    windows().registerWindow(Win::frmCameraControl, [] { return new frmCameraControl; });
}

}  // namespace zelmora::camera

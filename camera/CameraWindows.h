#pragma once

namespace zelmora::camera {

// Makes the camera windows known to the window registry; called once at
// program start.
void registerWindows();

}  // namespace zelmora::camera

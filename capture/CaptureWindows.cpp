#include "capture/CaptureWindows.h"

#include "shell/WindowRegistry.h"

namespace zelmora::capture {

void registerWindows() {}

}  // namespace zelmora::capture

#include "display/DisplayWindows.h"

#include "shell/WindowRegistry.h"

namespace zelmora::display {

void registerWindows() {}

}  // namespace zelmora::display

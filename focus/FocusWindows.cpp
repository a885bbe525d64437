#include "focus/FocusWindows.h"

#include "shell/WindowRegistry.h"

namespace zelmora::focus {

void registerWindows() {}

}  // namespace zelmora::focus

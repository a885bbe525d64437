#pragma once

namespace zelmora::focus {

// Makes this folder's windows known to the window registry; called once at
// program start.
void registerWindows();

}  // namespace zelmora::focus

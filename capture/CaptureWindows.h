#pragma once

namespace zelmora::capture {

// Makes this folder's windows known to the window registry; called once at
// program start.
void registerWindows();

}  // namespace zelmora::capture

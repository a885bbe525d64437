#pragma once

namespace zelmora::cables {

// Makes this folder's windows known to the window registry; called once at
// program start.
void registerWindows();

}  // namespace zelmora::cables

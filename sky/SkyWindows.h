#pragma once

namespace zelmora::sky {

// Makes the sky tools' windows known to the window registry; called once at
// program start.
void registerWindows();

}  // namespace zelmora::sky

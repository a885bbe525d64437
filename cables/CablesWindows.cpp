#include "cables/CablesWindows.h"

#include "shell/WindowRegistry.h"

namespace zelmora::cables {

void registerWindows() {}

}  // namespace zelmora::cables

#include "sky/SkyWindows.h"

#include "shell/WindowRegistry.h"
#include "sky/frmMoonPhase.h"

namespace zelmora::sky {

void registerWindows() {
    windows().registerWindow(Win::frmMoonPhase, [] { return new frmMoonPhase; });
}

}  // namespace zelmora::sky

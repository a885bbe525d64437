#include "sky/SkyWindows.h"

#include "shell/WindowRegistry.h"
#include "sky/frmCustomObjects.h"
#include "sky/frmMoonPhase.h"
#include "sky/frmScopeControl.h"

namespace zelmora::sky {

void registerWindows() {
    windows().registerWindow(Win::frmMoonPhase, [] { return new frmMoonPhase; });
    windows().registerWindow(Win::frmScopeControl, [] { return new frmScopeControl; });
    windows().registerWindow(Win::frmCustomObjects, [] { return new frmCustomObjects; });
}

}  // namespace zelmora::sky

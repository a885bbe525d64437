#include "display/DisplayWindows.h"

#include "display/frmImageDisp.h"
#include "display/frmZoomer.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

void registerWindows() {
    windows().registerWindow(Win::frmImageDisp, [] { return new frmImageDisp; });
    // The magnifier floats above everything, outside the main window.
    windows().registerWindow(
        Win::frmZoomer, [] { return new frmZoomer; }, false);
}

}  // namespace zelmora::display

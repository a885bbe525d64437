#include "display/DisplayWindows.h"

#include "display/frmFullScreen.h"
#include "display/frmHistogram.h"
#include "display/frmImage1.h"
#include "display/frmImageDisp.h"
#include "display/frmZoomer.h"
#include "shell/WindowRegistry.h"

namespace zelmora::display {

void registerWindows() {
    windows().registerWindow(Win::frmImageDisp, [] { return new frmImageDisp; });
    // The magnifier floats above everything, outside the main window.
    windows().registerWindow(
        Win::frmZoomer, [] { return new frmZoomer; }, false);
    windows().registerWindow(Win::frmImage1, [] { return new frmImage1; });
    windows().registerWindow(Win::frmHistogram, [] { return new fHistogram; });
    // Over the whole screen, outside the main window.
    windows().registerWindow(
        Win::frmFullScreen, [] { return new frmFullScreen; }, false);
}

}  // namespace zelmora::display

#include "capture/CaptureWindows.h"

#include "capture/frmCapture.h"
#include "capture/frmExpCalc.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

void registerWindows() {
    windows().registerWindow(Win::frmCapture, [] { return new frmCapture; });
    windows().registerWindow(Win::frmExpCalc, [] { return new frmExpCalc; });
}

}  // namespace zelmora::capture

#include "capture/CaptureWindows.h"

#include "capture/ExposureRun.h"
#include "capture/frmAutomate.h"
#include "capture/frmCapture.h"
#include "capture/frmExpCalc.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

void registerWindows() {
    windows().registerWindow(Win::frmCapture, [] { return new frmCapture; });
    windows().registerWindow(Win::frmExpCalc, [] { return new frmExpCalc; });
    windows().registerWindow(Win::frmAutomate, [] { return new frmAutomate; });
    CaptureRunEngine::setFactory([](frmCapture& w) -> std::unique_ptr<CaptureRunEngine> {
        return std::make_unique<ExposureRun>(w);
    });
}

}  // namespace zelmora::capture

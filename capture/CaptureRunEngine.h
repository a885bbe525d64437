#pragma once

#include <functional>
#include <memory>

namespace zelmora::capture {

class frmCapture;

// What runs behind the capture window's Start, Stop, Automate and manual
// shutter buttons: the exposure runs. The window owns one engine, made by the
// installed factory when the window loads. The engine works through the
// window's public members (checks, exposure time, file names, save targets,
// countdown, progress, information) and must call frmCapture::runFinished()
// when a run has ended, so that a close requested during the run can go ahead.
class CaptureRunEngine {
public:
    virtual ~CaptureRunEngine() = default;
    virtual void cbExpStart_Click() = 0;
    // Requests the stop; the run ends at its next stop test.
    virtual void cbExpStop_Click() = 0;
    virtual void cbAutomate_Click() {}
    virtual void cbPressShutter_Click() {}
    virtual void cbReleaseShutter_Click() {}
    // Marks a stop without acting on it: the run ends at its next stop test.
    virtual void requestStop() {}
    // Lets go of a shutter held pressed (the manual press), on every way out.
    virtual void letGo() {}
    virtual bool running() const = 0;

    using Factory = std::function<std::unique_ptr<CaptureRunEngine>(frmCapture& window)>;
    // Installed once at program start by whoever builds the runs.
    static void setFactory(Factory factory);
    static const Factory& factory();
};

}  // namespace zelmora::capture

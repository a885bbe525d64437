#pragma once

#include <QString>
#include <memory>

// What the shell calls in the windows and modules of the other subsystems.
// Each subsystem implements these when it lands; until then the defaults do
// nothing.
namespace zelmora {

// The focus analysis window.
class IAnalysisWindow {
public:
    virtual ~IAnalysisWindow() = default;
    virtual void updateHistory() = 0;
    virtual void ChangeColors() = 0;
};

// The image capture window.
class ICaptureWindow {
public:
    virtual ~ICaptureWindow() = default;
    virtual void LoadAThumb(const QString& fileName) = 0;
    virtual void ChangeColors() = 0;
    virtual QString sPicToshow() const = 0;
};

// The telescope control window.
class IScopeControlWindow {
public:
    virtual ~IScopeControlWindow() = default;
    virtual void loadCatalogue() = 0;
};

// The shutter-release cables as the main window uses them at start-up and
// shutdown.
class ShutterCable {
public:
    virtual ~ShutterCable() = default;
    // Start-up: open the chosen port and put its lines at rest.
    virtual void InitShutterPort() {}
    // Shutdown: save the parallel-port setup, or close the serial port.
    virtual void SavePortSetup() {}
    virtual void CloseComPort() {}
    // Shutdown: let go of the shutter on whichever cable is in use, so that a
    // program closed mid-exposure never leaves the shutter held.
    virtual void releaseToIdle() {}
    // The DSUSB box object, which lives until shutdown once enabled.
    virtual bool hasDSUSB() const { return false; }
    virtual void releaseDSUSB() {}

    static ShutterCable& instance();
    static void setInstance(std::shared_ptr<ShutterCable> cable);
};

}  // namespace zelmora

#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QComboBox;

namespace zelmora::vosquin {
class VosquinHost;
}

// What the shell calls in the windows and modules of the other subsystems.
// Each subsystem implements these when it lands; until then the defaults do
// nothing.
namespace zelmora {

// The focus-frame viewer on the image display window: its nine view positions.
class IFocusFrameViewer {
public:
    virtual ~IFocusFrameViewer() = default;
    virtual void TopLeft() = 0;
    virtual void TopCentre() = 0;
    virtual void Topright() = 0;
    virtual void CentreLeft() = 0;
    virtual void centreImage() = 0;
    virtual void CentreRight() = 0;
    virtual void BottomLeft() = 0;
    virtual void BottomCentre() = 0;
    virtual void BottomRight() = 0;
    // The 100 x 100 crop around the chosen star: the picture the focus
    // analysis measures.
    virtual QImage GetImage() const = 0;
};

// The image display window (focus frames).
class IImageDispWindow {
public:
    virtual ~IImageDispWindow() = default;
    // Fires the shutter as the window's own space-bar handling does.
    virtual void ProcessSpaceBar() = 0;
    virtual IFocusFrameViewer* ImageDisp() = 0;
    // Shows a focus frame (keeping the view where it was) and, once a star is
    // chosen, hands its crop to the focus analysis.
    virtual void LoadImage(const QString& strFilePath) = 0;
};

// What came of asking the camera window for a frame. A caller that waits for
// the frame waits only after Released: a refused frame never comes.
struct ReleaseOutcome {
    enum class Status {
        Released,      // the camera was told to take the frame
        NotConnected,  // no camera, or no release control to drive it
        MirrorLock,    // the camera's mirror lock-up is on
        RawQuality,    // a focus frame at RAW quality
        Busy,          // a release is already under way
        Failed,        // the control raised an error
        Simulated,     // no camera: the image display stepped to its next file
        Withdrawn,     // no longer wanted by whoever asked: nothing was fired
    };
    Status status = Status::Released;
    QString why;  // for a refusal, what the user is told or the trace says

    bool released() const { return status == Status::Released || status == Status::Simulated; }
    static ReleaseOutcome ok() { return {}; }
    static ReleaseOutcome refused(Status s, QString why) { return {s, std::move(why)}; }
};

// What came of a released frame's download: the file its picture was written
// to, or the camera's report that no picture will come ("Error:<code>").
struct FrameDownload {
    QString file;
    QString failure;
    bool downloaded() const { return failure.isEmpty(); }
};
using FrameDownloadHandler = std::function<void(const FrameDownload&)>;
// Whether whoever asked for a frame still wants it (its run not stopped, its
// window still there). A release that lets events run before the camera fires
// asks after every pass; a frame no longer wanted is not fired (Withdrawn).
using FrameWanted = std::function<bool()>;

// A focus frame is refused at RAW quality and with the mirror locked up (the
// camera window says why in a box); a capture frame is the capture window's
// business and is refused only when nothing can take it.
enum class FrameKind { Focus, Capture };

// The camera control window.
class ICameraControlWindow {
public:
    virtual ~ICameraControlWindow() = default;
    virtual ReleaseOutcome release(FrameKind kind = FrameKind::Focus) = 0;
    // A frame whose picture the caller waits for: released or refused as
    // release() says. Once released, what came of its download reaches
    // onDownload, once, after the picture has been handed on. A picture that
    // never comes is never reported: the caller keeps its own deadline. The
    // frame is fired only while `wanted` holds (when given) and the program is
    // not leaving.
    virtual ReleaseOutcome releaseFrame(FrameKind kind, FrameDownloadHandler onDownload,
                                        FrameWanted wanted = {}) {
        (void)onDownload;
        (void)wanted;
        return release(kind);
    }
    // A frame the shutter cable takes: the camera's next download reaches
    // onDownload, as for releaseFrame.
    virtual void awaitFrame(FrameDownloadHandler onDownload) { (void)onDownload; }
    // Starts continuous focus frames, or stops them when they run.
    virtual void StartContinousDownload() = 0;
    // The folder-monitor panel's hot key for the remote application ("SPACE",
    // "Ctrl+Shift+F", "{F1}" ... "{F9}"); "" when there is none.
    virtual QString RemoteHotKey() const { return {}; }
    // Connects the camera; a call while a connect is under way does nothing.
    virtual void doconnect() {}
    // Select the mode option, running that mode's setup as a click does.
    virtual void SetFocusMode() {}
    virtual void SetCaptureMode() {}
    // Appends the shutter speeds the camera allows (text, code as item data).
    virtual void LoadAllowedTvs(QComboBox* combo) {}
    // The camera settings as ten trace lines (only while connected).
    virtual void LogSettings() {}
    // Full path of the last picture the camera delivered; a release or download
    // that came to nothing leaves it.
    virtual QString sFileDownloaded() const { return {}; }
    // The hosted camera release control (nullptr when it could not be created).
    virtual vosquin::VosquinHost* Vosquin1() { return nullptr; }
    // Without a hosted control (Vosquin1() is nullptr): whether a camera is
    // connected, and a RAW file developed to JPEG (its path, "" on failure).
    virtual bool ControlConnected() const { return false; }
    virtual QString DevlopRaw(const QString& fileToDevelop) {
        (void)fileToDevelop;
        return {};
    }
    // The folder-monitor panel's last new file ("" before the first).
    virtual QString MonitorLastUpdate() const { return {}; }
};

// The focus magnifier window.
class IZoomerWindow {
public:
    virtual ~IZoomerWindow() = default;
    // Redraws at the main window's iZoomFactor.
    virtual void InvokeZoom() = 0;
};

// The frame image window.
class IFrameImageWindow {
public:
    virtual ~IFrameImageWindow() = default;
    virtual void showHistogram() = 0;
    // Around a new focus frame: forget the shown picture, then show the
    // camera window's last downloaded file.
    virtual void clearimage() {}
    virtual void UpdateImage() {}
};

// The focus analysis window.
class IAnalysisWindow {
public:
    virtual ~IAnalysisWindow() = default;
    // A new focus frame of the chosen star joins the history. Frames come
    // unattended (continuous focusing, an autofocus run): one whose star
    // cannot be measured is told in the window and the trace, never in a box.
    virtual void updateHistory() = 0;
    // The user's own click on a star: its crop joins the history as a frame's
    // does, and a star that cannot be measured is answered with a box.
    virtual void updateHistoryOnStarClick() { updateHistory(); }
    virtual void ChangeColors() = 0;
    // The focus log: cut to its header and started, or stopped (the autofocus
    // run brackets every run with these).
    virtual void StartTheFocusLog() {}
    virtual void StopTheFocusLog() {}
    // The newest figures (the last analysed frame of the chosen star): widths
    // at half maximum and the half-flux radius in pixels, the peak in grey
    // levels 0 to 255. No value before the first frame of the star has been
    // analysed; a frame without a centroid reads 0.
    virtual std::optional<float> GetCurrentHFWHM() const { return std::nullopt; }
    virtual std::optional<float> GetCurrentVFWHM() const { return std::nullopt; }
    virtual std::optional<float> GetCurrentPeakValue() const { return std::nullopt; }
    virtual std::optional<float> GetCurrentRadialSum() const { return std::nullopt; }
};

// The image capture window.
class ICaptureWindow {
public:
    virtual ~ICaptureWindow() = default;
    virtual void LoadAThumb(const QString& fileName) = 0;
    virtual void ChangeColors() = 0;
    virtual QString sPicToshow() const = 0;
};

// The full-screen picture view: shows the capture window's sPicToshow again.
class IFullScreenView {
public:
    virtual ~IFullScreenView() = default;
    virtual void reloadImage() = 0;
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
    // The DSUSB box as the capture window follows it: whether the box is
    // present by its last report; CheckState makes the box's next poll report
    // its present state; the listener hears every report (true = connected,
    // false = disconnected) until it is replaced (an empty one stops them).
    virtual bool dsusbConnected() const { return false; }
    virtual void CheckState() {}
    virtual void setDSUSBListener(std::function<void(bool connected)> listener) { (void)listener; }
    // "" while a cable is set up that can close the shutter's contact;
    // otherwise why not, as the user is told.
    virtual QString cableProblem() const { return {}; }
    // Hears every change of the cable set-up until it is replaced (an empty
    // one stops it).
    virtual void setSetupListener(std::function<void()> listener) { (void)listener; }
    // The shutter on the cable in use (the DSUSB box when enabled, else the
    // serial port when enabled, else the parallel port): close the contact,
    // open it, and drive every parallel data line low. A press that closes no
    // contact raises AppError saying why; the others report no failure.
    virtual void PressShutter() {}
    virtual void ReleaseShutter() {}
    virtual void ClearDataPort() {}
    // ReleaseShutter without letting events run (no pass of the loop, no
    // message box): for the ways out, a destructor among them.
    virtual void releaseAtOnce() { ReleaseShutter(); }

    static ShutterCable& instance();
    static void setInstance(std::shared_ptr<ShutterCable> cable);
};

}  // namespace zelmora

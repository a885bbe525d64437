#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

#include "platform/time/Timer.h"
#include "shell/Neighbours.h"

class QComboBox;

namespace zelmora::vosquin {
class VosquinHost;
}

namespace zelmora::camera {

// What the camera window's logic asks of the window that shows it.
class CameraControlView {
public:
    virtual ~CameraControlView() = default;
    // The mode options as the user sees them (0 "Focus Mode", 1 "Capture Mode").
    virtual void showOption(int index, bool selected) = 0;
    virtual void setOptionEnabled(int index, bool enabled) = 0;
    virtual void setDefaultCaption(const QString& caption) = 0;
    virtual void setSaveFocusEnabled(bool enabled) = 0;
    virtual void setReleaseEnabled(bool enabled) = 0;
    // Picture 1 empty, 2 low, 3 weak, 4 good; 0 keeps the picture. Repaints.
    virtual void showBattery(int picture) = 0;
    virtual void setFormHeight(int twips) = 0;
    virtual void setWindowStateNormal() = 0;
    // Hourglass on (repainted at once) or off.
    virtual void setBusy(bool busy) = 0;
    // The folder-monitor panel.
    virtual void loadFolderMonSettings() = 0;
    virtual void showFolderMonitor() = 0;
    virtual void EnableMonitorControls() = 0;
    virtual void DisableMonitorControls() = 0;
};

// The camera window's decisions: the mode setups, the refusals of a focus
// frame, the continuous loop, the routing of every download and the handlers
// of the control's seven events. The control is reached only through its host
// (by dispatch identifier); neighbour windows through the window registry.
class CameraControlModel : public QObject {
    Q_OBJECT
public:
    // Texts the user sees.
    static const QString kMirrorLockText;
    static const QString kRawReleaseText;
    static const QString kRawContinuousText;
    // The status bar after a release or download that brought no picture,
    // followed by the camera's report ("Error:<code>").
    static const QString kPictureFailedText;
    // Why a release did not happen: the control is still downloading, or
    // cannot release now; a focus frame the control would not send to the PC,
    // or a focus release that brought the thumbnail alone.
    static const QString kCameraBusyText;
    static const QString kNotReadyText;
    static const QString kPictureToPcText;
    static const QString kThumbnailOnlyText;
    // The window's height (twips) after load, connect and download, and with
    // the folder-monitor panel shown.
    static constexpr int kCompactHeight = 3930;
    static constexpr int kFolderMonitorHeight = 5340;
    // The continuous interval in whole seconds.
    static constexpr int kMinIntervalSeconds = 1;
    static constexpr int kMaxIntervalSeconds = 3600;

    CameraControlModel(vosquin::VosquinHost& control, CameraControlView& view,
                       QObject* parent = nullptr);
    ~CameraControlModel() override;

    // Public operations.
    void doconnect();
    void SetFocusMode();
    void SetCaptureMode();
    void SetControlStates();
    void LoadAllowedTvs(QComboBox* combo);
    void StartContinousDownload();
    // A release with its refusals; once released, what came of the frame's
    // download reaches onDownload (when given) from the download handler. The
    // release lets events run before the camera fires; a frame that whoever
    // asked no longer wants afterwards (`wanted`, when given) is not fired.
    ReleaseOutcome release(FrameKind kind = FrameKind::Focus, FrameDownloadHandler onDownload = {},
                           FrameWanted wanted = {});
    // A frame the shutter cable takes: the next download reaches onDownload.
    void awaitFrame(FrameDownloadHandler onDownload) {
        frameWaiter_ = std::move(onDownload);
        frameSoFar_ = {};
    }
    void LogSettings();
    void EnableMonitorFolder() {}
    void setupFolderMonitor();
    const QString& sFileDownloaded() const { return sFileDownloaded_; }
    bool bContinuousFocus() const { return bContinuousFocus_; }
    platform::Timer& ContinuousTimer() { return ContinuousTimer_; }

    // Window-private operations.
    void setupFocusMode();
    void setupCaptureMode(bool bLongExposure);
    void SetDefaultValues();
    void GetDefaultValues();
    void saveModeOption();
    void loadModeOption();
    // Ends the continuous loop when it runs (the window is closing).
    void stopContinuousLoop();

    // The mode options. Selecting an option that was not selected runs its
    // click, as setting an option button's value does.
    bool optMode(int index) const { return optMode_[index != 0]; }
    void setOptMode(int index, bool value);
    void optMode_Click(int index);
    void optMode_DblClick(int index);
    void chSaveFocus_Click(bool checked);
    void cbRelease_Click();
    void cbSetDefault_Click();
    void ContinuousTimer_Timer();

    // The control's events.
    void Vosquin1_OnComplete(const QString& FileName);
    void Vosquin1_OnConnected(const QString& CamModel);
    void Vosquin1_OnDisconnected();
    void Vosquin1_OnBatteryLevelChange(const QString& BatteryLevel);
    void Vosquin1_OnReadyForRelease(bool ReadyState);
    void Vosquin1_OnStatusUpdate(const QString& CamStatus);
    void Vosquin1_OnBulbMode(bool BulbMode);
    // A new file found by the folder-monitor panel: shown like a focus frame.
    void LoadANewImage(const QString& path);

    // Pure rules, for the window and for tests.
    // The battery picture for the control's level text; 0 for "keep".
    static int batteryPicture(const QString& level);
    // A camera RAW file by its extension (".CR2", ".CRW", ".cr2", ".crw").
    static bool isRawFile(const QString& path);
    // A thumbnail by the control's name for it ("THM_" before the file name).
    static bool isThumbnail(const QString& path);
    // The control's download event carries "Error:<code>" in place of a file
    // when a release or a transfer brought no picture.
    static bool isFailureReport(const QString& FileName);
    // The timer interval in milliseconds for the interval box's text: whole
    // seconds (half to even) from 1 to 3600. Raises AppError otherwise.
    static std::int32_t continuousIntervalMs(const QString& text);

private:
    void routeDownload(const QString& FileName);
    // A thumbnail that came with a focus frame.
    bool focusThumbnail(const QString& FileName);
    void downloadFailed(const QString& report);
    // A download's failure in the status bar, kept there over the control's
    // next word.
    void showFailure(const QString& status);
    // The thumbnail-only advice goes once it no longer holds (Pict -> PC
    // ticked, or capture mode): the status bar shows the control's last word.
    void dropStaleAdvice();
    // A focus frame is a picture for the PC: "" once the control sends it
    // there, else why it does not.
    QString sendPictureToPc();
    // The control's Release, and what it answered.
    ReleaseOutcome controlRelease();
    // A focus frame of the continuous loop or the window's own button: the
    // picture asked for on the PC first.
    ReleaseOutcome focusRelease();
    // Every release that did not happen is said in the status bar (and the
    // trace), whoever asked for it, unless a box or the camera's own report
    // has said it already. Touches nothing of the window, which the release
    // may have closed.
    static void tellRefusal(const ReleaseOutcome& outcome);
    void clearWaitingFlags();
    // A camera connected: capture is open again as at a first connect, unless
    // a folder-monitoring run is still on.
    void endFolderMonitorLockOut();
    QString defaultsSection() const;
    void connectEvents();

    vosquin::VosquinHost& Vosquin1;
    CameraControlView& view_;
    platform::Timer ContinuousTimer_;
    QString sFileDownloaded_;
    bool bContinuousFocus_ = false;
    bool optMode_[2] = {false, false};
    bool releasing_ = false;
    FrameDownloadHandler frameWaiter_;
    // What came of the pictures of the release in progress so far.
    FrameDownload frameSoFar_;
    // A failure is on show in the status bar: the control's "Waiting" that
    // follows it does not replace it.
    bool failureShown_ = false;
    bool adviceShown_ = false;  // ... and it is the thumbnail-only advice
    QString controlStatus_;     // the control's last word
};

}  // namespace zelmora::camera

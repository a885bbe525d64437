#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "shell/Neighbours.h"

class QComboBox;

namespace zelmora::capture {

// What the capture windows use of the camera: the camera object's state, the
// hosted release control's properties and the camera window's operations.
// Production goes through the camera window (reading a control property loads
// that window first, as the control lives on it); tests install a fake.
class CameraLink {
public:
    virtual ~CameraLink() = default;

    // The camera object.
    virtual bool connected() const = 0;
    virtual bool FocusMode() const = 0;
    virtual void setShortExposureCapture(bool shortExposures) = 0;
    virtual bool ShortExposureCapture() const { return false; }
    virtual void setSilentConnectMode(bool) {}

    // The release control's properties.
    virtual QString Tv() = 0;
    virtual void setTv(const QString& tv) = 0;
    virtual bool MirrorLock() = 0;
    virtual QString ISO() = 0;
    virtual QString ImageQuality() = 0;
    // Empty when the control's value does not read as a 16-bit number.
    virtual std::optional<std::int16_t> NoShotsLeft() = 0;
    virtual bool PicPc() = 0;
    virtual void setPicPc(bool on) = 0;
    virtual bool PicCam() = 0;
    virtual void setPicCam(bool on) = 0;
    virtual void setThumbPc(bool on) = 0;
    virtual void setSavePath(const QString& path) = 0;
    virtual void setFileName(const QString& stem) = 0;
    virtual void setWaitingForDownload(bool on) = 0;
    virtual void Release() = 0;
    // A capture frame through the camera window's release: released, or
    // refused and why; once released, what came of its download reaches
    // onDownload. A frame no longer `wanted` after the release's pass of the
    // event loop is not fired. Without a camera window the control is
    // released directly.
    virtual ReleaseOutcome releaseFrame(FrameDownloadHandler onDownload, FrameWanted wanted) {
        (void)onDownload;
        (void)wanted;
        Release();
        return ReleaseOutcome::ok();
    }
    // A frame the shutter cable takes: the camera's next download reaches onDownload.
    virtual void awaitFrame(FrameDownloadHandler onDownload) { (void)onDownload; }
    // What the sequencer sets per step and at its start.
    virtual void setISO(const QString&) {}
    virtual void setImageQuality(const QString&) {}
    virtual void Disconnect() {}

    // The camera window.
    virtual bool cameraWindowLoaded() const = 0;
    virtual void showCameraWindow() = 0;
    virtual void doconnect() = 0;
    virtual void SetCaptureMode() = 0;
    virtual void LoadAllowedTvs(QComboBox* combo) = 0;
    virtual void LogSettings() = 0;

    static CameraLink& instance();
    static void setInstance(std::shared_ptr<CameraLink> link);
};

}  // namespace zelmora::capture

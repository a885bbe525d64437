#include "capture/CameraLink.h"

#include "camera/clsCamera.h"
#include "platform/core/AppError.h"
#include "platform/time/Clock.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "vosquin/VosquinHost.h"

namespace zelmora::capture {

namespace {

// The camera window and its control. Touching the control loads the window
// first; without a camera window built into the program every read is neutral.
class WindowCameraLink : public CameraLink {
public:
    bool connected() const override { return oMainCamera() && oMainCamera()->connected(); }
    bool FocusMode() const override { return oMainCamera() && oMainCamera()->FocusMode(); }
    void setShortExposureCapture(bool v) override {
        if (oMainCamera()) oMainCamera()->setShortExposureCapture(v);
    }
    bool ShortExposureCapture() const override {
        return oMainCamera() && oMainCamera()->ShortExposureCapture();
    }
    void setSilentConnectMode(bool v) override {
        if (oMainCamera()) oMainCamera()->setSilentConnectMode(v);
    }

    QString Tv() override { return control() ? control()->Tv() : QString(); }
    void setTv(const QString& tv) override {
        if (auto* c = control()) c->setTv(tv);
    }
    bool MirrorLock() override { return control() && control()->MirrorLock(); }
    QString ISO() override { return control() ? control()->ISO() : QString(); }
    QString ImageQuality() override { return control() ? control()->ImageQuality() : QString(); }
    std::optional<std::int16_t> NoShotsLeft() override {
        try {
            if (auto* c = control()) return c->NoShotsLeft();
        } catch (const AppError&) {
        }
        return std::nullopt;
    }
    bool PicPc() override { return control() && control()->PicPc(); }
    void setPicPc(bool on) override {
        if (auto* c = control()) c->setPicPc(on);
    }
    bool PicCam() override { return control() && control()->PicCam(); }
    void setPicCam(bool on) override {
        if (auto* c = control()) c->setPicCam(on);
    }
    void setThumbPc(bool on) override {
        if (auto* c = control()) c->setThumbPc(on);
    }
    void setSavePath(const QString& path) override {
        if (auto* c = control()) c->setSavePath(path);
    }
    void setFileName(const QString& stem) override {
        if (auto* c = control()) c->setFileName(stem);
    }
    void setWaitingForDownload(bool on) override {
        if (auto* c = control()) c->setWaitingForDownload(on);
    }
    void Release() override {
        if (auto* c = control()) c->Release();
    }
    ReleaseOutcome releaseFrame(FrameDownloadHandler onDownload, FrameWanted wanted) override {
        if (auto* w = window())
            return w->releaseFrame(FrameKind::Capture, std::move(onDownload), std::move(wanted));
        return ReleaseOutcome::refused(ReleaseOutcome::Status::NotConnected,
                                       QStringLiteral("Camera Not Connected"));
    }
    void awaitFrame(FrameDownloadHandler onDownload) override {
        if (auto* w = window()) w->awaitFrame(std::move(onDownload));
    }
    void setISO(const QString& iso) override {
        if (auto* c = control()) c->setISO(iso);
    }
    void setImageQuality(const QString& quality) override {
        if (auto* c = control()) c->setImageQuality(quality);
    }
    void Disconnect() override {
        if (auto* c = control()) c->Disconnect();
    }

    bool cameraWindowLoaded() const override { return bCameraControlLoaded(); }
    void showCameraWindow() override { windows().show(Win::frmCameraControl); }
    void doconnect() override {
        if (auto* w = window()) w->doconnect();
    }
    void SetCaptureMode() override {
        if (auto* w = window()) w->SetCaptureMode();
    }
    void LoadAllowedTvs(QComboBox* combo) override {
        if (auto* w = window()) w->LoadAllowedTvs(combo);
    }
    void LogSettings() override {
        if (auto* w = window()) w->LogSettings();
    }

private:
    // The camera window comes up when the run needs it, but never while the
    // program is closing: a run winding down then finds it gone.
    static ICameraControlWindow* window() {
        QWidget* w = platform::shuttingDown() ? windows().ifLoaded(Win::frmCameraControl)
                                              : windows().load(Win::frmCameraControl);
        return dynamic_cast<ICameraControlWindow*>(w);
    }
    static vosquin::VosquinHost* control() {
        auto* w = window();
        return w ? w->Vosquin1() : nullptr;
    }
};

std::shared_ptr<CameraLink>& slot() {
    static std::shared_ptr<CameraLink> s;
    static const bool hooked = [] {
        addResetHook([] { s.reset(); });
        return true;
    }();
    (void)hooked;
    return s;
}

}  // namespace

CameraLink& CameraLink::instance() {
    if (!slot()) slot() = std::make_shared<WindowCameraLink>();
    return *slot();
}

void CameraLink::setInstance(std::shared_ptr<CameraLink> link) {
    slot() = std::move(link);
}

}  // namespace zelmora::capture

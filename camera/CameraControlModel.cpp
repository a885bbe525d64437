#include "camera/CameraControlModel.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <utility>

#include "camera/ShutterSpeeds.h"
#include "camera/clsCamera.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"
#include "vosquin/VosquinHost.h"
#include "vosquin/VosquinInterface.h"

namespace zelmora::camera {

using platform::Dialogs;
namespace Msg = platform::Msg;

const QString CameraControlModel::kMirrorLockText = QStringLiteral(
    "You currently have Mirror Lock on your camera enabled. You cannot release the shutter with "
    "Mirror lock enabled. Turn Mirror Lock off and try again.");
const QString CameraControlModel::kRawReleaseText = QStringLiteral(
    "Your camera Quality Size is currently set to RAW. You cannot focus using RAW Images. Change "
    "your Quality size to Medium\\Normal");
const QString CameraControlModel::kRawContinuousText = QStringLiteral(
    "Make sure you select something other than RAW setting for focus aid. RAW images take to long "
    "too download. I suggest Normal\\Medium");
const QString CameraControlModel::kPictureFailedText = QStringLiteral("Picture failed ");
const QString CameraControlModel::kCameraBusyText =
    QStringLiteral("The camera is still downloading the last picture");
const QString CameraControlModel::kNotReadyText =
    QStringLiteral("The camera is not ready to release");
const QString CameraControlModel::kPictureToPcText =
    QStringLiteral("The camera control would not send the picture to the PC (Pict -> PC)");
const QString CameraControlModel::kThumbnailOnlyText =
    QStringLiteral("Thumbnail only: tick Pict -> PC for a focus frame");

namespace {

const QString kRaw = QStringLiteral("Raw");
const QString kEvent = QStringLiteral("EVENT: frmCameraControl: ");
const QString kOptions = QStringLiteral("Options");
const QString kFocusModeKey = QStringLiteral("FocusMode");
const QString kReleaseFailedText = QStringLiteral("The camera could not be released");
const QString kWithdrawnText = QStringLiteral("The frame is no longer wanted");

enum ToolbarButton { kStart = 13, kStop = 15, kShutterRelease = 19, kTimer = 21 };

void enableButton(int index, bool enabled) {
    if (IMainWindow* m = mainWindow())
        if (QAction* a = m->button(index)) a->setEnabled(enabled);
}

void toolbarEnable(const QString& mode) {
    if (IMainWindow* m = mainWindow()) m->ToolbarEnable(mode);
}

clsCamera* mainCamera() {
    return oMainCamera().get();
}

// Unloads a neighbour window when it is loaded; its own closing steps run.
void unloadWindow(const QString& name) {
    if (QWidget* w = windows().ifLoaded(name)) frameOf(w)->close();
}

// The focus-frame window, loaded (and so shown, as a child window) when it is
// not loaded yet. nullptr when the program has no such window.
IImageDispWindow* focusFrameWindow() {
    QWidget* w = windows().ifLoaded(Win::frmImageDisp);
    if (!w) w = windows().show(Win::frmImageDisp);
    return dynamic_cast<IImageDispWindow*>(w);
}

IFrameImageWindow* openFrameImageWindow() {
    if (!state().bFrameImageOpen) return nullptr;
    return windows().ifLoadedAs<IFrameImageWindow>(Win::frmImage1);
}

QString trueFalse(bool b) {
    return Conv::boolText(b);
}

// The hourglass for the length of a scope, also when the scope fails.
// The window is busy while the scope lasts, unless the window went meanwhile
// (the model is a part of it, so `alive` says whether the view is still there).
class BusyScope {
public:
    BusyScope(CameraControlView& view, const QPointer<QObject>& alive)
        : view_(view), alive_(alive) {
        view_.setBusy(true);
    }
    ~BusyScope() {
        if (alive_) view_.setBusy(false);
    }

private:
    CameraControlView& view_;
    QPointer<QObject> alive_;
};

}  // namespace

CameraControlModel::CameraControlModel(vosquin::VosquinHost& control, CameraControlView& view,
                                       QObject* parent)
    : QObject(parent), Vosquin1(control), view_(view) {
    ContinuousTimer_.setInterval(0);
    ContinuousTimer_.setEnabled(false);
    connect(&ContinuousTimer_, &platform::Timer::timeout, this,
            &CameraControlModel::ContinuousTimer_Timer);
    connectEvents();
}

CameraControlModel::~CameraControlModel() = default;

void CameraControlModel::connectEvents() {
    using H = vosquin::VosquinHost;
    connect(&Vosquin1, &H::OnComplete, this, &CameraControlModel::Vosquin1_OnComplete);
    connect(&Vosquin1, &H::OnConnected, this, &CameraControlModel::Vosquin1_OnConnected);
    connect(&Vosquin1, &H::OnDisconnected, this, &CameraControlModel::Vosquin1_OnDisconnected);
    connect(&Vosquin1, &H::OnBatteryLevelChange, this,
            &CameraControlModel::Vosquin1_OnBatteryLevelChange);
    connect(&Vosquin1, &H::OnReadyForRelease, this,
            &CameraControlModel::Vosquin1_OnReadyForRelease);
    connect(&Vosquin1, &H::OnStatusUpdate, this, &CameraControlModel::Vosquin1_OnStatusUpdate);
    connect(&Vosquin1, &H::OnBulbMode, this, &CameraControlModel::Vosquin1_OnBulbMode);
}

// --- Pure rules ---------------------------------------------------------------

int CameraControlModel::batteryPicture(const QString& level) {
    if (level == QLatin1String("Good")) return 4;
    if (level == QLatin1String("Weak")) return 3;
    if (level == QLatin1String("Low")) return 2;
    if (level == QLatin1String("Empty")) return 1;
    return 0;
}

bool CameraControlModel::isRawFile(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return false;
    const QString ext = name.mid(dot + 1);
    // Only these four spellings, as the camera writes them.
    return ext == QLatin1String("CR2") || ext == QLatin1String("CRW") ||
           ext == QLatin1String("cr2") || ext == QLatin1String("crw");
}

bool CameraControlModel::isThumbnail(const QString& path) {
    return QFileInfo(path).fileName().startsWith(QLatin1String("THM_"));
}

bool CameraControlModel::isFailureReport(const QString& FileName) {
    // A file always comes with its full path, so it never starts this way.
    return FileName.startsWith(QLatin1String("Error:"));
}

std::int32_t CameraControlModel::continuousIntervalMs(const QString& text) {
    const double seconds = Conv::roundHalfEven(Conv::parseDouble(text));
    if (seconds < kMinIntervalSeconds || seconds > kMaxIntervalSeconds)
        throw AppError(AppError::kInvalidPropertyValue, QStringLiteral("frmCameraControl"),
                       QStringLiteral("Invalid property value"));
    return static_cast<std::int32_t>(seconds) * 1000;
}

// --- Connection and modes -------------------------------------------------------

void CameraControlModel::doconnect() {
    ProgramState& s = state();
    if (s.bConnecting) return;
    s.bConnecting = true;
    // Cleared also when Connect fails, so that a later connect is not refused.
    struct Clear {
        ~Clear() { state().bConnecting = false; }
    } clear;
    Vosquin1.Connect();
}

void CameraControlModel::SetFocusMode() {
    setOptMode(0, true);
}

void CameraControlModel::SetCaptureMode() {
    setOptMode(1, true);
}

void CameraControlModel::setOptMode(int index, bool value) {
    const int i = index != 0;
    const bool was = optMode_[i];
    optMode_[i] = value;
    if (value) optMode_[1 - i] = false;  // one option of the group
    view_.showOption(0, optMode_[0]);
    view_.showOption(1, optMode_[1]);
    if (value && !was) optMode_Click(i);
}

void CameraControlModel::optMode_Click(int index) {
    guarded([&] {
        if (index == 0) {
            setupFocusMode();
        } else {
            setupCaptureMode(false);
            if (!bCaptureLoaded()) windows().show(Win::frmCapture);
        }
    });
}

void CameraControlModel::optMode_DblClick(int index) {
    guarded([&] {
        if (index == 0) {
            setupFocusMode();
            unloadWindow(Win::frmCapture);
        } else {
            setupCaptureMode(false);
            windows().show(Win::frmCapture);
        }
    });
}

void CameraControlModel::setupFocusMode() {
    trapAndTrace(QStringLiteral("setupFocusMode"), [&] {
        Vosquin1.setFocusMode(true);
        if (clsCamera* cam = mainCamera()) cam->setFocusMode(true);
        view_.setDefaultCaption(QStringLiteral("Save as default focus mode"));
        Vosquin1.setPicCam(false);
        Vosquin1.setThumbPc(false);
        Vosquin1.setThumbCam(false);
        Vosquin1.setPicPc(true);
        GetDefaultValues();
        view_.setSaveFocusEnabled(true);
        SetControlStates();
        unloadWindow(Win::frmCapture);
        if (bAutomateLoaded()) unloadWindow(Win::frmAutomate);
    });
}

void CameraControlModel::setupCaptureMode(bool /*bLongExposure*/) {
    trapAndTrace(QStringLiteral("setupCaptureMode"), [&] {
        Vosquin1.setFocusMode(false);
        if (clsCamera* cam = mainCamera()) cam->setFocusMode(false);
        view_.setDefaultCaption(QStringLiteral("Save as default capture mode"));
        view_.setSaveFocusEnabled(false);
        GetDefaultValues();
        SetControlStates();
        enableButton(kStart, false);
        if (bImageDispLoaded()) unloadWindow(Win::frmImageDisp);
        if (bAnalyzeLoaded()) unloadWindow(Win::frmAnalyze);
    });
    // No focus frames in capture mode: advice about them is over.
    dropStaleAdvice();
}

void CameraControlModel::SetControlStates() {
    trapAndTrace(QStringLiteral("SetControlStates"), [&] {
        if (!Vosquin1.Connected()) {
            enableButton(kShutterRelease, false);
            enableButton(kStart, false);
            return;
        }
        if (!Vosquin1.FocusMode()) {
            // Continuous focus frames are focus mode's, and a release takes no
            // bulb exposure (the cable does); the rest is the capture window's.
            enableButton(kStart, false);
            if (Vosquin1.Tv() == QLatin1String("Bulb")) enableButton(kShutterRelease, false);
            return;
        }
        const bool canFocus = Vosquin1.ImageQuality() != kRaw &&
                              Vosquin1.Tv() != QLatin1String("Bulb") && Vosquin1.PicPc();
        enableButton(kShutterRelease, canFocus);
        // While the loop runs, Start stays off: Stop ends it.
        enableButton(kStart, canFocus && !bContinuousFocus_);
    });
}

void CameraControlModel::saveModeOption() {
    Settings::saveBool(kOptions, kFocusModeKey, optMode_[0]);
}

void CameraControlModel::loadModeOption() {
    bool focus = true;
    const QString stored = Settings::get(kOptions, kFocusModeKey, QStringLiteral("True"));
    try {
        focus = Conv::parseBool(stored);
    } catch (const AppError&) {
        // A hand-edited value that is no Boolean: the default mode.
        Globals::WriteLogLine(QStringLiteral("Options FocusMode not a Boolean: ") + stored);
    }
    setOptMode(0, focus);
    setOptMode(1, !focus);
}

// --- Per-mode defaults and shutter speeds -----------------------------------------

QString CameraControlModel::defaultsSection() const {
    return optMode_[0] ? QStringLiteral("FocusMode") : QStringLiteral("CaptureMode");
}

void CameraControlModel::SetDefaultValues() {
    trapAndTrace(QStringLiteral("SetDefaultValues"), [&] {
        // Without a camera there is nothing to save; storing empty texts would
        // be applied as defaults at the next connect.
        if (!Vosquin1.Connected()) {
            Globals::WriteLogLine(QStringLiteral("SetDefaultValues: no camera connected"));
            return;
        }
        const QString iso = Vosquin1.ISO();
        const QString tv = Vosquin1.Tv();
        const QString quality = Vosquin1.ImageQuality();
        const QString size = Vosquin1.ImageSize();
        const QString section = defaultsSection();
        Settings::save(section, QStringLiteral("ISO"), iso);
        Settings::save(section, QStringLiteral("Tv"), tv);
        Settings::save(section, QStringLiteral("Quality"), quality + u'\\' + size);
    });
}

void CameraControlModel::GetDefaultValues() {
    trapAndTrace(QStringLiteral("GetDefaultValues"), [&] {
        if (!Vosquin1.Connected()) return;
        const QString section = defaultsSection();
        const QString iso = Settings::get(section, QStringLiteral("ISO"), QStringLiteral("800"));
        const QString tv = Settings::get(section, QStringLiteral("Tv"), QStringLiteral("4''"));
        const QString quality = Settings::get(section, QStringLiteral("Quality"), QString());
        Vosquin1.setISO(iso);
        Vosquin1.setTv(tv);
        if (!quality.isEmpty()) Vosquin1.setImageQuality(quality);
    });
}

void CameraControlModel::LoadAllowedTvs(QComboBox* combo) {
    trapAndTrace(QStringLiteral("LoadAllowedTvs"), [&] {
        if (!combo) return;
        const QStringList codes = Vosquin1.AllowedTv().split(u',');
        // The list ends with ",": the last element is the empty remainder.
        for (qsizetype i = 0; i + 1 < codes.size(); ++i) {
            const std::int32_t code = Conv::parseInt32(codes[i]);
            if (const auto text = ShutterSpeeds::text(code)) combo->addItem(*text, code);
        }
    });
}

// --- Releases -------------------------------------------------------------------

ReleaseOutcome CameraControlModel::release(FrameKind kind, FrameDownloadHandler onDownload,
                                           FrameWanted wanted) {
    using S = ReleaseOutcome::Status;
    // A space typed on this procedure's own refusal box comes back here: the
    // nested call returns at once, so boxes never stack.
    if (releasing_)
        return ReleaseOutcome::refused(S::Busy, QStringLiteral("A release is under way"));
    releasing_ = true;
    // A refusal box or the events let run below can close the camera window,
    // and this model with it: nothing here touches it once it has gone.
    const QPointer<CameraControlModel> self(this);
    struct Reset {
        const QPointer<CameraControlModel>& model;
        ~Reset() {
            if (model) model->releasing_ = false;
        }
    } reset{self};
    // Anything that raises below is the control's failure, not a refusal.
    ReleaseOutcome outcome = ReleaseOutcome::refused(S::Failed, kReleaseFailedText);
    trapAndTrace(QStringLiteral("release"), [&] {
        if (state().bSimulationMode && kind == FrameKind::Focus) {
            if (IImageDispWindow* disp = focusFrameWindow()) disp->ProcessSpaceBar();
            outcome = ReleaseOutcome::refused(S::Simulated, {});
            return;
        }
        if (!Vosquin1.control() || !Vosquin1.Connected()) {
            outcome =
                ReleaseOutcome::refused(S::NotConnected, QStringLiteral("Camera Not Connected"));
            return;
        }
        if (kind == FrameKind::Focus) {
            if (Vosquin1.MirrorLock()) {
                outcome = ReleaseOutcome::refused(S::MirrorLock, kMirrorLockText);
                Dialogs::msgBox(kMirrorLockText, Msg::OKOnly | Msg::Critical, {},
                                Dialogs::Bracket::No);
                return;
            }
            if (Vosquin1.ImageQuality() == kRaw) {
                outcome = ReleaseOutcome::refused(S::RawQuality, kRawReleaseText);
                Dialogs::msgBox(kRawReleaseText, Msg::OKOnly, {}, Dialogs::Bracket::No);
                return;
            }
            if (const QString why = sendPictureToPc(); !why.isEmpty()) {
                outcome = ReleaseOutcome::refused(S::Failed, why);
                return;
            }
        }
        BusyScope busy(view_, self.data());
        platform::passEvents();
        if (!self) {
            outcome = ReleaseOutcome::refused(S::NotConnected,
                                              QStringLiteral("The camera window was closed"));
            return;
        }
        // A Stop, a close or the program's end handled in that pass: the
        // frame is nobody's any more, and the camera is not fired for it.
        if (platform::shuttingDown() || (wanted && !wanted())) {
            outcome = ReleaseOutcome::refused(S::Withdrawn, kWithdrawnText);
            return;
        }
        // An earlier frame's waiter hears nothing of this release's failure.
        if (onDownload) {
            frameWaiter_ = nullptr;
            frameSoFar_ = {};
        }
        outcome = controlRelease();
        if (outcome.released() && onDownload) frameWaiter_ = std::move(onDownload);
    });
    if (self) tellRefusal(outcome);
    return outcome;
}

ReleaseOutcome CameraControlModel::controlRelease() {
    using S = ReleaseOutcome::Status;
    std::int32_t r = 0;
    if (!trapAndTrace(QStringLiteral("release"), [&] { r = Vosquin1.Release(); }))
        return ReleaseOutcome::refused(S::Failed, kReleaseFailedText);
    if (r == vosquin::kReleaseBusy) return ReleaseOutcome::refused(S::Busy, kCameraBusyText);
    if (r == vosquin::kReleaseNotReady)
        return ReleaseOutcome::refused(S::NotConnected, kNotReadyText);
    if (r != 0)
        return ReleaseOutcome::refused(S::Failed, QStringLiteral("Error:") + QString::number(r));
    return ReleaseOutcome::ok();
}

void CameraControlModel::tellRefusal(const ReleaseOutcome& outcome) {
    using S = ReleaseOutcome::Status;
    if (outcome.released()) return;
    // Said in a box already, or the control's own report of the failure is on
    // show: the status bar keeps it.
    if (outcome.status == S::MirrorLock || outcome.status == S::RawQuality ||
        isFailureReport(outcome.why))
        return;
    // Whoever asked has stopped: nothing to tell the user, only the trace.
    if (outcome.status == S::Withdrawn) {
        guarded([&] { Globals::WriteLogLine(QStringLiteral("Release not sent: ") + outcome.why); });
        return;
    }
    guarded([&] { Globals::WriteLogLine(QStringLiteral("Release refused: ") + outcome.why); });
    if (clsCamera* cam = mainCamera()) guarded([&] { cam->UpdateStatus(outcome.why); });
}

QString CameraControlModel::sendPictureToPc() {
    if (Vosquin1.PicPc()) return {};
    Globals::WriteLogLine(QStringLiteral("Focus frame: Pict -> PC set"));
    Vosquin1.setPicPc(true);
    if (Vosquin1.PicPc()) return {};
    return kPictureToPcText;
}

ReleaseOutcome CameraControlModel::focusRelease() {
    if (const QString why = sendPictureToPc(); !why.isEmpty())
        return ReleaseOutcome::refused(ReleaseOutcome::Status::Failed, why);
    return controlRelease();
}

void CameraControlModel::cbRelease_Click() {
    trapAndTrace(QStringLiteral("cbRelease_Click"),
                 [&] { tellRefusal(Vosquin1.FocusMode() ? focusRelease() : controlRelease()); });
}

void CameraControlModel::cbSetDefault_Click() {
    SetDefaultValues();
}

void CameraControlModel::chSaveFocus_Click(bool checked) {
    trapAndTrace(QStringLiteral("chSaveFocus_Click"),
                 [&] { Vosquin1.setSaveFocusImages(checked); });
}

void CameraControlModel::StartContinousDownload() {
    trapAndTrace(QStringLiteral("StartContinousDownload"), [&] {
        if (bContinuousFocus_) {
            stopContinuousLoop();
            return;
        }
        if (Vosquin1.FocusMode() && Vosquin1.ImageQuality() == kRaw) {
            Dialogs::msgBox(kRawContinuousText, Msg::OKOnly);
            Vosquin1.setImageQuality(state().b1D ? QStringLiteral("Fine\\Small")
                                                 : QStringLiteral("Normal\\Medium"));
            return;
        }
        // The interval first: a loop is never marked running without a timer.
        IMainWindow* main = mainWindow();
        QLineEdit* box = main ? main->lbInterval() : nullptr;
        const std::int32_t ms = continuousIntervalMs(box ? box->text() : QString());
        enableButton(kStart, false);
        enableButton(kShutterRelease, false);
        bContinuousFocus_ = true;
        enableButton(kStop, true);
        ContinuousTimer_.setInterval(ms);
        ContinuousTimer_.setEnabled(true);
        tellRefusal(focusRelease());
    });
}

void CameraControlModel::stopContinuousLoop() {
    if (!bContinuousFocus_ && !ContinuousTimer_.isEnabled()) return;
    ContinuousTimer_.setInterval(0);
    ContinuousTimer_.setEnabled(false);
    bContinuousFocus_ = false;
    SetControlStates();
    enableButton(kStop, false);
}

void CameraControlModel::ContinuousTimer_Timer() {
    trapAndTrace(QStringLiteral("ContinuousTimer_Timer"), [&] {
        enableButton(kShutterRelease, false);
        tellRefusal(focusRelease());
        // The timer ticks on: the next frame's wait goes on in the loop.
        platform::handToTheLoop();
    });
}

void CameraControlModel::LogSettings() {
    trapAndTrace(QStringLiteral("LogSettings"), [&] {
        if (!Vosquin1.Connected()) return;
        Globals::WriteLogLine(QStringLiteral("Quality:") + Vosquin1.ImageQuality());
        Globals::WriteLogLine(QStringLiteral("Tv:") + Vosquin1.Tv());
        Globals::WriteLogLine(QStringLiteral("ISO:") + Vosquin1.ISO());
        Globals::WriteLogLine(QStringLiteral("Mode:") + Vosquin1.ShootingMode());
        Globals::WriteLogLine(QStringLiteral("Av:") + Vosquin1.Av());
        Globals::WriteLogLine(QStringLiteral("PIC - > PC:") + trueFalse(Vosquin1.PicPc()));
        Globals::WriteLogLine(QStringLiteral("PIC -> Cam:") + trueFalse(Vosquin1.PicCam()));
        Globals::WriteLogLine(QStringLiteral("THU - > PC:") + trueFalse(Vosquin1.ThumbPc()));
        Globals::WriteLogLine(QStringLiteral("THU -> Cam:") + trueFalse(Vosquin1.ThumbCam()));
        Globals::WriteLogLine(QStringLiteral("Camera:") + state().sCameraName);
    });
}

void CameraControlModel::endFolderMonitorLockOut() {
    // A run that watches the folder keeps capture out until it stops.
    if (state().bFolderMonitoring) return;
    enableButton(kTimer, true);
    if (IMainWindow* m = mainWindow())
        if (QAction* item = m->menuItem(QStringLiteral("mnuControl"))) item->setEnabled(true);
    view_.setOptionEnabled(1, true);
}

void CameraControlModel::setupFolderMonitor() {
    trapAndTrace(QStringLiteral("setupFolderMonitor"), [&] {
        view_.loadFolderMonSettings();
        view_.showFolderMonitor();
        enableButton(kTimer, false);
        if (IMainWindow* m = mainWindow())
            if (QAction* item = m->menuItem(QStringLiteral("mnuControl"))) item->setEnabled(false);
        view_.setWindowStateNormal();
        view_.setFormHeight(kFolderMonitorHeight);
        view_.setOptionEnabled(1, false);
    });
}

// --- The control's events ---------------------------------------------------------

void CameraControlModel::clearWaitingFlags() {
    guarded([&] { Vosquin1.setWaitingForDownload(false); });
    state().bWaitingForDownload = false;
}

void CameraControlModel::routeDownload(const QString& FileName) {
    if (Vosquin1.FocusMode()) {
        if (IFrameImageWindow* frame = openFrameImageWindow()) frame->clearimage();
        if (IImageDispWindow* disp = focusFrameWindow()) disp->LoadImage(FileName);
        if (IFrameImageWindow* frame = openFrameImageWindow()) frame->UpdateImage();
        return;
    }
    auto* capture = windows().ifLoadedAs<ICaptureWindow>(Win::frmCapture);
    if (!capture) return;
    if (isRawFile(FileName)) {
        if (clsCamera* cam = mainCamera()) cam->UpdateStatus(QStringLiteral("Developing"));
        Globals::WriteLogLine(QStringLiteral("Developing image:") + FileName);
        const QString developed = Vosquin1.DevlopRaw(FileName);
        if (developed.contains(QLatin1String("jpg"))) capture->LoadAThumb(developed);
    } else {
        capture->LoadAThumb(FileName);
    }
}

bool CameraControlModel::focusThumbnail(const QString& FileName) {
    if (!isThumbnail(FileName)) return false;
    bool focus = false;
    guarded([&] { focus = Vosquin1.FocusMode(); });
    return focus;
}

void CameraControlModel::showFailure(const QString& status) {
    if (clsCamera* cam = mainCamera()) cam->UpdateStatus(status);
    // The control says "Waiting" right after: the failure stays on show.
    failureShown_ = true;
    adviceShown_ = status == kThumbnailOnlyText;
}

void CameraControlModel::dropStaleAdvice() {
    if (!adviceShown_) return;
    bool holds = true;
    guarded([&] { holds = Vosquin1.FocusMode() && !Vosquin1.PicPc(); });
    if (holds) return;
    adviceShown_ = false;
    failureShown_ = false;
    if (clsCamera* cam = mainCamera()) cam->UpdateStatus(controlStatus_);
}

void CameraControlModel::downloadFailed(const QString& report) {
    trapAndTrace(QStringLiteral("Vosquin1_OnComplete"), [&] {
        clearWaitingFlags();
        Globals::WriteLogLine(QStringLiteral("No picture from the camera, nothing loaded: ") +
                              report);
        showFailure(kPictureFailedText + report);
        view_.setFormHeight(kCompactHeight);
    });
}

void CameraControlModel::Vosquin1_OnComplete(const QString& FileName) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnComplete: ") + FileName);
    // Whoever waits for the frame hears of it once its last picture has been
    // handed on (a release may give a thumbnail, or RAW and JPEG), also when
    // this window goes while a picture is being shown.
    FrameDownloadHandler waiter = std::exchange(frameWaiter_, nullptr);
    FrameDownload download = std::exchange(frameSoFar_, {});
    const QPointer<CameraControlModel> self(this);
    bool thumbnailOnly = false;
    // A report of failure is no picture: nothing is handed on, and the last
    // picture stays the one the Frame Image window shows. A frame with a
    // failed picture is not downloaded, whatever else of it came.
    if (isFailureReport(FileName)) {
        if (download.failure.isEmpty()) download.failure = FileName;
        downloadFailed(FileName);
    } else if (focusThumbnail(FileName)) {
        // The frame is its picture: the thumbnail is neither shown nor measured.
        thumbnailOnly = true;
        trapAndTrace(QStringLiteral("Vosquin1_OnComplete"), [&] {
            Globals::WriteLogLine(QStringLiteral("Thumbnail, not a focus frame: ") + FileName);
            clearWaitingFlags();
        });
    } else {
        download.file = FileName;
        trapAndTrace(QStringLiteral("Vosquin1_OnComplete"), [&] {
            sFileDownloaded_ = FileName;
            try {
                routeDownload(FileName);
            } catch (...) {
                // The next frame must not wait for this one, whatever failed.
                if (self) clearWaitingFlags();
                throw;
            }
            if (!self) return;
            clearWaitingFlags();
            view_.setFormHeight(kCompactHeight);
        });
        if (!self) state().bWaitingForDownload = false;
    }
    // Read once this picture has been handed on, which may have let events run.
    std::int32_t toCome = 0;
    if (self) guarded([&] { toCome = Vosquin1.PicturesToCome(); });
    if (toCome > 0) {
        frameWaiter_ = std::move(waiter);
        frameSoFar_ = std::move(download);
        return;
    }
    if (thumbnailOnly && download.file.isEmpty() && download.failure.isEmpty()) {
        // The release sent no picture (the control's own Release with Thumb ->
        // PC alone): no focus frame came, and the user hears which box brings it.
        download.failure = kThumbnailOnlyText;
        if (self)
            guarded([&] {
                Globals::WriteLogLine(kThumbnailOnlyText);
                showFailure(kThumbnailOnlyText);
            });
    }
    if (waiter) guarded([&] { waiter(download); });
}

void CameraControlModel::Vosquin1_OnConnected(const QString& CamModel) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnConnected: ") + CamModel);
    // A failed connect: the camera stays disconnected and nothing is read from
    // the error text.
    if (CamModel.startsWith(QLatin1String("Error:"))) {
        if (clsCamera* cam = mainCamera())
            cam->UpdateStatus(QStringLiteral("Connection failed ") + CamModel);
        return;
    }
    trapAndTrace(QStringLiteral("Vosquin1_OnConnected"), [&] {
        if (clsCamera* cam = mainCamera()) cam->setConnected(true);
        ProgramState& s = state();
        auto has = [&](const char* text) {
            return CamModel.contains(QLatin1String(text), Qt::CaseInsensitive);
        };
        if (has("D60")) s.bD60 = true;
        if (has("1D")) s.b1D = true;
        if (has("20D")) s.b20D = true;
        if (has("350") || has("350D") || has("Rebel XT") || has("RebelXT")) s.b350D = true;
        Vosquin1.RequestBatteryLevel();
        Globals::WriteLogLine(QStringLiteral("MirrorLock:") + trueFalse(Vosquin1.MirrorLock()));
        loadModeOption();
        GetDefaultValues();
        view_.DisableMonitorControls();
        endFolderMonitorLockOut();
        toolbarEnable(QStringLiteral("Connected"));
        SetControlStates();
        view_.setFormHeight(kCompactHeight);
    });
}

void CameraControlModel::Vosquin1_OnDisconnected() {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnDisconnected: "));
    trapAndTrace(QStringLiteral("Vosquin1_OnDisconnected"), [&] {
        saveModeOption();
        if (clsCamera* cam = mainCamera()) cam->setConnected(false);
        view_.EnableMonitorControls();
        toolbarEnable(QStringLiteral("Disconnected"));
        SetControlStates();
    });
}

void CameraControlModel::Vosquin1_OnBatteryLevelChange(const QString& BatteryLevel) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnBatteryLevelChange: ") +
                          BatteryLevel);
    trapAndTrace(QStringLiteral("SetBatteryLevelIndicator"),
                 [&] { view_.showBattery(batteryPicture(BatteryLevel)); });
}

void CameraControlModel::Vosquin1_OnReadyForRelease(bool ReadyState) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnReadyForRelease: ") +
                          trueFalse(ReadyState));
    guarded([&] {
        enableButton(kShutterRelease, ReadyState);
        view_.setReleaseEnabled(ReadyState);
        // Nothing to release (no download kind, Bulb): no continuous frames either.
        if (!ReadyState) enableButton(kStart, false);
    });
    // The transfer boxes have changed.
    dropStaleAdvice();
}

void CameraControlModel::Vosquin1_OnStatusUpdate(const QString& CamStatus) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnStatusUpdate: ") + CamStatus);
    guarded([&] {
        // The control says "Waiting" right after reporting a failure; the
        // failure stays on show until the camera has something new to say.
        const bool keepFailure = failureShown_ && CamStatus == QLatin1String("Waiting");
        failureShown_ = false;
        controlStatus_ = CamStatus;
        if (keepFailure) return;
        adviceShown_ = false;
        if (clsCamera* cam = mainCamera()) cam->UpdateStatus(CamStatus);
    });
}

void CameraControlModel::Vosquin1_OnBulbMode(bool BulbMode) {
    Globals::WriteLogLine(kEvent + QStringLiteral("Vosquin1_OnBulbMode:") + trueFalse(BulbMode));
    guarded([&] {
        SetControlStates();
        if (clsCamera* cam = mainCamera()) cam->setBulbMode(BulbMode);
    });
}

void CameraControlModel::LoadANewImage(const QString& path) {
    trapAndTrace(QStringLiteral("FolderMonitor1_LoadANewImage"), [&] {
        if (IImageDispWindow* disp = focusFrameWindow()) disp->LoadImage(path);
    });
}

}  // namespace zelmora::camera

#include "camera/DirectCameraDriver.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "camera/StatusNotice.h"
#include "camera/clsCamera.h"
#include "platform/os/Dialogs.h"
#include "platform/time/Clock.h"
#include "shell/AppPaths.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "vosquin/CameraTexts.h"

namespace zelmora {

namespace {

using platform::Dialogs;
namespace Msg = platform::Msg;

void errorBox(const QString& text) {
    Dialogs::msgBox(text, Msg::OKOnly | Msg::Critical, QStringLiteral("Error"));
}

void log(const QString& text) {
    Globals::WriteLogLine(text);
}

QString nowText() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString tf(bool v) {
    return v ? QStringLiteral("True") : QStringLiteral("False");
}

// A fixed-width text field from the library, cut at its first zero.
QString fieldText(const char* field, std::size_t width) {
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(strnlen(field, width)));
}

constexpr const char* kMonitorEntry = "Monitor Files in Folder...";

}  // namespace

// ---- Callback queue ----

void CameraEventQueue::push(const Event& e) {
    std::lock_guard lock(mu_);
    events_.push_back(e);
}

bool CameraEventQueue::pop(Event& e) {
    std::lock_guard lock(mu_);
    if (events_.empty()) return false;
    e = events_.front();
    events_.pop_front();
    return true;
}

void CameraEventQueue::clear() {
    std::lock_guard lock(mu_);
    events_.clear();
}

std::size_t CameraEventQueue::size() const {
    std::lock_guard lock(mu_);
    return events_.size();
}

std::uint32_t CameraEventQueue::cameraEventCallback(std::uint32_t code, std::uint32_t,
                                                    std::uint32_t, void* context) {
    Event e;
    e.kind = Event::Camera;
    e.code = code;
    static_cast<CameraEventQueue*>(context)->push(e);
    return 0;
}

std::uint32_t CameraEventQueue::releaseEventCallback(std::uint32_t type, const void* data,
                                                     std::uint32_t, void* context) {
    Event e;
    e.kind = Event::Release;
    e.code = type;
    // Copy the data now: it is the library's and gone when this returns.
    if (data && type == RC_EVENT_RELEASE_COMPLETE) std::memcpy(&e.count, data, sizeof e.count);
    if (data && type == RC_EVENT_IMAGE_READY) std::memcpy(&e.block, data, sizeof e.block);
    static_cast<CameraEventQueue*>(context)->push(e);
    return 0;
}

// ---- Source list ----

SourceList SourceList::enumerate() {
    SourceList list;
    RCHandle en = 0;
    if (RCResult r = RCEnumDeviceReset(1, &en)) {
        list.error = r;
        return list;
    }
    std::uint32_t count = 0;
    if (RCResult r = RCGetDeviceCount(en, &count)) {
        RCEnumDeviceRelease(en);
        list.error = r;
        return list;
    }
    if (count == 0) {
        RCEnumDeviceRelease(en);
        list.texts << QStringLiteral("(None)");  // shown in the box, not an entry to pick
        list.values.push_back(0);
        list.devices.clear();
        list.texts << QString::fromLatin1(kMonitorEntry);
        list.values.push_back(1);
        return list;
    }
    list.devices.resize(count);
    for (std::uint32_t i = 1; i <= count; ++i) {
        RCDeviceRecord rec{};
        if (RCEnumDeviceNext(en, &rec) != RC_OK) continue;  // a failed fetch adds no entry
        list.devices[i - 1] = rec;
        list.texts << fieldText(rec.name, sizeof rec.name);
        list.values.push_back(static_cast<int>(i));
    }
    list.texts << QString::fromLatin1(kMonitorEntry);
    list.values.push_back(static_cast<int>(count) + 1);
    if (RCResult r = RCEnumDeviceRelease(en)) list.error = r;
    return list;
}

// ---- Driver ----

DirectCameraDriver::DirectCameraDriver(clsCamera& camera)
    : cam_(camera),
      lists_(camera, *this),
      card_(camera, [this] { return source_; }),
      queue_(std::make_shared<CameraEventQueue>()),
      notice_(std::make_unique<StatusNotice>()) {}

DirectCameraDriver::~DirectCameraDriver() {
    // The library must not call into a queue that is gone.
    if (source_) {
        if (session_) {
            if (is20DFamily())
                RCEndCaptureSession(source_);
            else
                RCExitReleaseControl(source_);
        }
        if (registration_) RCUnregisterEventCallbackFunction(source_, registration_);
        RCCloseSource(source_);
    }
}

void DirectCameraDriver::setDownloadNotice(std::unique_ptr<DownloadNotice> notice) {
    notice_ = std::move(notice);
}

QString DirectCameraDriver::CameraModel() const {
    return fieldText(selected_.name, sizeof selected_.name);
}

bool DirectCameraDriver::is20DFamily() const {
    return state().b20D || state().b350D || state().b20DA;
}

// ---- Library lifetime ----

bool DirectCameraDriver::CreateFrameBuffer() {
    frameBuffer_.assign(kFrameBytes, 0);
    return frameBuffer_.size() == kFrameBytes;
}

void DirectCameraDriver::CreateAPI() {
    log(QStringLiteral("Creating Camera API!"));
    cam_.setCameraError(false);
    initialised_ = false;
    RCVersionRecord version{40, 8, 3, {}};
    const RCResult r = RCStartSDK(&version, 0);
    if (r == RC_OK && CreateFrameBuffer()) {
        cam_.setPicToPC(false);
        cam_.setPicToCamera(false);
        cam_.setImageSavePath(AppPaths::appDir() + QLatin1Char('/'));
        cam_.setFocusImageSavePath(AppPaths::appDir());
        source_ = registration_ = 0;
        session_ = frameFlag_ = eos_ = cardPresent_ = false;
        downloadCounter_ = 0;
        capability_ = 0;
        initialised_ = true;
        return;
    }
    if (r != RC_OK)
        errorBox(
            QStringLiteral(
                "Unable to Initialise Canon Drivers. Exit Zelmora, switch off your camera and try "
                "again. ErrorCode = 0x") +
            hex(r));
    else
        RCFinishSDK();  // started, but unusable without its frame buffer
    log(QStringLiteral("Unable to Initialise Canon Drivers."));
    errorBox(QStringLiteral("API Error"));
}

void DirectCameraDriver::DestroyAPI() {
    log(QStringLiteral("Destroying Camera API!"));
    if (RCResult r = RCFinishSDK())
        log(QStringLiteral("Error Finishing SDK ErrorCode = 0x") + hex(r));
    frameBuffer_.clear();
    initialised_ = false;
}

// ---- Source selection ----

void DirectCameraDriver::setModelFlags(const QString& name) {
    auto has = [&](const char* s) { return name.contains(QLatin1String(s), Qt::CaseInsensitive); };
    ProgramState& st = state();
    // Every flag from the new name: a flag of the previous camera never survives.
    st.b300D = has("300D");
    st.bD60 = has("D60");
    st.b1D = has("1D");
    st.b20D = has("20D");
    st.b20DA = has("20DA");
    st.b350D = has("350") || has("350D") || has("RebelXT");
}

void DirectCameraDriver::ShowCamSelect() {
    const SourceList list = SourceList::enumerate();
    if (list.error) {
        errorBox(QStringLiteral("ErrorCode = 0x") + hex(list.error));
        return;
    }
    // With no camera the box shows "(None)" and offers only the monitor entry.
    QStringList items = list.texts;
    std::vector<int> values = list.values;
    if (!items.isEmpty() && items.front() == QLatin1String("(None)") && values.front() == 0) {
        items.removeFirst();
        values.erase(values.begin());
    }
    const int choice =
        Dialogs::chooseItem(QStringLiteral("Camera Model Selection"),
                            list.devices.empty() ? QStringLiteral("(None)") : QString(), items, 0);
    if (choice < 0 || choice >= items.size()) {
        selected_.type = 0;  // cancelled
        return;
    }
    ProgramState& st = state();
    st.iSelectedCamera = 0;
    const QString text = items[choice];
    const int v = values[static_cast<std::size_t>(choice)];
    if (text.contains(QLatin1String("Monitor"), Qt::CaseInsensitive)) {
        st.bMonitorMode = true;
        monitorFolder_ =
            Settings::get(QStringLiteral("Options"), QStringLiteral("MonitorFolder"), QString());
        const QString folder =
            Dialogs::browseForFolder(monitorFolder_, QStringLiteral("&Select a directory:"));
        // Cancelled: keep the folder the user had.
        if (!folder.isEmpty()) {
            monitorFolder_ = folder;
            Settings::save(QStringLiteral("Options"), QStringLiteral("MonitorFolder"), folder);
        }
        selected_.type = 0;
    } else {
        selected_ = list.devices[static_cast<std::size_t>(v - 1)];
        st.sCameraName = text;
        st.iSelectedCamera = v;
        saved_ = list.devices;
        st.bMonitorMode = false;
    }
    setModelFlags(text);
}

void DirectCameraDriver::LoadSilentSource() {
    log(QStringLiteral("Getting Silent Connection information"));
    ProgramState& st = state();
    if (st.iSelectedCamera == 0) ShowCamSelect();
    const int i = st.iSelectedCamera;
    if (i < 1 || i > static_cast<int>(saved_.size())) {
        log(QStringLiteral("No camera chosen for the silent connection: index ") +
            QString::number(i));
        selected_.type = 0;
        return;
    }
    selected_ = saved_[static_cast<std::size_t>(i - 1)];
    setModelFlags(st.sCameraName);
}

// ---- Connection ----

RCResult DirectCameraDriver::OpenCameraSource() {
    log(QStringLiteral("Doing Cam Connect"));
    if (source_) return 0;
    if (cam_.SilentConnectMode())
        LoadSilentSource();
    else
        ShowCamSelect();
    if (selected_.type != 2) {
        if (state().bMonitorMode) emit cam_.SetupMonitorFolder();
        return static_cast<RCResult>(-1);
    }
    RCHandle src = 0;
    RCResult r = RCOpenSource(&selected_, &src);
    if (r == RC_OK) {
        r = RCRegisterEventCallbackFunction(src, &CameraEventQueue::cameraEventCallback,
                                            queue_.get(), &registration_);
        if (r != RC_OK) RCCloseSource(src);
    }
    if (r == RC_OK) {
        source_ = src;
        cam_.storeConnected(true);
        log(QStringLiteral("Camera Connected"));
        return 0;
    }
    registration_ = 0;
    if ((r & 0xFFFF) == 128)
        errorBox(
            QStringLiteral(
                "Error Connecting to Camera. If this error persists then you may need to reboot "
                "your PC. Code = 0x") +
            hex(r));
    else
        errorBox(QStringLiteral("Error Connecting to Camera Code = 0x") + hex(r));
    log(QStringLiteral("Error Connecting to Camera Code : Error ID") + QString::number(ErrorID(r)));
    return r;
}

RCResult DirectCameraDriver::StartRemoteControl(bool silent) {
    const RCHandle src = source_;
    RCHandle volumes = 0;
    bool properties = false;
    QString failing;
    RCResult r = RC_OK;
    auto fail = [&](const QString& text, RCResult code) {
        failing = text;
        r = code;
    };
    RCLockUI(src);
    cardPresent_ = false;
    if (RCResult e = RCEnumVolumeReset(src, &volumes)) {
        fail(QStringLiteral("Error checking memory card Reset : Error ID"), e);
        volumes = 0;
    } else {
        RCHandle volume = 0;
        while (RCEnumVolumeNext(volumes, &volume) == RC_OK) {
            RCVolumeInfo info{};
            if (RCGetVolumeInfo(volume, &info) == RC_OK && info.capacity != 0) {
                cardPresent_ = true;
                break;
            }
        }
        const RCResult e2 = RCEnumVolumeRelease(volumes);
        volumes = 0;
        if (e2) fail(QStringLiteral("Error checking memory card Release: Error ID"), e2);
    }
    if (!r) {
        if (RCResult e = RCEnumDevicePropertyReset(src, 0))
            fail(QStringLiteral("Device property reset: Error ID"), e);
        else
            properties = true;
    }
    if (!r) {
        std::uint32_t size = 4;
        capability_ = 0;
        if (RCResult e = RCGetDevicePropertyData(src, RC_PROP_CAPABILITY, &size, &capability_, 0))
            fail(QStringLiteral("Error getting device property data: Error ID"), e);
        else if (!(capability_ & RC_CAPABILITY_REMOTE_RELEASE)) {
            RCEnumDevicePropertyRelease(src);  // the enumeration is not left open
            RCUnlockUI(src);
            log(QStringLiteral("doReleaseOn is not supported:"));
            return RC_ERR_NOT_SUPPORTED;
        }
    }
    if (!r) {
        char model[32] = {};
        std::uint32_t size = sizeof model;
        if (RCResult e = RCGetDevicePropertyData(src, RC_PROP_MODEL_NAME, &size, model, 0))
            fail(QStringLiteral("Error getting device model name: Error ID"), e);
        else
            eos_ = std::strncmp(model, "EOS", 3) == 0;
    }
    if (!r) {
        properties = false;
        if (RCResult e = RCEnumDevicePropertyRelease(src))
            fail(QStringLiteral("Error releasing device after model name: Error ID"), e);
    }
    if (!r) {
        RCResult e;
        if (is20DFamily()) {
            log(QStringLiteral("!!!RCStartCaptureSession 20D Started at:") + nowText());
            e = RCStartCaptureSession(src, &CameraEventQueue::releaseEventCallback, queue_.get());
        } else {
            log(QStringLiteral("!!!RCEnterReleaseControl NON 20D Started at:") + nowText());
            e = RCEnterReleaseControl(src, &CameraEventQueue::releaseEventCallback, queue_.get());
        }
        if (e)
            fail(QStringLiteral("Error entering release control: Error ID"), e);
        else
            session_ = true;
    }
    if (!r) {
        if (RCResult e = RCUnlockUI(src)) fail(QStringLiteral("Error unlocking UI: Error ID"), e);
    }
    if (r) {
        log(failing + QString::number(ErrorID(r)));
        if (properties) RCEnumDevicePropertyRelease(src);
        RCUnlockUI(src);
        errorBox(QStringLiteral("Error Putting camera in remote control mode. Code = 0x") + hex(r));
        log(QStringLiteral("Error Putting camera in remote control mode : Error ID") +
            QString::number(ErrorID(r)));
        return r;
    }
    cam_.setThumbToPC(false);
    cam_.setPicToPC(true);
    if (!silent) {
        ApplyReleaseDataKind();
        lists_.RefreshModeList();
        lists_.RefreshIsoList();
        lists_.RefreshTvList();
        lists_.RefreshAvList();
        lists_.RefreshQualitySizeList();
        emit cam_.UpdateCameraInformation();
    }
    return 0;
}

void DirectCameraDriver::StopRemoteControl() {
    RCResult r;
    if (is20DFamily()) {
        log(QStringLiteral("RCEndCaptureSession 20D") + nowText());
        r = RCEndCaptureSession(source_);
    } else {
        log(QStringLiteral("RCExitReleaseControl NON20D") + nowText());
        r = RCExitReleaseControl(source_);
    }
    session_ = false;
    if (r) errorBox(QStringLiteral("ErrorCode = 0x") + hex(r));
    capability_ = 0;
}

void DirectCameraDriver::CloseCameraSource() {
    log(QStringLiteral("Doing camera disconnect"));
    if (!source_) return;
    if (registration_) {
        const RCResult r = RCUnregisterEventCallbackFunction(source_, registration_);
        registration_ = 0;
        if (r) errorBox(QStringLiteral("ErrorCode = 0x") + hex(r));
    }
    RCCloseSource(source_);
    source_ = 0;
    session_ = false;
    // Events of the closed source are stale.
    queue_->clear();
    cam_.storeConnected(false);
    selected_.type = 0;
    cam_.setPicToPC(false);
    cam_.setThumbToPC(false);
    cam_.setPicToCamera(false);
    cam_.setThumbToCamera(false);
    emit cam_.ReleaseDisabled();
    emit cam_.Disconnected();
    log(QStringLiteral("Camera disconnected"));
}

void DirectCameraDriver::Connect(bool silent) {
    if (!initialised_) return;
    cam_.setSilentConnectMode(silent);
    state().bReleaseInProgress = false;
    if (OpenCameraSource() != 0) return;
    if (StartRemoteControl(cam_.SilentConnectMode()) != 0) {
        CloseCameraSource();
        return;
    }
    emit cam_.Connected();
    ApplyReleaseDataKind();
    emit cam_.BatteryLevelChanged(GetBatteryLevel());
    emit cam_.EnableCameraEventWatch();
    cam_.setCameraError(false);
}

void DirectCameraDriver::disconnect() {
    cam_.setCameraError(false);
    // Not connected: there is no remote control to stop (and no error to show).
    if (source_ && session_) StopRemoteControl();
    CloseCameraSource();
    state().bReleaseInProgress = false;
    emit cam_.DisableCameraEventWatch();
}

void DirectCameraDriver::RemoteControlOn() {
    if (source_) StartRemoteControl(true);
}

void DirectCameraDriver::RemoteControlOff() {
    if (source_) StopRemoteControl();
}

void DirectCameraDriver::ApplyReleaseDataKind() {
    if (!source_) return;
    std::uint32_t kinds = 0;
    if (cam_.ThumbToPC()) {
        kinds |= RC_KIND_THUMB_TO_PC;
        log(QStringLiteral("ThumbToPC = true"));
    }
    if (cam_.PicToPC()) {
        kinds |= RC_KIND_PICTURE_TO_PC;
        log(QStringLiteral("PicToPC = true"));
    }
    if (cam_.ThumbToCamera() && cardPresent_) {
        kinds |= RC_KIND_THUMB_TO_CARD;
        log(QStringLiteral("ThumbToCamera = true"));
    }
    if (cam_.PicToCamera() && cardPresent_) {
        kinds |= RC_KIND_PICTURE_TO_CARD;
        log(QStringLiteral("PicToCamera = true"));
    }
    if (kinds) {
        if (RCResult r = RCSelectReleaseDataKind(source_, kinds))
            errorBox(QStringLiteral("ErrorCode = 0x") + hex(r));
        emit cam_.ReleaseEnabled();
    } else {
        emit cam_.ReleaseDisabled();
    }
    std::uint16_t mode = 0;
    if (RCGetShootingMode(source_, &mode)) return;
    if (mode == RC_MODE_BULB) emit cam_.ReleaseDisabled();
    const SettingList& tv = cam_.lists().lbTv;
    if (!tv.hasSelection()) return;
    if (tv.selectedItem() == RC_TV_BULB && mode == RC_MODE_MANUAL) {
        emit cam_.BulbModeEnabled();
        emit cam_.ReleaseDisabled();
    } else {
        emit cam_.BulbModeNotEnabled();
    }
}

// ---- Release and download ----

QString DirectCameraDriver::focusFileName(const QString& focusSavePath, bool saveFocusImages,
                                          int counter) {
    const QString name =
        saveFocusImages ? QStringLiteral("focus%1.jpg").arg(counter) : QStringLiteral("focus.jpg");
    return AppPaths::join(focusSavePath, QStringLiteral("FocusImages"), name);
}

QString DirectCameraDriver::imageFileName(const QString& imageSavePath, const QString& stem,
                                          int counter, std::uint32_t dataType, std::uint8_t format,
                                          bool releasedData, const QString& cameraName) {
    QString prefix, ext;
    switch (dataType) {
        case RC_IMAGE_THUMBNAIL:
            prefix = QStringLiteral("TH");
            ext = QStringLiteral("JPG");
            break;
        case RC_IMAGE_PICTURE:
            if (format == RC_FORMAT_JPEG)
                ext = QStringLiteral("JPG");
            else if (!releasedData)
                ext = QStringLiteral("CR2");
            else
                ext = cameraName.contains(QLatin1String("1D"), Qt::CaseInsensitive)
                          ? QStringLiteral("CR2")
                          : QStringLiteral("CRW");
            break;
        case RC_IMAGE_SECOND_PICTURE:
            prefix = QStringLiteral("FP");
            ext = QStringLiteral("JPG");
            break;
        default:
            break;
    }
    const QString number = QStringLiteral("%1").arg(counter, 3, 10, QLatin1Char('0'));
    return AppPaths::join(imageSavePath, prefix + stem + number + QLatin1Char('.') + ext);
}

QString DirectCameraDriver::downloadPath(std::uint32_t dataType, std::uint8_t format,
                                         bool releasedData) {
    // The counters start again at every start: a number whose file is there already
    // (an earlier night's frame) is passed over, so no frame is ever replaced. Only the
    // focus frame that is not kept is written over on purpose.
    QString path;
    if (cam_.FocusMode()) {
        const bool keep = cam_.SaveFocusImages();
        do {
            if (keep) ++focusCounter_;
            path = focusFileName(cam_.FocusImageSavePath(), keep, focusCounter_);
        } while (keep && QFileInfo::exists(path));
        if (keep) log(QStringLiteral("Saving focus images:") + path);
    } else {
        do {
            ++downloadCounter_;
            path = imageFileName(cam_.ImageSavePath(), cam_.SaveFilename(), downloadCounter_,
                                 dataType, format, releasedData, state().sCameraName);
        } while (QFileInfo::exists(path));
        log((releasedData ? QStringLiteral("myMedium.u.lpszFileName:")
                          : QStringLiteral("myMedium.u.FILENAME:")) +
            path);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

void DirectCameraDriver::DoRelease() {
    ProgramState& st = state();
    log(QStringLiteral("Do release Started: Auotofocus:") + tf(cam_.AutoFocusing()) +
        QStringLiteral("  bReleaseInProgress:") + tf(st.bReleaseInProgress));
    cam_.setWaitingForDownload(cam_.AutoFocusing());
    if (st.bReleaseInProgress) return;
    st.bReleaseInProgress = true;
    emit cam_.StatusInfoUpdate(QStringLiteral("Taking Picture"));
    emit cam_.PreRelease();
    cam_.LogSettings();
    RCResult r;
    if (st.b350D || st.b20D || st.b20DA) {
        log((st.b350D ? QStringLiteral("!!!RCCapture 350D Started at:")
                      : QStringLiteral("!!!RCCapture 20D Started at:")) +
            nowText());
        r = RCCapture(source_);
        if (r == RC_OK) {
            if (st.b350D) RCUnlockUI(source_);
            return;  // the image arrives with the image-ready event
        }
        log(QStringLiteral("!!!RCCapture Failed ------------------Unable to connect to Camera:") +
            QStringLiteral("ErrorCode = 0x") + hex(r));
    } else {
        log(QStringLiteral("!!!RCRelease NON 20D Started at:") + nowText());
        std::uint32_t count = 0;
        r = RCRelease(source_, 0, 0, 0, 1, &count);
        if (r == RC_OK) {
            DownloadReleasedData(count);
            return;
        }
    }
    cam_.setCameraError(true);
    log(QStringLiteral("!!!CDRelease Failed ------------------Unable to connect to Camera:") +
        QStringLiteral("ErrorCode = 0x") + hex(r));
    log(QStringLiteral(
            "!!!CDRelease Failed ------------------Unable to connect to Camera: Error ID") +
        QStringLiteral("ErrorCode = 0x") + QString::number(ErrorID(r)));
    errorBox(QStringLiteral("Unable to release shutter. Check your CF Card. Switch Camera off then "
                            "on and try again.") +
             QStringLiteral("ErrorCode = 0x") + hex(r));
    st.bReleaseInProgress = false;
    cam_.setWaitingForDownload(false);  // nothing will come down for a waiter
}

void DirectCameraDriver::release() {
    if (source_) DoRelease();
}

void DirectCameraDriver::downloadFailed(RCResult code, const QString& prefix) {
    cam_.setCameraError(true);
    cam_.setWaitingForDownload(false);
    emit cam_.Idle();
    emit cam_.StatusInfoUpdate(QStringLiteral("Waiting"));
    state().bReleaseInProgress = false;
    if (notice_) notice_->close();
    RCUnlockUI(source_);
    if (ErrorID(code) != RC_ERR_CANCELLED) {
        log(prefix + QStringLiteral("ErrorCode = 0x") + hex(code));
        log(prefix + QStringLiteral("ErrorID = ") + QString::number(ErrorID(code)));
        log(prefix + QStringLiteral("CompID = ") + QString::number(code & 0x7F00000));
    }
}

// The camera's controls locked, the notice up and the window told, before a download.
bool DirectCameraDriver::downloadStarting(const QString& lockFailText) {
    if (RCLockUI(source_)) log(lockFailText);
    if (notice_) notice_->show();
    const std::weak_ptr<const bool> alive = alive_;
    platform::passEvents();
    if (alive.expired()) return false;
    emit cam_.StatusInfoUpdate(QStringLiteral("Downloading"));
    emit cam_.Busy();
    return true;
}

// A download that went through: the waiter and the release are done.
void DirectCameraDriver::downloadEnded() {
    if (cam_.WaitingForDownload()) {
        cam_.setWaitingForDownload(false);
        log(QStringLiteral("!!!Waiting for download is now FALSE"));
    }
    state().bReleaseInProgress = false;
    emit cam_.StatusInfoUpdate(QStringLiteral("Waiting"));
    emit cam_.Idle();
    log(QStringLiteral("!!!GetRel Ended"));
}

void DirectCameraDriver::DownloadReleasedData(std::uint32_t count) {
    ProgramState& st = state();
    log(QStringLiteral("Get Rel Started- Numdata:") + QString::number(count));
    if (count == 0) {
        st.bReleaseInProgress = false;
        emit cam_.NoDataToDownload();
        return;
    }
    const QString failText =
        QStringLiteral("!!!GetRelData Failed ------------------Unable to connect to Camera:");
    if (!downloadStarting(QStringLiteral("!!!GetRelData ---Error from lock"))) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        RCImageReadyBlock info{};
        QString path;
        if (cam_.FocusMode()) {
            path = downloadPath(RC_IMAGE_PICTURE, RC_FORMAT_JPEG, true);
        } else {
            if (RCResult r = RCGetReleasedData(source_, 0, 0, 0, &info, nullptr)) {
                log(QStringLiteral("!!!GetRelData Failed ---Error from getting filename"));
                downloadFailed(r, failText);
                return;
            }
            const std::uint32_t type = info.kind;
            log(QStringLiteral("RelImgInfo.DataType:") + QString::number(type));
            path = downloadPath(type, info.format, true);
        }
        log(QStringLiteral("Getting Image from Camera"));
        const QByteArray bytes = QFile::encodeName(path);
        const RCMedium medium{RC_MEDIUM_PATH, bytes.constData(), nullptr};
        if (RCResult r = RCGetReleasedData(source_, 0, 0, 0, &info, &medium)) {
            log(QStringLiteral("!!!GetRelData Failed ---Error from getting release data"));
            downloadFailed(r, failText);
            return;
        }
        log(QStringLiteral("Image Retrieved from Camera"));
        if (cam_.FocusMode()) emit cam_.DownloadComplete(path);
    }
    if (notice_) notice_->close();
    if (RCResult r = RCUnlockUI(source_)) {
        downloadFailed(r, failText);
        return;
    }
    downloadEnded();
}

void DirectCameraDriver::DownloadCapturedImage(const RCImageReadyBlock& block) {
    std::uint32_t type = block.kind;
    const std::uint8_t format = block.format;
    const std::uint32_t size = block.size;
    log(QStringLiteral("Get Rel 20D Started"));
    log(QStringLiteral("Get Rel Image Info Created"));
    log(QStringLiteral("RelImgInfo: Data Type") + QString::number(type));
    log(QStringLiteral("RelImgInfo: FILENAME"));  // the block leaves the name field empty
    log(QStringLiteral("RelImgInfo: SIZE") + QString::number(size));
    if (!downloadStarting(QStringLiteral("!!!GetRelData ---Error from locking UI"))) return;
    if (type == RC_IMAGE_SECOND_PICTURE) {
        log(QStringLiteral("Setting Data Type Back to cdDATA_TYPE_PICTURE"));
        type = RC_IMAGE_PICTURE;
        log(QStringLiteral("RelImgInfo: Data Type after change") + QString::number(type));
    }
    const QString path = downloadPath(type, format, false);
    log(QStringLiteral("Getting Image from Camera"));
    const QByteArray bytes = QFile::encodeName(path);
    const RCMedium medium{RC_MEDIUM_PATH, bytes.constData(), nullptr};
    // The library wants its block back unchanged; the changed type only names the file.
    if (RCResult r = RCTakeCapturedImage(source_, nullptr, nullptr, 0, &block, &medium)) {
        log(QStringLiteral("!!!RCTakeCapturedImage Failed ---Error from getting release data"));
        downloadFailed(
            r, QStringLiteral(
                   "!!!GetRelData 20D Failed ------------------Unable to connect to Camera:"));
        return;
    }
    log(QStringLiteral("Image Retrieved from Camera"));
    if (cam_.FocusMode()) emit cam_.DownloadComplete(path);
    if (notice_) notice_->close();
    if (RCUnlockUI(source_)) log(QStringLiteral("!!!GetRelData ---Error from locking UI"));
    downloadEnded();
}

// ---- Polling ----

bool DirectCameraDriver::frameFits(const std::vector<std::uint8_t>& bmp) {
    if (bmp.size() < 54) return false;
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, bmp.data() + at, 4);
        return v;
    };
    auto i32 = [&](std::size_t at) { return static_cast<std::int32_t>(u32(at)); };
    auto u16 = [&](std::size_t at) {
        std::uint16_t v;
        std::memcpy(&v, bmp.data() + at, 2);
        return v;
    };
    if (bmp[0] != 'B' || bmp[1] != 'M') return false;
    if (u32(14) != 40 || i32(18) != kFrameWidth || i32(22) != kFrameHeight) return false;
    if (u16(26) != 1 || u16(28) != 24 || u32(30) != 0) return false;
    const std::uint32_t imageSize = u32(34);
    return imageSize <= kFrameBytes && imageSize <= bmp.size() - 54;
}

void DirectCameraDriver::copyPendingFrame() {
    if (frameFits(pendingFrame_) && frameBuffer_.size() == kFrameBytes) {
        std::uint32_t imageSize;
        std::memcpy(&imageSize, pendingFrame_.data() + 34, 4);
        std::memcpy(frameBuffer_.data(), pendingFrame_.data() + 54, imageSize);
    } else {
        log(QStringLiteral("Viewfinder frame dropped: not a 320 x 240 24-bit bitmap"));
    }
    pendingFrame_.clear();
}

void DirectCameraDriver::handleEvent(const CameraEventQueue::Event& e) {
    if (e.kind == CameraEventQueue::Event::Camera) {
        const std::uint32_t severity = e.code & 0xF0000;
        if (severity == RC_SEVERITY_WARNING) {
            log(QStringLiteral("Warning Event:") + QString::number(e.code));
            log(QStringLiteral("Warning Event ID:") + QString::number(e.code & 0xFFFF));
        } else if (severity == RC_SEVERITY_SHUTDOWN) {
            Dialogs::msgBox(QStringLiteral("Camera is no longer available. Check your battery! "),
                            Msg::OKOnly, QStringLiteral("Abnormal Shutdown"));
        }
        return;
    }
    switch (e.code) {
        case RC_EVENT_HARDWARE_ERROR:
            log(QStringLiteral("HW_ERROR Event:") + QString::number(e.code));
            log(QStringLiteral("HW_ERROR Event ID:") + QString::number(e.code & 0xFFFF));
            log(QStringLiteral("HW_ERROR Event ID:") + QString::number(e.code & 0xFFFF));
            Dialogs::msgBox(
                QStringLiteral(
                    "Your camera is indicating a hardware error. Please make sure CF card is "
                    "inserted properl, camera communication mode is normal, and that you haev "
                    "the latest firmware in the camera and Canon drivers for your camera model "
                    "on your PC."),
                Msg::OKOnly);
            break;
        case RC_EVENT_SETTINGS_CHANGED:
            lists_.RefreshModeList();
            ApplyReleaseDataKind();
            lists_.RefreshIsoList();
            lists_.RefreshTvList();
            lists_.RefreshAvList();
            lists_.RefreshQualitySizeList();
            emit cam_.UpdateCameraInformation();
            break;
        case RC_EVENT_RELEASE_START:
            log(QStringLiteral("EVT: cdRELEASE_EVENT_RELEASE_START at:") + nowText());
            break;
        case RC_EVENT_RELEASE_COMPLETE:
            log(QStringLiteral("EVT: cdRESEASE_EVENT_RELEASE_COMPLETE at:") + nowText());
            // A capture session's images come with their image-ready events.
            if (!is20DFamily() && !cam_.FocusMode() && !cam_.ShortExposureCapture())
                DownloadReleasedData(e.count);
            break;
        case RC_EVENT_CAMERA_BUTTON:
            log(QStringLiteral("EVT: cdRELEASE_EVENT_CAM_RELEASE_ON at:") + nowText());
            break;
        case RC_EVENT_IMAGE_READY:
            log(QStringLiteral("EVT: cdRESEASE_EVENT_IMAGE_READY at:") + nowText());
            DownloadCapturedImage(e.block);
            break;
        default:
            break;
    }
}

void DirectCameraDriver::ProcessTimer() {
    if (frameFlag_ && !pendingFrame_.empty()) copyPendingFrame();
    // One at a time: a handler that lets events run may poll again, and the
    // order still holds.
    CameraEventQueue::Event e;
    const std::weak_ptr<const bool> alive = alive_;
    while (!alive.expired() && queue_->pop(e)) handleEvent(e);
}

// ---- Settings ----

void DirectCameraDriver::setAv(int index) {
    SettingList& list = cam_.lists().lbAv;
    list.select(index);
    if (!list.hasSelection()) return;
    const auto code = static_cast<std::uint16_t>(list.selectedItem());
    std::uint16_t current = 0;
    if (RCGetAvValue(source_, &current) == RC_OK && current == code) return;
    RCResult r = RCLockUI(source_);
    if (!r) r = RCSetAvValue(source_, code);
    if (!r) r = RCUnlockUI(source_);
    if (r) {
        log(QStringLiteral("Error setting Av ") + QString::number(list.selectedItem()) +
            QStringLiteral(" : Error ID") + QString::number(ErrorID(r)));
        RCUnlockUI(source_);
    }
}

void DirectCameraDriver::setTv(int index) {
    SettingList& list = cam_.lists().lbTv;
    list.select(index);
    if (!list.hasSelection()) return;
    const auto code = static_cast<std::uint16_t>(list.selectedItem());
    std::uint16_t current = 0;
    if (RCGetTvValue(source_, &current) == RC_OK && current == code) return;
    RCResult r = RCLockUI(source_);
    if (!r) {
        platform::clock().sleepMs(200);
        r = RCSetTvValue(source_, code);
    }
    if (!r) r = RCUnlockUI(source_);
    if (r) {
        const bool parsing = (r & 0x7F00000) == 0x4000000;
        log((parsing ? QStringLiteral("Parsing error Error setting Tv ")
                     : QStringLiteral("Error setting Tv ")) +
            QString::number(list.selectedItem()) + QStringLiteral(" : Error ID") +
            QString::number(ErrorID(r)));
        RCUnlockUI(source_);
        return;
    }
    emit cam_.TvChanged();
    ApplyReleaseDataKind();
}

void DirectCameraDriver::SetISO(int index) {
    SettingList& list = cam_.lists().lbISO;
    list.select(index);
    if (!list.hasSelection()) return;
    const auto code = static_cast<std::uint16_t>(list.selectedItem());
    std::uint16_t current = 0;
    std::uint32_t size = 2;
    if (RCGetRelCamSettingData(source_, RC_SETTING_ISO, &size, &current) == RC_OK &&
        current == code)
        return;
    if (RCResult r = RCSetRelCamSettingData(source_, RC_SETTING_ISO, 2, &code)) {
        log(QStringLiteral("Error setting ISO ") + QString::number(list.selectedItem()) +
            QStringLiteral(" : Error ID") + QString::number(ErrorID(r)));
        RCUnlockUI(source_);
        return;
    }
    emit cam_.UpdateCameraInformation();
}

std::pair<int, int> DirectCameraDriver::qualitySizeFromItem(std::int32_t item) {
    const QString digits = QString::number(item);
    if (digits.size() == 1) return {item, 0};
    return {digits.back().digitValue(), digits.front().digitValue()};
}

void DirectCameraDriver::SetQualitySize(int index) {
    SettingList& list = cam_.lists().lbQualitySize;
    list.select(index);
    if (!list.hasSelection()) return;
    const auto [quality, size] = qualitySizeFromItem(list.selectedItem());
    std::uint16_t q = 0, s = 0;
    RCResult r = RCGetImageFormatAttribute(source_, &q, &s);
    if (!r && q == quality && s == size) return;
    if (!r) r = RCLockUI(source_);
    if (!r)
        r = RCSetImageFormatAttribute(source_, static_cast<std::uint16_t>(quality),
                                      static_cast<std::uint16_t>(size));
    if (r) {
        log(QStringLiteral("Error setting QualitySize ") + QString::number(list.selectedItem()) +
            QStringLiteral(" : Error ID") + QString::number(ErrorID(r)));
        RCUnlockUI(source_);
        return;
    }
    emit cam_.UpdateCameraInformation();
    RCUnlockUI(source_);
}

QString DirectCameraDriver::GetBatteryLevel() {
    return lists_.GetBatteryLevel();
}

QString DirectCameraDriver::GetCameraInformation() {
    QString out;
    auto line = [&](const QString& s) { out += s + QStringLiteral("\r\n"); };
    auto failed = [&](const char* call, RCResult r) {
        if (ErrorID(r) != RC_ERR_NOT_SUPPORTED)
            line(QStringLiteral("<err>%1 =0x").arg(QLatin1String(call)) + hex(r));
    };
    std::uint16_t q = 0, s = 0;
    if (RCResult r = RCGetImageFormatAttribute(source_, &q, &s)) {
        failed("RCGetImageFormatAttribute", r);
    } else {
        static const char* const kQ[] = {nullptr, "Economy", "Normal", "Fine", "Raw", "SuperFine"};
        const int ql = q & 0xFF, sl = s & 0xFF;
        line(QStringLiteral("ImageQuality = ") +
             QLatin1String(ql >= 1 && ql <= 5 ? kQ[ql] : "Unknown"));
        const char* st = sl == 0   ? "Large"
                         : sl == 1 ? "Medium"
                         : sl == 2 ? "Small"
                         : sl == 5 ? "Medium1"
                         : sl == 6 ? "Medium2"
                                   : "Unknown";
        line(QStringLiteral("ImageSize = ") + QLatin1String(st));
    }
    std::int32_t iso = 0;
    std::uint32_t size = 4;
    if (RCGetRelCamSettingData(source_, RC_SETTING_ISO, &size, &iso) == RC_OK && iso != 0) {
        const QString text =
            iso == 0 ? QStringLiteral("(Error)") : CameraSettingLists::isoText(iso);
        line(QStringLiteral("ISO Speed = ") + text);
    }
    std::uint16_t mode = 0;
    if (RCResult r = RCGetShootingMode(source_, &mode)) {
        failed("RCGetShootingMode", r);
    } else {
        // The control's table of mode names, the one the ShootingMode property reads.
        const char* name = vosquin::texts::findModeName(mode);
        const char* text = name ? name : "Invalid";
        line(QStringLiteral("ShootingMode = ") + QLatin1String(text));
    }
    std::uint32_t shots = 0;
    if (RCResult r = RCGetNumAvailableShot(source_, &shots)) {
        failed("RCGetNumAvailableShot", r);
    } else {
        cam_.setNoShotsLeft(static_cast<std::int32_t>(shots));
        line(QStringLiteral("NumAvailableShot = ") + QString::number(shots));
    }
    return out;
}

void DirectCameraDriver::DetectExposureSteps() {
    if (state().b300D) {
        halfStop_ = false;
        thirdStop_ = true;
        fullStop_ = false;
    } else {
        RCHandle en = 0;
        if (RCEnumCustomFunctionSettingReset(source_, &en)) return;
        const std::uint32_t stepKind = state().sCameraName.contains(QLatin1String("10D")) ? 6 : 4;
        RCCustomFunction f{};
        while (RCEnumCustomFunctionSettingNext(en, &f) == RC_OK) {
            log(QStringLiteral("Stop Setting Data - Type:") + QString::number(f.type) +
                QStringLiteral(" King:") + QString::number(f.kind) + QStringLiteral(" Value:") +
                QString::number(f.value));
            if (f.type == 1 && f.kind == stepKind) {
                halfStop_ = f.value == 0;
                thirdStop_ = f.value != 0;
                fullStop_ = false;
            } else if (f.type == 2 && f.kind == 6) {
                halfStop_ = f.value != 0 && f.value != 1;
                thirdStop_ = f.value == 0;
                fullStop_ = f.value == 1;
            }
        }
        if (RCEnumCustomFunctionSettingRelease(en)) return;
    }
    log(QStringLiteral("Stop Settings, HalfStop=") + tf(halfStop_) +
        QStringLiteral(" Thirdstop =") + tf(thirdStop_) + QStringLiteral(" Fullstop =") +
        tf(fullStop_));
}

bool DirectCameraDriver::classifiesAsCapable(const QString& name) {
    static const char* const kLimited[] = {
        "PowerShot G1",    "PowerShot G2",     "PowerShot Pro90 IS",
        "PowerShot S30",   "PowerShot S40",    "PowerShot S100",
        "IXY DIGITAL",     "DIGITAL IXUS",     "IXY DIGITAL 300",
        "PowerShot S300",  "DIGITAL IXUS 300", "IXY DIGITAL 200",
        "PowerShot S110",  "DIGITAL IXUS v",   "IXY DIGITAL 300a",
        "PowerShot S300a", "DIGITAL IXUS 330", "IXY DIGITAL 200a",
        "PowerShot S200",  "DIGITAL IXUS v2",  "PowerShot A20",
        "PowerShot A10",   "PowerShot A30",    "PowerShot A40",
        "PowerShot A100",  "PowerShot A200",   "EOS D60",
        "EOS D30",         "EOS-1D",           "EOS-1Ds",
        "EOS-1D MarkII"};
    if (name.isEmpty()) return false;
    for (const char* n : kLimited)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return false;
    return true;
}

void DirectCameraDriver::ClassifyCameraModel(const QString& name) {
    const bool v = classifiesAsCapable(name);
    for (bool& c : caps_) c = v;
}

}  // namespace zelmora

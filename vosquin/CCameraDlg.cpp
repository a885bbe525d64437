// The camera dialog: start-up, connecting and disconnecting, events to the control.
// The setting lists are in CameraDlgSettings.cpp, release and download in
// CameraDlgRelease.cpp.

#include "vosquin/CCameraDlg.h"

#include <QCoreApplication>
#include <QEvent>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/os/Dialogs.h"
#include "vosquin/CDeviceSelectDlg.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/RcResult.h"

namespace zelmora::vosquin {

using automation::Variant;

namespace {

std::mutex& logFolderMutex() {
    static std::mutex m;
    return m;
}
std::string& logFolderSlot() {
    static std::string folder;
    return folder;
}

// The dialogs alive now. The library's thread looks its callback's context up here
// (under the lock, which a dialog's destructor also takes) before using it.
std::mutex& liveMutex() {
    static std::mutex m;
    return m;
}
std::unordered_set<const void*>& liveDialogs() {
    static std::unordered_set<const void*> live;
    return live;
}

// The two messages the library thread posts to the dialog, numbered once per process.
int releaseCompleteEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}
int changeByUiEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

std::string executableFolder() {
    if (!QCoreApplication::instance()) return {};
    return withSeparator(QCoreApplication::applicationDirPath().toStdString());
}

// The device events are not used; registering a callback keeps the camera talking.
std::uint32_t ignoreDeviceEvent(std::uint32_t, std::uint32_t, std::uint32_t, void*) {
    return 0;
}

}  // namespace

CCameraDlg::CCameraDlg(QObject* parent) : QObject(parent), exeFolder_(executableFolder()) {
    std::lock_guard lock(liveMutex());
    liveDialogs().insert(this);
}

CCameraDlg::~CCameraDlg() {
    // Ends the session first; should the library keep it anyway, its callbacks find
    // this dialog gone.
    destroy();
    std::lock_guard lock(liveMutex());
    liveDialogs().erase(this);
}

std::uint32_t CCameraDlg::onCameraEventThunk(std::uint32_t event, const void* data, std::uint32_t,
                                             void* context) {
    std::lock_guard lock(liveMutex());
    if (liveDialogs().count(context)) static_cast<CCameraDlg*>(context)->OnCameraEvent(event, data);
    return 0;
}

void CCameraDlg::setLogFolder(const std::string& folder) {
    std::lock_guard lock(logFolderMutex());
    logFolderSlot() = folder;
}

std::string CCameraDlg::logFolder() {
    std::lock_guard lock(logFolderMutex());
    return logFolderSlot();
}

void CCameraDlg::fire(automation::DispId id, std::vector<Variant> args) {
    notify();
    // A control or host being torn down hears nothing more.
    if (closing_) return;
    // Events go through the control that holds the dialog; without one they are lost.
    if (!hasParent_ || !sink_) return;
    try {
        sink_(id, args);
    } catch (const std::exception& e) {
        // A host handler's failure is the host's; it must not unwind through the dialog.
        logLine(std::string("Event handler failed: ") + e.what());
    }
}

void CCameraDlg::logCode(const std::string& what, RCResult code) {
    logLine(what + texts::hex8(code));
}

bool CCameraDlg::anyBoxChecked() const {
    for (const BoxState& b : boxes_)
        if (b.checked) return true;
    return false;
}

bool CCameraDlg::create(bool hasParentControl) {
    if (created_) return true;
    hasParent_ = hasParentControl;
    const std::string folder = logFolder();
    log_.Open(folder.empty() ? std::string("logfile.txt") : withSeparator(folder) + "logfile.txt");
    log_.SetPrefix("[Main:3.3.14]");
    logLine("Program Starting.");

    source_ = 0;
    sessionOpen_ = false;
    callbackRegistration_ = 0;
    card_ = false;
    connected_ = false;
    focusMode_ = false;
    keepFocusImages_ = false;
    model_.clear();
    stem_.clear();
    queue_.setAccepting(true);
    releaseCompleteType_ = releaseCompleteEventType();
    changeByUiType_ = changeByUiEventType();
    if (releaseCompleteType_ < 0 || changeByUiType_ < 0) {
        platform::Dialogs::msgBox(QStringLiteral("API Error"));
        logLine("API Error");
        log_.Close();
        return false;
    }

    connectEnabled_ = true;
    disconnectEnabled_ = false;
    releaseEnabled_ = false;
    for (BoxState& b : boxes_) b = BoxState{};
    // The picture to the PC is the kind a camera connects with until the host or
    // the user chooses; the box shows it from the start.
    boxes_[kPicPc].checked = true;
    for (ComboModel& c : lists_) c.setEnabled(false);
    progress_ = 0;
    setSavePath(exeFolder_);

    RCVersionRecord version{};
    version.structSize = 40;
    version.major = 8;
    version.minor = 0;
    if (const RCResult r = RCStartSDK(&version, 0); failed(r)) {
        logCode("ErrorCode = ", r);
        log_.Close();
        notify();
        return false;
    }
    created_ = true;
    notify();
    return true;
}

void CCameraDlg::destroy() {
    if (!created_ || closing_) return;
    // Before anything below can pump events (the box): what was queued will never be
    // downloaded, and posted events find the dialog going away.
    closing_ = true;
    queue_.setAccepting(false);
    queue_.clear();
    EndSession();
    // The dialog exists only once the library has started.
    if (const RCResult r = RCFinishSDK(); failed(r))
        platform::Dialogs::msgBox(QString::fromStdString("ErrorCode = " + texts::hex8(r)));
    logLine("Program Terminating.");
    log_.Close();
    queue_.clear();
    closing_ = false;
    created_ = false;
    connected_ = false;
    connectEnabled_ = disconnectEnabled_ = releaseEnabled_ = false;
    notify();
}

void CCameraDlg::setSavePath(const std::string& path) {
    savePath_ = path;
    queue_.setSaveFolder(path);
    notify();
}

void CCameraDlg::browseSaveFolder() {
    const QString chosen = platform::Dialogs::browseForFolder(
        QString::fromStdString(savePath_), QStringLiteral("Select a Save Directory"));
    if (!chosen.isEmpty()) setSavePath(chosen.toStdString());
}

RCResult CCameraDlg::readMemoryCard(RCHandle source, bool& card) {
    card = false;
    RCHandle enumerator = 0;
    RCResult r = RCEnumVolumeReset(source, &enumerator);
    if (failed(r)) return r;
    for (;;) {
        RCHandle volume = 0;
        r = RCEnumVolumeNext(enumerator, &volume);
        if (failed(r)) break;
        RCVolumeInfo info{};
        r = RCGetVolumeInfo(volume, &info);
        if (failed(r)) break;
        if (info.capacity != 0) {
            card = true;
            break;
        }
    }
    return walkResult(r, RCEnumVolumeRelease(enumerator));
}

RCResult CCameraDlg::readProperty(RCHandle source, std::uint32_t id, void* data,
                                  std::uint32_t size) {
    RCResult r = RCEnumDevicePropertyReset(source, 0);
    if (failed(r)) return r;
    std::uint32_t inOut = size;
    r = RCGetDevicePropertyData(source, id, &inOut, data, 0);
    const RCResult released = RCEnumDevicePropertyRelease(source);
    return failed(r) ? r : released;
}

// Each step is done once: trying again after a failure goes on from the step that
// failed (the library refuses to end a session twice). The device callback goes
// first, so a failure further on leaves no callback of ours registered with it.
RCResult CCameraDlg::closeSession(RCHandle source) {
    if (callbackRegistration_) {
        const RCResult r = RCUnregisterEventCallbackFunction(source, callbackRegistration_);
        if (failed(r)) return r;
        callbackRegistration_ = 0;
    }
    if (sessionOpen_) {
        if (const RCResult r = RCEndCaptureSession(source); failed(r)) return r;
        sessionOpen_ = false;
    }
    return RCCloseSource(source);
}

void CCameraDlg::goIdle() {
    connected_ = false;
    model_.clear();
    connectEnabled_ = true;
    disconnectEnabled_ = false;
    releaseEnabled_ = false;
    for (BoxState& b : boxes_) b.enabled = false;
    for (ComboModel& c : lists_) c.setEnabled(false);
}

void CCameraDlg::ConnectCamera() {
    if (!created_ || !connectEnabled_) return;
    model_.clear();
    notify();
    RCDeviceRecord device{};
    if (!CDeviceSelectDlg::choose(device)) return;
    const std::string displayName(device.name, strnlen(device.name, sizeof device.name));

    RCHandle source = 0;
    RCResult r = RCOpenSource(&device, &source);
    if (!failed(r)) {
        source_ = source;
        r = RCLockUI(source);
    }
    if (!failed(r)) {
        RCHandle registration = 0;
        r = RCRegisterEventCallbackFunction(source, &ignoreDeviceEvent, this, &registration);
        if (!failed(r)) callbackRegistration_ = registration;
    }
    if (!failed(r)) r = readMemoryCard(source, card_);
    char model[33] = {};
    if (!failed(r)) {
        std::uint32_t capability = 0;
        r = readProperty(source, RC_PROP_CAPABILITY, &capability, sizeof capability);
    }
    if (!failed(r)) r = readProperty(source, RC_PROP_MODEL_NAME, model, 32);
    if (!failed(r)) {
        r = RCStartCaptureSession(source, &CCameraDlg::onCameraEventThunk, this);
        sessionOpen_ = !failed(r);
    }
    if (!failed(r)) {
        model_.assign(model, strnlen(model, 32));
        logLine("Camera Connected:" + model_);
        connectEnabled_ = false;
        disconnectEnabled_ = true;
        enableBox(kThumbPc, true);
        enableBox(kPicPc, true);
        connected_ = true;
        notify();

        r = UpdateReleaseKind();
    }
    if (!failed(r)) {
        // Compact cameras have no "EOS" in their name and none of these settings.
        const bool eos = displayName.find("EOS") != std::string::npos;
        settingsVisible_ = eos;
        for (List l : {kIso, kMode, kTv, kAv}) lists_[l].setVisible(eos);
        lists_[kQuality].setVisible(true);
        refillAll();
        r = RCUnlockUI(source);
    }
    if (!failed(r)) {
        fire(ids::kOnConnected, {model_});
        listCustomFunctions();
        notify();
        return;
    }

    // Back to idle, as if Connect had never been pressed, before the host hears of it.
    if (sessionOpen_) RCEndCaptureSession(source);
    sessionOpen_ = false;
    if (source) {
        if (callbackRegistration_) RCUnregisterEventCallbackFunction(source, callbackRegistration_);
        RCUnlockUI(source);
        RCCloseSource(source);
    }
    callbackRegistration_ = 0;
    source_ = 0;
    goIdle();
    fire(ids::kOnConnected, {texts::errorText(r)});
    fire(ids::kOnReadyForRelease, {false});
    notify();
}

void CCameraDlg::listCustomFunctions() {
    logLine("Cfn Settings");
    RCHandle enumerator = 0;
    RCResult r = RCEnumCustomFunctionSettingReset(source_, &enumerator);
    if (failed(r)) {
        logCode("ErrorCode = ", r);
        return;
    }
    for (;;) {
        RCCustomFunction f{};
        r = RCEnumCustomFunctionSettingNext(enumerator, &f);
        if (failed(r)) break;
        logCustomFunction(f);
    }
    r = walkResult(r, RCEnumCustomFunctionSettingRelease(enumerator));
    if (failed(r)) logCode("ErrorCode = ", r);
}

void CCameraDlg::logCustomFunction(const RCCustomFunction& f) {
    logLine("Type:" + std::to_string(f.type) + " Kind:" + std::to_string(f.kind) +
            " Value:" + std::to_string(f.value));
}

void CCameraDlg::DisconnectCamera() {
    if (!created_ || !disconnectEnabled_) return;
    if (const RCHandle source = source_) {
        if (const RCResult r = closeSession(source); failed(r)) {
            // Left as it was: the user may try again.
            logCode("Error Disconnecting ErrorCode = ", r);
            notify();
            return;
        }
        source_ = 0;
    }
    goIdle();
    // Nothing more can arrive from a closed source; a host waiting for it would wait forever.
    waiting_ = false;
    logLine("Camera Disconnected");
    fire(ids::kOnDisconnected);
    notify();
}

void CCameraDlg::EndSession() {
    model_.clear();
    if (const RCHandle source = source_) {
        if (const RCResult r = closeSession(source); failed(r)) {
            // Still open: the next attempt goes on from the step that failed.
            logCode("ErrorCode = ", r);
        } else {
            source_ = 0;
        }
    }
    waiting_ = false;
    notify();
}

void CCameraDlg::customEvent(QEvent* event) {
    if (!created_ || closing_) return;
    const int type = int(event->type());
    try {
        if (type == releaseCompleteType_) {
            ReleaseRecord record;
            if (queue_.Pop(record)) DownloadImage(record);
        } else if (type == changeByUiType_) {
            // The camera's own controls changed something: the lists follow (the
            // quality list is left as it is).
            fillIso();
            fillMode();
            modeGate();
            UpdateReleaseKind();
        }
    } catch (const std::exception& e) {
        logLine(std::string("Camera event failed: ") + e.what());
    }
    notify();
}

void CCameraDlg::postToSelf(int type) {
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(type)));
}

}  // namespace zelmora::vosquin

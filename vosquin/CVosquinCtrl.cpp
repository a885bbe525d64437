#include "vosquin/CVosquinCtrl.h"

#include <atomic>

#include "vosquin/CameraDlgView.h"

namespace zelmora::vosquin {

using namespace automation;

namespace {
std::atomic<int> gLiveObjects{0};

const std::string& text(const Variant& v) {
    return std::get<std::string>(v);
}
bool flag(const Variant& v) {
    return std::get<bool>(v);
}
}  // namespace

const MemberTable& CVosquinCtrl::members() {
    return publishedMembers();
}

const MemberTable& CVosquinCtrl::events() {
    return publishedEvents();
}

CVosquinCtrl::CVosquinCtrl() : dialog_(std::make_unique<CCameraDlg>()) {
    ++gLiveObjects;
    dialog_->setEventSink(
        [this](DispId id, const std::vector<Variant>& args) { events_.fire(id, args); });
}

CVosquinCtrl::~CVosquinCtrl() {
    destroyWindow();
    // A dialog created by Connect without a control window.
    dialog_->destroy();
    dialog_.reset();
    --gLiveObjects;
}

int CVosquinCtrl::liveObjects() {
    return gLiveObjects.load();
}

std::uint32_t CVosquinCtrl::advise(IEventSink* sink) {
    return events_.advise(sink, errorSource());
}

void CVosquinCtrl::unadvise(std::uint32_t cookie) {
    events_.unadvise(cookie, errorSource());
}

QWidget* CVosquinCtrl::createWindow(QWidget* parent) {
    if (!window_) {
        window_ = new VosquinWindow(*this, parent);
        window_->setObjectName(QStringLiteral("Vosquin"));
        createDialog();
    }
    return window_;
}

void CVosquinCtrl::destroyWindow() {
    if (VosquinWindow* w = window_) {
        w->detach();
        delete w;
    }
    windowGone();
}

void CVosquinCtrl::windowGone() {
    window_ = nullptr;
    view_ = nullptr;
    dialog_->destroy();
}

bool CVosquinCtrl::createDialog() {
    if (!dialog_->exists() && !dialog_->create(window_ != nullptr)) return false;
    if (window_ && !view_) {
        dialog_->setHasParentControl(true);
        view_ = new CameraDlgView(*dialog_, window_);
        layoutDialog();
        view_->show();
    }
    return true;
}

void CVosquinCtrl::layoutDialog() {
    if (view_ && window_) view_->setGeometry(window_->rect());
}

Variant CVosquinCtrl::getProperty(DispId id) {
    CCameraDlg& d = *dialog_;
    const bool exists = d.exists();
    switch (id) {
        case ids::kCamModel:
            return exists ? d.cameraModel() : std::string();
        case ids::kThumbPc:
            return exists && d.boxChecked(CCameraDlg::kThumbPc);
        case ids::kPicPc:
            return exists && d.boxChecked(CCameraDlg::kPicPc);
        case ids::kThumbCam:
            return exists && d.boxChecked(CCameraDlg::kThumbCam);
        case ids::kPicCam:
            return exists && d.boxChecked(CCameraDlg::kPicCam);
        case ids::kSavePath:
            return exists ? d.savePath() : std::string();
        case ids::kTv:
            return exists ? d.list(CCameraDlg::kTv).selectedText() : std::string();
        case ids::kAv:
            return exists ? d.list(CCameraDlg::kAv).selectedText() : std::string();
        case ids::kConnected:
            return d.connected();
        case ids::kFocusMode:
            return d.focusMode();
        case ids::kMirrorLock:
            return d.GetMirrorLock();
        case ids::kFileName:
            return d.fileName();
        case ids::kNoShotsLeft:
            return d.shotsLeft();
        case ids::kImageQuality:
            return d.imageQualityText();
        case ids::kImageSize:
            return d.imageSizeText();
        case ids::kISO:
            return exists ? d.list(CCameraDlg::kIso).selectedText() : std::string();
        case ids::kShootingMode:
            return d.shootingModeText();
        case ids::kSaveFocusImages:
            return d.saveFocusImages();
        case ids::kFocusSavePath:
            return d.focusSavePath();
        case ids::kWaitingForDownload:
            return d.waitingForDownload();
        case ids::kAllowedTv:
            return d.allowedTv();
        case ids::kPicturesToCome:
            return std::int32_t(d.picturesToCome());
    }
    return {};
}

void CVosquinCtrl::putProperty(DispId id, const Variant& value) {
    CCameraDlg& d = *dialog_;
    switch (id) {
        case ids::kThumbPc:
            d.putBox(CCameraDlg::kThumbPc, flag(value));
            break;
        case ids::kPicPc:
            d.putBox(CCameraDlg::kPicPc, flag(value));
            break;
        case ids::kThumbCam:
            d.putBox(CCameraDlg::kThumbCam, flag(value));
            break;
        case ids::kPicCam:
            d.putBox(CCameraDlg::kPicCam, flag(value));
            break;
        case ids::kSavePath:
            if (d.exists()) d.setSavePath(text(value));
            break;
        case ids::kTv:
            d.putTv(text(value));
            break;
        case ids::kAv:
            d.putAv(text(value));
            break;
        case ids::kFocusMode:
            d.setFocusMode(flag(value));
            break;
        case ids::kFileName:
            d.setFileName(text(value));
            break;
        case ids::kImageQuality:
            d.putImageQuality(text(value));
            break;
        case ids::kImageSize:
            break;  // accepted; the size goes with the quality
        case ids::kISO:
            d.putIso(text(value));
            break;
        case ids::kSaveFocusImages:
            d.setSaveFocusImages(flag(value));
            break;
        case ids::kFocusSavePath:
            d.setFocusSavePath(text(value));
            break;
        case ids::kWaitingForDownload:
            d.setWaitingForDownload(flag(value));
            break;
    }
}

Variant CVosquinCtrl::callMethod(DispId id, const std::vector<Variant>& args) {
    CCameraDlg& d = *dialog_;
    switch (id) {
        case ids::kConnect:
            if (createDialog()) d.ConnectCamera();
            return std::int32_t(0);
        case ids::kDisconnect:
            if (d.exists()) d.DisconnectCamera();
            return std::int32_t(0);
        case ids::kEnd:
            if (d.exists()) d.EndSession();
            return std::int32_t(0);
        case ids::kRelease:
            return d.exists() ? d.ReleaseShutter() : kReleaseNotReady;
        case ids::kRequestBatteryLevel:
            d.ReadBatteryLevel();
            return {};
        case ids::kDevlopRaw:
            return d.DevelopRaw(text(args.at(0)));
    }
    return {};
}

VosquinWindow::VosquinWindow(CVosquinCtrl& control, QWidget* parent)
    : QWidget(parent), control_(&control) {}

VosquinWindow::~VosquinWindow() {
    // Destroyed by its parent rather than by the control: the dialog goes with it.
    if (control_) control_->windowGone();
}

void VosquinWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (control_) control_->layoutDialog();
}

}  // namespace zelmora::vosquin

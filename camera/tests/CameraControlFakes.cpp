#include "camera/tests/CameraControlFakes.h"

#include <QCloseEvent>

#include "platform/core/AppError.h"
#include "shell/WindowRegistry.h"
#include "vosquin/VosquinInterface.h"

namespace zelmora::camera::test {

using automation::DispId;
using automation::Variant;
namespace ids = vosquin::ids;

QStringList& neighbourCalls() {
    static QStringList calls;
    return calls;
}

namespace {
void record(const QString& call) {
    neighbourCalls() << call;
}
QString variantText(const Variant& v) {
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("True") : QStringLiteral("False");
    return QString::fromStdString(automation::toText(v));
}
}  // namespace

// --- Control --------------------------------------------------------------------------

FakeVosquinControl::FakeVosquinControl() {
    props_ = {
        {ids::kCamModel, std::string()},
        {ids::kThumbPc, false},
        {ids::kPicPc, false},
        {ids::kThumbCam, false},
        {ids::kPicCam, false},
        {ids::kSavePath, std::string()},
        {ids::kTv, std::string("1/60")},
        {ids::kAv, std::string("5.6")},
        {ids::kConnected, false},
        {ids::kFocusMode, false},
        {ids::kMirrorLock, false},
        {ids::kFileName, std::string()},
        {ids::kNoShotsLeft, std::int16_t(250)},
        {ids::kImageQuality, std::string("Fine")},
        {ids::kImageSize, std::string("Large")},
        {ids::kISO, std::string("400")},
        {ids::kShootingMode, std::string("Manual")},
        {ids::kSaveFocusImages, false},
        {ids::kFocusSavePath, std::string()},
        {ids::kWaitingForDownload, false},
        {ids::kAllowedTv, std::string()},
    };
}

const automation::MemberTable& FakeVosquinControl::memberTable() const {
    return vosquin::publishedMembers();
}
const automation::MemberTable& FakeVosquinControl::eventTable() const {
    return vosquin::publishedEvents();
}
std::uint32_t FakeVosquinControl::advise(automation::IEventSink* sink) {
    return events_.advise(sink, "FakeVosquin");
}
void FakeVosquinControl::unadvise(std::uint32_t cookie) {
    events_.unadvise(cookie, "FakeVosquin");
}
QWidget* FakeVosquinControl::createWindow(QWidget* parent) {
    if (!window_) window_ = new QWidget(parent);
    return window_;
}
void FakeVosquinControl::destroyWindow() {
    delete window_;
    window_ = nullptr;
}

Variant FakeVosquinControl::value(DispId id) const {
    auto it = props_.find(id);
    return it == props_.end() ? Variant{} : it->second;
}
std::string FakeVosquinControl::text(DispId id) const {
    return automation::toText(value(id));
}
bool FakeVosquinControl::flag(DispId id) const {
    return automation::toBool(value(id));
}
void FakeVosquinControl::fire(DispId id, std::vector<Variant> args) {
    events_.fire(id, args);
}

void FakeVosquinControl::putProperty(DispId id, const Variant& value) {
    props_[id] = value;
    const QString name =
        QStringLiteral("put %1=%2")
            .arg(QString::fromStdString(memberTable().find(id)->name), variantText(value));
    calls << name;
    if (onCall) onCall(name);
}

Variant FakeVosquinControl::callMethod(DispId id, const std::vector<Variant>& args) {
    QString name = QString::fromStdString(memberTable().find(id)->name);
    if (!args.empty()) name += u'(' + variantText(args.front()) + u')';
    calls << name;
    if (onCall) onCall(name);
    if (id == ids::kDevlopRaw) return develop(automation::toText(args.front()));
    if (id == ids::kRequestBatteryLevel) return {};
    if (id == ids::kRelease) return releaseResult;
    return std::int32_t(0);
}

// --- Main window -----------------------------------------------------------------------

FakeMainWindow::FakeMainWindow() {
    for (auto& b : buttons_) b = std::make_unique<QAction>();
    mnuControl_ = std::make_unique<QAction>(QStringLiteral("Image Capture..."));
    interval_ = std::make_unique<QLineEdit>(QStringLiteral("8"));
    setMainWindow(this);
}
FakeMainWindow::~FakeMainWindow() {
    if (mainWindow() == this) setMainWindow(nullptr);
}
QAction* FakeMainWindow::button(int index) const {
    return index >= 1 && index <= 22 ? buttons_[std::size_t(index)].get() : nullptr;
}
QAction* FakeMainWindow::menuItem(const QString& objectName) const {
    return objectName == QLatin1String("mnuControl") ? mnuControl_.get() : nullptr;
}
void FakeMainWindow::setAll(bool enabled) {
    for (auto& b : buttons_) b->setEnabled(enabled);
}

// --- Neighbour windows -------------------------------------------------------------------

FakeImageDisp::FakeImageDisp() {
    setAttribute(Qt::WA_DeleteOnClose);
    windows().markLoaded(Win::frmImageDisp, this);
}
FakeImageDisp::~FakeImageDisp() {
    if (windows().ifLoaded(Win::frmImageDisp) == this) windows().markUnloaded(Win::frmImageDisp);
}
void FakeImageDisp::closeEvent(QCloseEvent* e) {
    record(QStringLiteral("disp.unload"));
    windows().markUnloaded(Win::frmImageDisp);
    e->accept();
}
void FakeImageDisp::ProcessSpaceBar() {
    record(QStringLiteral("disp.ProcessSpaceBar"));
}
void FakeImageDisp::LoadImage(const QString& strFilePath) {
    record(QStringLiteral("disp.LoadImage(%1)").arg(strFilePath));
    loaded << strFilePath;
    if (failing)
        throw AppError(AppError::kInvalidPicture, QStringLiteral("frmImageDisp"),
                       QStringLiteral("Invalid picture"));
}

FakeCapture::FakeCapture() {
    setAttribute(Qt::WA_DeleteOnClose);
    windows().markLoaded(Win::frmCapture, this);
}
FakeCapture::~FakeCapture() {
    if (windows().ifLoaded(Win::frmCapture) == this) windows().markUnloaded(Win::frmCapture);
}
void FakeCapture::closeEvent(QCloseEvent* e) {
    record(QStringLiteral("capture.unload"));
    windows().markUnloaded(Win::frmCapture);
    e->accept();
}
void FakeCapture::LoadAThumb(const QString& fileName) {
    record(QStringLiteral("capture.LoadAThumb(%1)").arg(fileName));
    if (failing) throw AppError(53, QStringLiteral("frmCapture"), QStringLiteral("File not found"));
}

FakeFrameImage::FakeFrameImage() {
    setAttribute(Qt::WA_DeleteOnClose);
    windows().markLoaded(Win::frmImage1, this);
}
FakeFrameImage::~FakeFrameImage() {
    if (windows().ifLoaded(Win::frmImage1) == this) windows().markUnloaded(Win::frmImage1);
}
void FakeFrameImage::clearimage() {
    record(QStringLiteral("frame.clearimage"));
}
void FakeFrameImage::UpdateImage() {
    record(QStringLiteral("frame.UpdateImage"));
}

FakePlainWindow::FakePlainWindow(QString name) : name_(std::move(name)) {
    setAttribute(Qt::WA_DeleteOnClose);
    windows().markLoaded(name_, this);
}
FakePlainWindow::~FakePlainWindow() {
    if (windows().ifLoaded(name_) == this) windows().markUnloaded(name_);
}
void FakePlainWindow::closeEvent(QCloseEvent* e) {
    record(name_ + QStringLiteral(".unload"));
    windows().markUnloaded(name_);
    e->accept();
}

void registerFakeNeighbours() {
    neighbourCalls().clear();
    FakeImageDisp::failing = false;
    FakeCapture::failing = false;
    windows().registerWindow(Win::frmImageDisp, [] {
        record(QStringLiteral("disp.load"));
        return new FakeImageDisp;
    });
    windows().registerWindow(Win::frmCapture, [] {
        record(QStringLiteral("capture.load"));
        return new FakeCapture;
    });
    windows().registerWindow(Win::frmImage1, [] { return new FakeFrameImage; });
    windows().registerWindow(Win::frmAnalyze, [] { return new FakePlainWindow(Win::frmAnalyze); });
    windows().registerWindow(Win::frmAutomate,
                             [] { return new FakePlainWindow(Win::frmAutomate); });
}

}  // namespace zelmora::camera::test

#include "vosquin/VosquinHost.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "platform/automation/AutomationError.h"
#include "platform/automation/ClassRegistry.h"
#include "platform/automation/ControlHost.h"
#include "platform/automation/Events.h"
#include "platform/automation/ModuleAbi.h"
#include "platform/automation/ModuleLoader.h"
#include "shell/Globals.h"
#include "vosquin/VosquinInterface.h"
#include "vosquin/VosquinModule.h"

namespace zelmora::vosquin {

using namespace automation;
using namespace ids;

class VosquinHost::Sink : public IEventSink {
public:
    explicit Sink(VosquinHost& host) : host_(host) {}
    void onEvent(DispId id, const std::vector<Variant>& args) override {
        host_.dispatchEvent(id, args);
    }

private:
    VosquinHost& host_;
};

VosquinHost::VosquinHost(QObject* parent) : QObject(parent) {}

VosquinHost::~VosquinHost() {
    detach();
}

namespace {

QString shippedLibrary(const QString& folder) {
    const QString dir = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    return QFileInfo(QDir(dir).filePath(QString::fromLatin1(VosquinHost::kLibraryFileName)))
        .absoluteFilePath();
}

QString registeredLibrary() {
    const auto reg = registry::findClass(VosquinHost::kClassName);
    return reg ? QString::fromStdString(reg->library) : QString();
}

// Tells the loaded library where its log goes, before the control's window exists.
void passLogFolder(const QString& folder) {
    const QString library = registeredLibrary();
    if (library.isEmpty()) return;
    void* handle = ::dlopen(library.toLocal8Bit().constData(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return;
    if (auto set =
            reinterpret_cast<module::SetLogFolderFn>(::dlsym(handle, module::kSetLogFolderSymbol)))
        set(folder.toLocal8Bit().constData());
    ::dlclose(handle);
}

}  // namespace

bool VosquinHost::ensureRegistered(const QString& folder) {
    const QString registered = registeredLibrary();
    const bool registeredExists = !registered.isEmpty() && QFileInfo(registered).isFile();
    const QString shipped = shippedLibrary(folder);
    const bool shippedExists = QFileInfo(shipped).isFile();
    // The registry is the user's, shared by every copy of the program: the control
    // beside this program wins over one another copy registered.
    if (registeredExists && (!shippedExists || QFileInfo(registered).canonicalFilePath() ==
                                                   QFileInfo(shipped).canonicalFilePath()))
        return true;
    if (!shippedExists) return false;
    Globals::WriteLogLine(
        QStringLiteral("Registering the camera control ") + shipped +
        (registered.isEmpty() ? QString() : QStringLiteral(" in place of ") + registered));
    return registerLibrary(shipped) == kOk;
}

void VosquinHost::load(ControlHost& host, const QString& logFolder, const QString& libraryFolder) {
    ensureRegistered(libraryFolder);
    std::unique_ptr<IControl> created;
    try {
        created = createControl(kClassName);
    } catch (const AppError&) {
        // A registration left by another build or another place may not load here;
        // the library beside the program does.
        const QString shipped = shippedLibrary(libraryFolder);
        if (!QFileInfo(shipped).isFile() || registeredLibrary() == shipped) throw;
        if (registerLibrary(shipped) != kOk) throw;
        created = createControl(kClassName);
    }
    passLogFolder(logFolder);
    IControl* control = created.get();
    host.setControl(std::move(created));
    attach(control);
    // The host owns the control: when it removes it (clear, a new control, its own
    // end), this link goes first.
    connect(&host, &ControlHost::controlRemoving, this, [this](IControl* removed) {
        if (control_ == removed) detach();
    });
    connect(&host, &QObject::destroyed, this, [this, control] {
        if (control_ == control) {
            control_ = nullptr;
            cookie_ = 0;
        }
    });
}

void VosquinHost::attach(IControl* control) {
    detach();
    if (!control) return;
    sink_ = std::make_unique<Sink>(*this);
    cookie_ = control->advise(sink_.get());
    control_ = control;
}

void VosquinHost::detach() {
    if (control_ && cookie_) {
        try {
            control_->unadvise(cookie_);
        } catch (const AppError&) {
        }
    }
    control_ = nullptr;
    cookie_ = 0;
}

IControl& VosquinHost::require() const {
    if (!control_)
        throw AutomationError(AutomationError::kInvalidProcedureCall, "Vosquin",
                              QStringLiteral("The camera control is not loaded"));
    return *control_;
}

Variant VosquinHost::get(DispId id) const {
    return require().invoke(id, InvokeKind::Get);
}

void VosquinHost::put(DispId id, Variant value) {
    require().invoke(id, InvokeKind::Put, {std::move(value)});
}

Variant VosquinHost::call(DispId id, std::vector<Variant> args) {
    return require().invoke(id, InvokeKind::Method, args);
}

namespace {
QString q(const Variant& v) {
    return QString::fromStdString(toText(v));
}
std::string s(const QString& v) {
    return v.toStdString();
}
}  // namespace

QString VosquinHost::CamModel() const {
    return q(get(kCamModel));
}
bool VosquinHost::ThumbPc() const {
    return toBool(get(kThumbPc));
}
void VosquinHost::setThumbPc(bool on) {
    put(kThumbPc, on);
}
bool VosquinHost::PicPc() const {
    return toBool(get(kPicPc));
}
void VosquinHost::setPicPc(bool on) {
    put(kPicPc, on);
}
bool VosquinHost::ThumbCam() const {
    return toBool(get(kThumbCam));
}
void VosquinHost::setThumbCam(bool on) {
    put(kThumbCam, on);
}
bool VosquinHost::PicCam() const {
    return toBool(get(kPicCam));
}
void VosquinHost::setPicCam(bool on) {
    put(kPicCam, on);
}
QString VosquinHost::SavePath() const {
    return q(get(kSavePath));
}
void VosquinHost::setSavePath(const QString& path) {
    put(kSavePath, s(path));
}
QString VosquinHost::Tv() const {
    return q(get(kTv));
}
void VosquinHost::setTv(const QString& tv) {
    put(kTv, s(tv));
}
QString VosquinHost::Av() const {
    return q(get(kAv));
}
void VosquinHost::setAv(const QString& av) {
    put(kAv, s(av));
}
bool VosquinHost::Connected() const {
    return toBool(get(kConnected));
}
bool VosquinHost::FocusMode() const {
    return toBool(get(kFocusMode));
}
void VosquinHost::setFocusMode(bool on) {
    put(kFocusMode, on);
}
bool VosquinHost::MirrorLock() const {
    return toBool(get(kMirrorLock));
}
QString VosquinHost::FileName() const {
    return q(get(kFileName));
}
void VosquinHost::setFileName(const QString& stem) {
    put(kFileName, s(stem));
}
std::int16_t VosquinHost::NoShotsLeft() const {
    return toI2(get(kNoShotsLeft));
}
QString VosquinHost::ImageQuality() const {
    return q(get(kImageQuality));
}
void VosquinHost::setImageQuality(const QString& quality) {
    put(kImageQuality, s(quality));
}
QString VosquinHost::ImageSize() const {
    return q(get(kImageSize));
}
void VosquinHost::setImageSize(const QString& size) {
    put(kImageSize, s(size));
}
QString VosquinHost::ISO() const {
    return q(get(kISO));
}
void VosquinHost::setISO(const QString& iso) {
    put(kISO, s(iso));
}
QString VosquinHost::ShootingMode() const {
    return q(get(kShootingMode));
}
bool VosquinHost::SaveFocusImages() const {
    return toBool(get(kSaveFocusImages));
}
void VosquinHost::setSaveFocusImages(bool on) {
    put(kSaveFocusImages, on);
}
QString VosquinHost::FocusSavePath() const {
    return q(get(kFocusSavePath));
}
void VosquinHost::setFocusSavePath(const QString& path) {
    put(kFocusSavePath, s(path));
}
bool VosquinHost::WaitingForDownload() const {
    return toBool(get(kWaitingForDownload));
}
void VosquinHost::setWaitingForDownload(bool on) {
    put(kWaitingForDownload, on);
}
QString VosquinHost::AllowedTv() const {
    return q(get(kAllowedTv));
}
std::int32_t VosquinHost::PicturesToCome() const {
    return toI4(get(kPicturesToCome));
}

std::int32_t VosquinHost::Connect() {
    return toI4(call(kConnect));
}
std::int32_t VosquinHost::Disconnect() {
    return toI4(call(kDisconnect));
}
std::int32_t VosquinHost::End() {
    return toI4(call(kEnd));
}
std::int32_t VosquinHost::Release() {
    return toI4(call(kRelease));
}
void VosquinHost::RequestBatteryLevel() {
    call(kRequestBatteryLevel);
}
QString VosquinHost::DevlopRaw(const QString& fileToDevelop) {
    return q(call(kDevlopRaw, {s(fileToDevelop)}));
}

void VosquinHost::dispatchEvent(DispId id, const std::vector<Variant>& args) {
    const Variant none;
    const Variant& a = args.empty() ? none : args.front();
    switch (id) {
        case kOnComplete:
            emit OnComplete(q(a));
            break;
        case kOnConnected:
            emit OnConnected(q(a));
            break;
        case kOnDisconnected:
            emit OnDisconnected();
            break;
        case kOnBatteryLevelChange:
            emit OnBatteryLevelChange(q(a));
            break;
        case kOnReadyForRelease:
            emit OnReadyForRelease(toBool(a));
            break;
        case kOnStatusUpdate:
            emit OnStatusUpdate(q(a));
            break;
        case kOnBulbMode:
            emit OnBulbMode(toBool(a));
            break;
        default:
            break;
    }
}

}  // namespace zelmora::vosquin

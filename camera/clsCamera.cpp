#include "camera/clsCamera.h"

#include <QComboBox>

#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora {

std::shared_ptr<clsCamera>& oMainCamera() {
    static std::shared_ptr<clsCamera> camera;
    static const bool hooked = [] {
        addResetHook([] { camera.reset(); });
        return true;
    }();
    (void)hooked;
    return camera;
}

clsCamera::clsCamera(QObject* parent) : QObject(parent) {}

clsCamera::~clsCamera() = default;

void clsCamera::setDriver(std::unique_ptr<CameraDriver> driver) {
    driver_ = std::move(driver);
}

bool clsCamera::ReleaseInProgress() const {
    return state().bReleaseInProgress;
}

void clsCamera::setReleaseInProgress(bool v) {
    state().bReleaseInProgress = v;
}

bool clsCamera::ClassInitialised() const {
    return driver_ && driver_->ClassInitialised();
}

QString clsCamera::CameraModel() const {
    // No source chosen: the record's name field is all zero characters.
    return driver_ ? driver_->CameraModel() : QString(64, QChar(0));
}

void clsCamera::setConnected(bool v) {
    connected_ = v;
    if (v)
        emit Connected();
    else
        emit Disconnected();
}

void clsCamera::setPicToPC(bool v) {
    picToPC_ = v;
    applyReleaseDataKind();
}
void clsCamera::setPicToCamera(bool v) {
    picToCamera_ = v;
    applyReleaseDataKind();
}
void clsCamera::setThumbToPC(bool v) {
    thumbToPC_ = v;
    applyReleaseDataKind();
}
void clsCamera::setThumbToCamera(bool v) {
    thumbToCamera_ = v;
    applyReleaseDataKind();
}

void clsCamera::applyReleaseDataKind() {
    // Nothing happens while the camera object's own road is not connected.
    if (driver_ && connected_) driver_->ApplyReleaseDataKind();
}

void clsCamera::CopyListItems(const SettingList& source, QComboBox* destination) {
    if (!destination) return;
    destination->clear();
    for (size_t i = 0; i < source.items.size(); ++i) {
        destination->addItem(source.items[i].text, source.items[i].item);
        if (source.selected == static_cast<int>(i))
            destination->setCurrentIndex(static_cast<int>(i));
    }
    // A combo box selects its first entry by itself; the list may have none selected.
    if (!source.hasSelection()) destination->setCurrentIndex(-1);
}

void clsCamera::GetAvValues(QComboBox* box) const {
    CopyListItems(lists_.lbAv, box);
}
void clsCamera::GetTvValues(QComboBox* box) const {
    CopyListItems(lists_.lbTv, box);
}
void clsCamera::GetISOValues(QComboBox* box) const {
    CopyListItems(lists_.lbISO, box);
}
void clsCamera::GetQualitySizeValues(QComboBox* box) const {
    CopyListItems(lists_.lbQualitySize, box);
}
void clsCamera::GetModeValues(QComboBox* box) const {
    CopyListItems(lists_.lbMode, box);
    if (box) box->setEnabled(false);
}

// Without a driver a setter only selects the entry: there is no camera to send it to.
void clsCamera::setAv(int index) {
    if (driver_)
        driver_->setAv(index);
    else
        lists_.lbAv.select(index);
}
void clsCamera::setTv(int index) {
    if (driver_)
        driver_->setTv(index);
    else
        lists_.lbTv.select(index);
}
void clsCamera::SetISO(int index) {
    if (driver_)
        driver_->SetISO(index);
    else
        lists_.lbISO.select(index);
}
void clsCamera::SetQualitySize(int index) {
    if (driver_)
        driver_->SetQualitySize(index);
    else
        lists_.lbQualitySize.select(index);
}

void clsCamera::Connect(bool silent) {
    // Connecting needs a started library; without a driver it never is.
    if (driver_) driver_->Connect(silent);
}

void clsCamera::disconnect() {
    if (driver_) {
        driver_->disconnect();
        return;
    }
    cameraError_ = false;
    Globals::WriteLogLine(QStringLiteral("Doing camera disconnect"));
    state().bReleaseInProgress = false;
    emit DisableCameraEventWatch();
}

void clsCamera::CreateAPI() {
    if (driver_) driver_->CreateAPI();
}

void clsCamera::ProcessTimer() {
    if (driver_) driver_->ProcessTimer();
}

void clsCamera::setBulbMode(bool bulb) {
    if (bulb)
        emit BulbModeEnabled();
    else
        emit BulbModeNotEnabled();
}

void clsCamera::DestroyAPI() {
    if (driver_) driver_->DestroyAPI();
}

void clsCamera::release() {
    if (driver_) driver_->release();
}

void clsCamera::RemoteControlOn() {
    if (driver_) driver_->RemoteControlOn();
}

void clsCamera::RemoteControlOff() {
    if (driver_) driver_->RemoteControlOff();
}

QString clsCamera::GetBatteryLevel() {
    return driver_ ? driver_->GetBatteryLevel() : QString();
}

QString clsCamera::GetCameraInformation() {
    return driver_ ? driver_->GetCameraInformation() : QString();
}

}  // namespace zelmora

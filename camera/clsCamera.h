#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>

#include "camera/CameraDriver.h"
#include "camera/SettingList.h"

class QComboBox;

namespace zelmora {

// The program's one camera object (oMainCamera): the camera state the windows
// share, and the events through which camera happenings reach them. Handlers
// run synchronously inside the member that raises the event.
class clsCamera : public QObject {
    Q_OBJECT
public:
    explicit clsCamera(QObject* parent = nullptr);
    ~clsCamera() override;

    // The direct driver, when one is built into the program.
    void setDriver(std::unique_ptr<CameraDriver> driver);
    CameraDriver* driver() const { return driver_.get(); }

    // Members in interface order.
    void ResetImageCount() { imageCount_ = 0; }
    std::int32_t ImageCount() const { return imageCount_; }
    bool CameraArrror() const { return cameraError_; }
    bool AutoFocusing() const { return autoFocusing_; }
    void setAutoFocusing(bool v) { autoFocusing_ = v; }
    bool ReleaseInProgress() const;  // the program-wide bReleaseInProgress
    void setReleaseInProgress(bool v);
    bool WaitingForDownload() const { return waitingForDownload_; }
    void setWaitingForDownload(bool v) { waitingForDownload_ = v; }
    QString SaveFilename() const { return saveFilename_; }
    void setSaveFilename(const QString& v) { saveFilename_ = v; }
    std::int32_t NoShotsLeft() const { return noShotsLeft_; }
    QString CurrentISO() const { return lists_.lbISO.selectedText(); }
    QString CurrentTv() const { return lists_.lbTv.selectedText(); }
    QString CurrentQuality() const { return lists_.lbQualitySize.selectedText(); }
    QString CurrentAv() const { return lists_.lbAv.selectedText(); }
    bool ShortExposureCapture() const { return shortExposureCapture_; }
    void setShortExposureCapture(bool v) { shortExposureCapture_ = v; }
    bool SaveFocusImages() const { return saveFocusImages_; }
    void setSaveFocusImages(bool v) { saveFocusImages_ = v; }
    bool FocusMode() const { return focusMode_; }
    void setFocusMode(bool v) { focusMode_ = v; }
    bool ClassInitialised() const;
    QString CameraModel() const;  // the chosen source's device name, all 64 characters
    bool SilentConnectMode() const { return silentConnectMode_; }
    void setSilentConnectMode(bool v) { silentConnectMode_ = v; }
    QString ShootingMode() const { return shootingMode_; }
    bool connected() const { return connected_; }
    // Stores the value and raises Connected (True) or Disconnected, on every
    // assignment, also when the value does not change.
    void setConnected(bool v);
    QString FocusImageSavePath() const { return focusImageSavePath_; }
    void setFocusImageSavePath(const QString& v) { focusImageSavePath_ = v; }
    QString ImageSavePath() const { return imageSavePath_; }
    void setImageSavePath(const QString& v) { imageSavePath_ = v; }
    // Each let stores the switch, then applies the download kinds to the camera.
    bool PicToPC() const { return picToPC_; }
    void setPicToPC(bool v);
    bool PicToCamera() const { return picToCamera_; }
    void setPicToCamera(bool v);
    bool ThumbToPC() const { return thumbToPC_; }
    void setThumbToPC(bool v);
    bool ThumbToCamera() const { return thumbToCamera_; }
    void setThumbToCamera(bool v);
    void GetAvValues(QComboBox* box) const;
    void GetTvValues(QComboBox* box) const;
    void GetISOValues(QComboBox* box) const;
    void GetQualitySizeValues(QComboBox* box) const;
    void GetModeValues(QComboBox* box) const;  // then disables the box
    void GetValidAv() {}
    void GetValidTv() {}
    void GetValidISO() {}
    void GetValidQualitySize() {}
    void setAv(int index);
    void setTv(int index);
    void SetISO(int index);
    void SetQualitySize(int index);
    void Connect(bool silent);
    void disconnect();
    void TriggerShutter() {}
    void CreateAPI();
    void ProcessTimer();
    void UpdateStatus(const QString& status) { emit StatusInfoUpdate(status); }
    void setBulbMode(bool bulb);
    void DestroyAPI();
    void release();
    void RemoteControlOn();
    void RemoteControlOff();
    QString GetBatteryLevel();
    QString GetCameraInformation();
    QVariant LogSettings() { return {}; }

    // The master lists, for the driver and for tests.
    MasterLists& lists() { return lists_; }
    const MasterLists& lists() const { return lists_; }

    // State the driver keeps through the object.
    void setCameraError(bool v) { cameraError_ = v; }
    void setNoShotsLeft(std::int32_t v) { noShotsLeft_ = v; }
    void setShootingMode(const QString& v) { shootingMode_ = v; }
    void incrementImageCount() { ++imageCount_; }
    void storeConnected(bool v) { connected_ = v; }  // no events

    // Copies a list into a combo box: texts and codes in order, the entry at
    // the source's selected index selected.
    static void CopyListItems(const SettingList& source, QComboBox* destination);

signals:
    // The order is part of the interface (1 to 22).
    void Connected();                                // 1
    void Disconnected();                             // 2
    void ISOChanged();                               // 3
    void AvChanged();                                // 4 (never raised)
    void TvChanged();                                // 5
    void QualitySizeChanged();                       // 6 (never raised)
    void ModeChanged();                              // 7 (never raised)
    void UpdateCameraInformation();                  // 8
    void ReleaseEnabled();                           // 9
    void ReleaseDisabled();                          // 10
    void EnableCameraEventWatch();                   // 11
    void DisableCameraEventWatch();                  // 12
    void SetupMonitorFolder();                       // 13
    void BulbModeEnabled();                          // 14
    void BulbModeNotEnabled();                       // 15
    void NoDataToDownload();                         // 16
    void StatusInfoUpdate(const QString& status);    // 17
    void Busy();                                     // 18
    void Idle();                                     // 19
    void DownloadComplete(const QString& fileName);  // 20
    void PreRelease();                               // 21
    void BatteryLevelChanged(const QString& level);  // 22

private:
    void applyReleaseDataKind();

    std::unique_ptr<CameraDriver> driver_;
    MasterLists lists_;
    bool connected_ = false;
    bool cameraError_ = false;
    bool waitingForDownload_ = false;
    bool autoFocusing_ = false;
    bool focusMode_ = false;
    bool saveFocusImages_ = false;
    bool shortExposureCapture_ = false;
    bool silentConnectMode_ = false;
    bool thumbToPC_ = false, picToPC_ = false, thumbToCamera_ = false, picToCamera_ = false;
    QString imageSavePath_, focusImageSavePath_, saveFilename_, shootingMode_;
    std::int32_t imageCount_ = 0;
    std::int32_t noShotsLeft_ = 0;
};

// The program's one camera object, created by the main window at start-up and
// released at shutdown (empty before and after).
std::shared_ptr<clsCamera>& oMainCamera();

}  // namespace zelmora

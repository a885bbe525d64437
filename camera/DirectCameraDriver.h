#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/CameraCardImages.h"
#include "camera/CameraDriver.h"
#include "camera/CameraSettingLists.h"
#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora {

class clsCamera;

// The status window shown while images come down from the camera.
class DownloadNotice {
public:
    virtual ~DownloadNotice() = default;
    virtual void show() = 0;
    virtual void close() = 0;
};

// The library's two callbacks copy what they are given into this queue and
// return; the driver's poll takes the events out in order on the GUI thread.
// Nothing is read from the library's memory after a callback returned, and two
// events before one poll are both kept.
class CameraEventQueue {
public:
    struct Event {
        enum Kind { Camera, Release } kind = Release;
        std::uint32_t code = 0;     // camera event code, or release event type
        std::uint32_t count = 0;    // event 29: images of the release
        RCImageReadyBlock block{};  // event 34
    };
    void push(const Event& e);
    bool pop(Event& e);
    void clear();
    std::size_t size() const;

    static std::uint32_t cameraEventCallback(std::uint32_t code, std::uint32_t, std::uint32_t,
                                             void* context);
    static std::uint32_t releaseEventCallback(std::uint32_t type, const void* data, std::uint32_t,
                                              void* context);

private:
    mutable std::mutex mu_;
    std::deque<Event> events_;
};

// The camera's devices as the source chooser offers them.
struct SourceList {
    QStringList texts;                    // device names, then the monitor entry
    std::vector<int> values;              // item values: 1..n, then n + 1
    std::vector<RCDeviceRecord> devices;  // 1-based in the values: devices[v - 1]
    RCResult error = 0;                   // a failing reset, count or release
    static SourceList enumerate();
};

// The camera object's own road to the camera through the remote-capture
// library: start and finish the library, choose and open a source, remote
// control, release and download, the poll, settings and camera information.
class DirectCameraDriver : public CameraDriver, public CameraSettingLists::Host {
public:
    explicit DirectCameraDriver(clsCamera& camera);
    ~DirectCameraDriver() override;

    // CameraDriver
    void CreateAPI() override;
    void DestroyAPI() override;
    void Connect(bool silent) override;
    void disconnect() override;
    void release() override;
    void ProcessTimer() override;
    void RemoteControlOn() override;
    void RemoteControlOff() override;
    void ApplyReleaseDataKind() override;
    void setAv(int index) override;
    void setTv(int index) override;
    void SetISO(int index) override;
    void SetQualitySize(int index) override;
    QString GetBatteryLevel() override;
    QString GetCameraInformation() override;
    bool ClassInitialised() const override { return initialised_; }
    QString CameraModel() const override;

    // CameraSettingLists::Host
    RCHandle source() const override { return source_; }
    void DetectExposureSteps() override;
    bool HalfStop() const override { return halfStop_; }
    bool ThirdStop() const { return thirdStop_; }
    bool FullStop() const { return fullStop_; }

    CameraSettingLists& settingLists() { return lists_; }
    CameraCardImages& cardImages() { return card_; }
    CameraEventQueue& events() { return *queue_; }
    void setDownloadNotice(std::unique_ptr<DownloadNotice> notice);

    // The chosen source and the ones offered with it (for the silent reconnect).
    const RCDeviceRecord& SelectedSource() const { return selected_; }
    const std::vector<RCDeviceRecord>& SavedSources() const { return saved_; }
    QString sMonitorFolder() const { return monitorFolder_; }
    bool cardPresent() const { return cardPresent_; }
    std::uint32_t capability() const { return capability_; }
    bool eos() const { return eos_; }
    const bool* capabilityFlags() const { return caps_; }

    // The viewfinder: a bitmap (14-byte file header, 40-byte info header,
    // pixels) waiting for the next poll, copied only while the frame flag is on.
    void setFrameFlag(bool on) { frameFlag_ = on; }
    void setPendingFrame(std::vector<std::uint8_t> bitmap) { pendingFrame_ = std::move(bitmap); }
    bool framePending() const { return !pendingFrame_.empty(); }
    const std::vector<std::uint8_t>& frameBuffer() const { return frameBuffer_; }

    // Pure helpers.
    static std::uint32_t ErrorID(std::uint32_t code) { return code & 0xFFFF; }
    static QString focusFileName(const QString& focusSavePath, bool saveFocusImages, int counter);
    static QString imageFileName(const QString& imageSavePath, const QString& stem, int counter,
                                 std::uint32_t dataType, std::uint8_t format, bool releasedData,
                                 const QString& cameraName);
    // Item value digits: last digit quality, the digit before it size (0 when none).
    static std::pair<int, int> qualitySizeFromItem(std::int32_t item);
    // All six model-capability flags from the model name.
    static bool classifiesAsCapable(const QString& name);
    void ClassifyCameraModel(const QString& name);
    // The model flags from a chosen camera's name, every flag assigned.
    static void setModelFlags(const QString& name);
    // Whether a bitmap is one this frame buffer can take (320 x 240, 24 bit, uncompressed).
    static bool frameFits(const std::vector<std::uint8_t>& bitmap);
    static QString hex(std::uint32_t code) { return CameraSettingLists::hex(code); }

    static constexpr int kFrameWidth = 320;
    static constexpr int kFrameHeight = 240;
    static constexpr std::size_t kFrameBytes = kFrameWidth * kFrameHeight * 3;

private:
    RCResult OpenCameraSource();
    void LoadSilentSource();
    void CloseCameraSource();
    RCResult StartRemoteControl(bool silent);
    void StopRemoteControl();
    void DoRelease();
    void DownloadReleasedData(std::uint32_t count);
    void DownloadCapturedImage(const RCImageReadyBlock& block);
    bool CreateFrameBuffer();
    void ShowCamSelect();
    bool is20DFamily() const;
    QString downloadPath(std::uint32_t dataType, std::uint8_t format, bool releasedData);
    void downloadFailed(RCResult code, const QString& prefix);
    // False when the driver went while the pending events ran (the camera
    // object released as the program closes): touch nothing of it then.
    [[nodiscard]] bool downloadStarting(const QString& lockFailText);
    void downloadEnded();
    void handleEvent(const CameraEventQueue::Event& e);
    void copyPendingFrame();

    clsCamera& cam_;
    CameraSettingLists lists_;
    CameraCardImages card_;
    std::shared_ptr<CameraEventQueue> queue_;
    // Expires with the driver: a handler that lets events run checks it after.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
    std::unique_ptr<DownloadNotice> notice_;

    bool initialised_ = false;
    RCHandle source_ = 0;
    RCHandle registration_ = 0;
    bool session_ = false;  // remote control on
    bool frameFlag_ = false;
    bool eos_ = false;
    bool cardPresent_ = false;
    std::int32_t downloadCounter_ = 0;
    std::int32_t focusCounter_ = 0;
    std::uint32_t capability_ = 0;
    bool halfStop_ = false, thirdStop_ = false, fullStop_ = false;
    bool caps_[6] = {};

    RCDeviceRecord selected_{};
    std::vector<RCDeviceRecord> saved_;
    QString monitorFolder_;
    std::vector<std::uint8_t> frameBuffer_;
    std::vector<std::uint8_t> pendingFrame_;
};

}  // namespace zelmora

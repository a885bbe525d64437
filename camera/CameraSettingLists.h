#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "camera/SettingList.h"
#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora {

class clsCamera;

// Fills the camera object's master lists from the camera through the
// remote-capture library, for the direct driver. Each refresh rebuilds its list
// from nothing and releases every enumeration it opened, on every path.
class CameraSettingLists {
public:
    // What the lists need from the driver that owns them.
    class Host {
    public:
        virtual ~Host() = default;
        virtual RCHandle source() const = 0;
        virtual void DetectExposureSteps() = 0;
        virtual bool HalfStop() const = 0;
    };

    CameraSettingLists(clsCamera& camera, Host& host);

    void RefreshModeList();
    void RefreshAvList();
    void RefreshTvList();
    void RefreshIsoList();
    void RefreshQualitySizeList();
    QString GetBatteryLevel();

    // Puts the mouse pointer back after the aperture probe (the camera window's).
    void setRestorePointer(std::function<void()> hook) { restorePointer_ = std::move(hook); }

    // The code-to-text tables of these lists.
    static QString modeText(std::int32_t code);
    static QString avText(std::int32_t code);
    static QString tvText(std::int32_t code);
    static QString isoText(std::int32_t code);
    static QString sizeText(std::int32_t code);
    static QString qualityText(std::int32_t code);
    static QString batteryText(std::uint32_t property15);
    // Upper-case hexadecimal without leading zeros, of the 32-bit pattern.
    static QString hex(std::uint32_t code);

private:
    void ProbeAvValues();
    void LoadFixedTvList();
    void LoadFixedIsoList();
    static void addSelecting(SettingList& list, const QString& text, std::int32_t current,
                             std::int32_t code);
    void AddTvEntry(const QString& text, std::int32_t current, std::int32_t code);
    void AddIsoEntry(const QString& text, std::int32_t current, std::int32_t code);
    void avFailure(RCResult code);
    void tvFailure(RCResult code);
    void isoFailure(RCResult code);
    void qualityFailure(RCResult code);

    clsCamera& camera_;
    Host& host_;
    std::function<void()> restorePointer_;
};

}  // namespace zelmora

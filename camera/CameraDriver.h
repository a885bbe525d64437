#pragma once

#include <QString>
#include <cstdint>

namespace zelmora {

class clsCamera;

// The camera object's own road to the camera through the remote-capture
// library. The live road goes through the camera window and the release
// control instead; without a driver the camera object behaves as a camera
// object that was never connected.
class CameraDriver {
public:
    virtual ~CameraDriver() = default;
    virtual void CreateAPI() = 0;
    virtual void DestroyAPI() = 0;
    virtual void Connect(bool silent) = 0;
    virtual void disconnect() = 0;
    virtual void release() = 0;
    virtual void ProcessTimer() = 0;
    virtual void RemoteControlOn() = 0;
    virtual void RemoteControlOff() = 0;
    virtual void ApplyReleaseDataKind() = 0;
    virtual void setAv(int index) = 0;
    virtual void setTv(int index) = 0;
    virtual void SetISO(int index) = 0;
    virtual void SetQualitySize(int index) = 0;
    virtual QString GetBatteryLevel() = 0;
    virtual QString GetCameraInformation() = 0;
    virtual bool ClassInitialised() const = 0;
    virtual QString CameraModel() const = 0;
};

}  // namespace zelmora

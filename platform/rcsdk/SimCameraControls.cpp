// The simulator's controls (SimCamera.h).

#include <algorithm>

#include "platform/rcsdk/RawDevelopment.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/rcsdk/SimLibrary.h"

namespace zelmora::simrc {

using detail::Device;
using detail::SimLibrary;

namespace {

SimLibrary& lib() {
    return SimLibrary::instance();
}

constexpr int kTestSensorWidth = 320;
constexpr int kTestSensorHeight = 240;

// Runs a change on the camera body and tells the capture session about it.
template <typename Fn>
void onCamera(int device, Fn change) {
    std::unique_lock lock(lib().mu);
    Device* d = lib().deviceAt(device);
    if (!d) return;
    change(d->state);
    lib().notifySettingsChanged(lock, *d);
}

void post(int device, detail::Job job, bool toSessionOnly) {
    std::unique_lock lock(lib().mu);
    Device* d = lib().deviceAt(device);
    if (!d) return;
    std::vector<std::shared_ptr<detail::Source>> targets;
    for (const auto& [id, s] : lib().sources) {
        if (s->deviceId != d->id) continue;
        if (toSessionOnly && id != d->sessionSource) continue;
        targets.push_back(s);
    }
    for (const auto& s : targets) {
        job.generation = s->generation;
        lib().post(lock, s, job);
    }
}

}  // namespace

void reset() {
    {
        std::lock_guard lock(lib().mu);
        lib().started = 0;
    }
    lib().closeAll(false);
    lib().clearFaultsAndCounts();
    std::lock_guard lock(lib().mu);
    lib().replaceDevices({profiles::eos20D()});
    lib().sensorOverrideW = kTestSensorWidth;
    lib().sensorOverrideH = kTestSensorHeight;
    lib().timeScale = 0;
    lib().synchronous = false;
    lib().captureLog.clear();
}

void setDevices(std::vector<CameraProfile> devices) {
    std::lock_guard lock(lib().mu);
    lib().replaceDevices(std::move(devices));
}

std::vector<CameraProfile> devices() {
    std::lock_guard lock(lib().mu);
    std::vector<CameraProfile> out;
    for (std::uint32_t id : lib().deviceOrder) out.push_back(lib().devices.at(id).state);
    return out;
}

void setSensorOverride(int width, int height) {
    std::lock_guard lock(lib().mu);
    lib().sensorOverrideW = std::max(0, width);
    lib().sensorOverrideH = std::max(0, height);
}

void setShootingMode(std::uint16_t mode, int device) {
    onCamera(device, [&](CameraProfile& c) { c.mode = mode; });
}

void setTv(std::uint16_t tv, int device) {
    onCamera(device, [&](CameraProfile& c) { c.tv = tv; });
}

void setAv(std::uint16_t av, int device) {
    onCamera(device, [&](CameraProfile& c) { c.av = av; });
}

void setIso(std::uint16_t iso, int device) {
    onCamera(device, [&](CameraProfile& c) { c.iso = iso; });
}

void setImageFormat(QualitySize format, int device) {
    onCamera(device, [&](CameraProfile& c) { c.format = format; });
}

void setLens(bool attached, int device) {
    onCamera(device, [&](CameraProfile& c) {
        c.lens = attached;
        if (attached && !c.avValues.empty() &&
            std::find(c.avValues.begin(), c.avValues.end(), c.av) == c.avValues.end())
            c.av = c.avValues.front();
    });
}

void setMirrorLock(bool on, int device) {
    onCamera(device, [&](CameraProfile& c) {
        for (RCCustomFunction& f : c.customFunctions)
            if (f.type == c.mirrorLockType && f.kind == c.mirrorLockKind) {
                f.value = on ? 1 : 0;
                return;
            }
        c.customFunctions.push_back({c.mirrorLockType, c.mirrorLockKind, on ? 1u : 0u});
    });
}

void setBattery(std::uint32_t property15, int device) {
    onCamera(device, [&](CameraProfile& c) { c.battery = property15; });
}

void setCard(bool present, int device) {
    onCamera(device, [&](CameraProfile& c) { c.card = present; });
}

void setShotsLeft(std::uint32_t shots, int device) {
    onCamera(device, [&](CameraProfile& c) { c.shotsLeft = shots; });
}

CameraProfile cameraState(int device) {
    std::lock_guard lock(lib().mu);
    Device* d = lib().deviceAt(device);
    return d ? d->state : CameraProfile{};
}

void fireSettingsChanged(int device) {
    post(device, detail::Job{detail::Job::ReleaseEvent, 0, RC_EVENT_SETTINGS_CHANGED, nullptr},
         true);
}

void fireReleaseEvent(std::uint32_t event, int device) {
    post(device, detail::Job{detail::Job::ReleaseEvent, 0, event, nullptr}, true);
}

void fireDeviceEvent(std::uint32_t code, int device) {
    post(device, detail::Job{detail::Job::DeviceEvent, 0, code, nullptr}, false);
}

void failCall(std::string_view function, RCResult code, int count, int skip) {
    lib().addFault(function, code, count, skip);
}

void clearFaults() {
    lib().clearFaults();
}

int callCount(std::string_view function) {
    return lib().calls(function);
}

void setTimeScale(double scale) {
    std::lock_guard lock(lib().mu);
    lib().timeScale = std::max(0.0, scale);
}

void setSynchronousDelivery(bool on) {
    std::lock_guard lock(lib().mu);
    lib().synchronous = on;
}

bool waitUntilIdle(int timeoutMs) {
    return lib().waitIdle(timeoutMs);
}

int startCount() {
    std::lock_guard lock(lib().mu);
    return lib().started;
}

int openSources() {
    std::lock_guard lock(lib().mu);
    return int(lib().sources.size());
}

bool uiLocked(int device) {
    std::lock_guard lock(lib().mu);
    Device* d = lib().deviceAt(device);
    return d && d->uiLocked;
}

int openEnumerators(std::string_view kind) {
    std::lock_guard lock(lib().mu);
    int n = 0;
    for (const auto& [h, e] : lib().enumerators)
        if (kind.empty() || e.kind == kind) ++n;
    if (kind.empty() || kind == "DeviceProperty")
        for (const auto& [id, s] : lib().sources)
            if (s->propertyWalk) ++n;
    return n;
}

int liveRawObjects() {
    std::lock_guard lock(lib().mu);
    return int(lib().rawObjects.size());
}

int openImages() {
    std::lock_guard lock(lib().mu);
    int n = 0;
    for (const auto& [h, item] : lib().cardItems)
        if (item.open) ++n;
    return n;
}

std::vector<CaptureRecord> captures() {
    std::lock_guard lock(lib().mu);
    return lib().captureLog;
}

}  // namespace zelmora::simrc

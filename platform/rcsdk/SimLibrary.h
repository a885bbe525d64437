#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"
#include "platform/rcsdk/SimCamera.h"
#include "platform/sim/StarField.h"

// The state behind the C functions: one instance per process, every member under
// one mutex. Work that takes time (exposures, rendering, callbacks) runs without it.
namespace zelmora::simrc::detail {

struct Device {
    std::uint32_t id = 0;
    CameraProfile state;  // the profile, with its current settings
    bool uiLocked = false;
    bool captureInFlight = false;
    std::uint32_t nextNumber = 1;
    RCHandle sessionSource = 0;
};

// What one exposure needs, fixed when the shutter opens.
struct CaptureJob {
    std::uint32_t number = 0;
    std::uint32_t kinds = 0;
    std::int64_t delayMs = 0;  // waited before the images are made
    bool fromBody = false;
    CaptureRecord record;
    sim::SkySnapshot sky;
    int sensorWidth = 0;
    int sensorHeight = 0;
    std::uint16_t iso = 0;
    std::uint16_t quality = 0;
    std::uint16_t size = 0;
    bool rawPlusJpeg = false;
    bool settingsChangedAfter = true;
    std::string model;
};

struct Job {
    enum Type { Capture, ReleaseEvent, DeviceEvent } type = ReleaseEvent;
    std::uint64_t generation = 0;  // of the capture session it belongs to
    std::uint32_t code = 0;        // event or device event code
    std::shared_ptr<CaptureJob> capture;
};

struct PendingImage {
    RCImageReadyBlock block{};
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

struct DeviceRegistration {
    RCDeviceEventCallback callback = nullptr;
    void* context = nullptr;
};

struct Source {
    RCHandle id = 0;
    std::uint32_t deviceId = 0;
    RCHandle volume = 0;

    bool session = false;
    bool releaseControl = false;  // the session was entered by RCEnterReleaseControl
    RCReleaseEventCallback callback = nullptr;
    void* context = nullptr;
    std::uint64_t generation = 0;  // changes when a session starts or ends
    std::uint32_t kinds = 0;
    bool propertyWalk = false;
    std::map<RCHandle, DeviceRegistration> registrations;
    std::map<std::pair<std::uint32_t, std::uint32_t>, PendingImage> pending;  // number, kind

    // The source's own thread and its work.
    std::deque<Job> jobs;
    int running = 0;
    bool stopping = false;
    bool detached = false;  // closed from its own thread, which finishes on its own
    std::condition_variable wake;
    std::thread thread;
    // Held while a callback runs; taking it after a state change waits out a
    // callback that started before the change.
    std::mutex delivery;
    std::atomic<std::thread::id> deliveringThread{};
    // Synchronous delivery: the thread running jobs inline; jobs raised meanwhile
    // (from inside a callback, or by another thread) wait in inlineJobs.
    std::thread::id inlineThread{};
    std::deque<Job> inlineJobs;
};

struct Enumerator {
    std::string kind;
    std::vector<std::uint32_t> items;  // codes, device ids, volume handles, packed pairs
    std::vector<RCCustomFunction> functions;
    std::uint32_t valueSize = 2;
    std::size_t next = 0;
};

struct RawObject;

// A folder (file -1) or file on a device's memory card, as handed out by the
// card's enumerations.
struct CardItem {
    std::uint32_t deviceId = 0;
    int folder = 0;
    int file = -1;
    bool open = false;
    bool propertyWalk = false;
};

class SimLibrary {
public:
    static SimLibrary& instance();
    ~SimLibrary();

    std::mutex mu;

    // Configuration and observation (under mu).
    std::map<std::uint32_t, Device> devices;
    std::vector<std::uint32_t> deviceOrder;
    std::uint32_t nextDeviceId = 1;
    int sensorOverrideW = 0, sensorOverrideH = 0;
    double timeScale = 1.0;
    bool synchronous = false;
    int started = 0;
    std::vector<CaptureRecord> captureLog;

    std::map<RCHandle, std::shared_ptr<Source>> sources;
    std::map<RCHandle, Enumerator> enumerators;
    std::map<RCHandle, RCHandle> volumes;  // the memory card slot's volume -> its source
    std::map<RCHandle, std::shared_ptr<RawObject>> rawObjects;
    std::map<RCHandle, CardItem> cardItems;
    std::map<RCHandle, RCHandle> pictures;  // picture -> its card item
    RCHandle newHandle() { return nextHandle_++; }
    // The cameras on the bus from now on (under mu). Records and sources of the
    // old ones no longer reach a camera.
    void replaceDevices(std::vector<CameraProfile> profiles);

    // Enumerators (under mu). Finding one fails for a stale handle or one of another kind.
    RCHandle newEnumerator(std::string kind, std::vector<std::uint32_t> items);
    RCResult findEnumerator(RCHandle h, std::string_view kind, Enumerator*& e);
    RCResult releaseEnumerator(RCHandle h, std::string_view kind);

    // Look-ups (under mu). Null when stale.
    Source* source(RCHandle id);
    std::shared_ptr<Source> sourcePtr(RCHandle id);
    Device* deviceOf(const Source& s);
    Device* deviceAt(int index);
    // Source and its device in one go, with the error to return when either is missing.
    RCResult lookup(RCHandle id, Source*& s, Device*& d);

    // Fault injection and call counting (own lock).
    RCResult enter(const char* function);
    void addFault(std::string_view function, RCResult code, int count, int skip);
    void clearFaults();
    void clearFaultsAndCounts();
    int calls(std::string_view function);

    // Sources.
    std::shared_ptr<Source> openSource(std::uint32_t deviceId);  // under mu
    // Stops the source's thread and waits out its callbacks. Call without mu.
    void closeSource(RCHandle id);
    // Closes every source; with onlyIfFinished, only while no client has the
    // library started (the last RCFinishSDK, unless a new start raced it).
    void closeAll(bool onlyIfFinished);
    // After a state change made under mu: waits until no callback of s that
    // started before the change is still running. Call without mu.
    void quiesce(Source& s);

    // Work for a source's thread (under mu: pass the lock).
    void post(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Source>& s, Job job);
    bool waitIdle(int timeoutMs);

    // A capture from RCCapture or the camera body (under mu).
    // Passes the lock on: in synchronous mode the capture runs before it returns.
    RCResult startCapture(std::unique_lock<std::mutex>& lock, Device& d, Source* session,
                          bool fromBody, std::int64_t exposureMs, bool bulb);
    // The exposure's fixed values, logged as taken (under mu).
    std::shared_ptr<CaptureJob> newCaptureJob(Device& d, std::uint32_t kinds, bool fromBody,
                                              std::int64_t exposureMs, bool bulb);
    // Camera-side change (under mu): event 27 to the session, if any.
    void notifySettingsChanged(std::unique_lock<std::mutex>& lock, Device& d);

    static bool inBulb(const CameraProfile& c);
    static double tvSeconds(std::uint16_t tv);

private:
    SimLibrary();
    void workerLoop(std::shared_ptr<Source> s);
    void runJob(const std::shared_ptr<Source>& s, const Job& job);
    void runCapture(const std::shared_ptr<Source>& s, const Job& job);
    void deliverRelease(Source& s, std::uint64_t generation, std::uint32_t event, const void* data);
    void deliverDevice(Source& s, std::uint32_t code);
    void onShutter(bool open, std::int64_t exposureMs);

    RCHandle nextHandle_ = 0x1000;
    std::condition_variable idle_;
    int lingering_ = 0;  // detached threads still finishing their last job
    int shutterListener_ = 0;

    struct Fault {
        RCResult code = 0;
        int count = 0;
        int skip = 0;
    };
    std::mutex faultMu_;
    std::map<std::string, Fault, std::less<>> faults_;
    std::map<std::string, int, std::less<>> callCounts_;
};

// Entry check of every C function: counts the call and returns an injected fault.
#define SIMRC_ENTER()                                                                          \
    if (RCResult injected_ = ::zelmora::simrc::detail::SimLibrary::instance().enter(__func__)) \
    return injected_

}  // namespace zelmora::simrc::detail

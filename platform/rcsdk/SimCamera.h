#pragma once

// Controls of the simulated remote-capture library, for tests and for the
// simulator's own set-up. The program itself never needs them: with nothing set,
// the library offers one EOS 20D with a memory card, in Manual mode, at real speed.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"

#define SIMRC_API __attribute__((visibility("default")))

namespace zelmora::simrc {

struct QualitySize {
    std::uint16_t quality = 3;
    std::uint16_t size = 0;
    bool operator==(const QualitySize&) const = default;
};

// The memory card's contents: top-level folders and the files in each. Type 2
// is an image file; a RAW file's content is the simulator's RAW frame.
struct CardFile {
    std::string name;
    std::uint32_t type = 2;
    bool raw = false;
};
struct CardFolder {
    std::string name;
    std::vector<CardFile> files;
};

// One camera model: what it reports and what it allows.
struct CameraProfile {
    std::string displayName;  // device list (64 characters at most)
    std::string modelName;    // device property 2 (32 characters at most)
    std::uint32_t capability = RC_CAPABILITY_REMOTE_RELEASE;
    int sensorWidth = 3504;
    int sensorHeight = 2336;

    std::vector<std::uint16_t> tvValues;   // as enumerated
    std::vector<std::uint16_t> avValues;   // with the lens attached
    std::vector<std::uint16_t> isoValues;  // setting RC_SETTING_ISO
    std::vector<QualitySize> formats;
    std::vector<RCCustomFunction> customFunctions;
    // Where the mirror lock lives among the custom functions (type, kind).
    std::uint32_t mirrorLockType = 2;
    std::uint32_t mirrorLockKind = 12;
    // Modes the library may set (a mode dial cannot be turned from the PC).
    std::vector<std::uint16_t> settableModes;
    // Tv 4 (Bulb) may be set in Manual even though the camera does not list it.
    bool bulbByTv = true;
    // Size in bytes of an ISO value as the enumeration reports it (normally 2).
    std::uint32_t isoValueSize = 2;
    // A picture in Raw quality also gives a JPEG (image kind 80).
    bool rawPlusJpeg = false;
    // After each capture the camera reports its settings changed (event 27), as a
    // real camera does when its shot count changes. On by default.
    bool settingsChangedAfterCapture = true;

    // Initial state.
    std::uint16_t mode = RC_MODE_MANUAL;
    std::uint16_t tv = 56;  // 1 second
    std::uint16_t av = RC_AV_NO_LENS;
    std::uint16_t iso = 88;                  // ISO 400
    QualitySize format{3, 0};                // Fine, Large
    bool lens = false;                       // on a telescope: no lens, Av reads 0xFFFF
    std::uint16_t noLensAv = RC_AV_NO_LENS;  // 0 or 0xFFFF
    bool card = true;
    std::vector<CardFolder> cardFolders;  // what the card holds (empty: nothing)
    std::uint64_t cardCapacity = 1'000'000'000;
    std::uint32_t shotsLeft = 250;
    std::uint32_t battery = RC_BATTERY_GOOD;  // device property 15
    std::uint32_t firstImageNumber = 1;
};

// Profiles covering every model branch of the camera control and camera object.
namespace profiles {
SIMRC_API CameraProfile eos20D();          // "EOS 20D"
SIMRC_API CameraProfile eos350D();         // "EOS 350D DIGITAL"
SIMRC_API CameraProfile eos350DRebelXT();  // "EOS 350D DIGITAL REBEL XT": 350D and REBEL XT
SIMRC_API CameraProfile eos300D();         // "EOS 300D DIGITAL"
SIMRC_API CameraProfile digitalRebel();    // "EOS DIGITAL REBEL"
SIMRC_API CameraProfile eos10D();          // "EOS 10D"
SIMRC_API CameraProfile eosD60();          // "EOS D60"
SIMRC_API CameraProfile eos1D();           // "EOS-1D"
SIMRC_API CameraProfile eosD30();          // "EOS D30": an EOS outside every family
SIMRC_API CameraProfile powerShotG2();     // "PowerShot G2": no "EOS" in its name
SIMRC_API std::vector<CameraProfile> all();
}  // namespace profiles

// The test state: no client started, every source closed, one EOS 20D whose
// frames are 320 x 240 (setSensorOverride), time scale 0, asynchronous events,
// no faults, counters cleared. Tests call it first; the program never does.
SIMRC_API void reset();

// Cameras on the bus, in enumeration order (none: an empty list).
SIMRC_API void setDevices(std::vector<CameraProfile> devices);
SIMRC_API std::vector<CameraProfile> devices();

// Every camera's frames at this size (0 x 0: each profile's own sensor).
SIMRC_API void setSensorOverride(int width, int height);

// Changes made on the camera body (device index in setDevices order). Each one
// reports "settings changed" (event 27) to the capture session, if any.
SIMRC_API void setShootingMode(std::uint16_t mode, int device = 0);  // the mode dial
SIMRC_API void setTv(std::uint16_t tv, int device = 0);
SIMRC_API void setAv(std::uint16_t av, int device = 0);
SIMRC_API void setIso(std::uint16_t iso, int device = 0);
SIMRC_API void setImageFormat(QualitySize format, int device = 0);
SIMRC_API void setLens(bool attached, int device = 0);
SIMRC_API void setMirrorLock(bool on, int device = 0);
SIMRC_API void setBattery(std::uint32_t property15, int device = 0);
SIMRC_API void setCard(bool present, int device = 0);
SIMRC_API void setShotsLeft(std::uint32_t shots, int device = 0);
// What the camera holds now, as the library would report it.
SIMRC_API CameraProfile cameraState(int device = 0);

// Events from the camera: "settings changed" to the capture session; any release
// event (10 hardware error, ...) with no data; a device event (severity | id) to
// every registered device callback.
SIMRC_API void fireSettingsChanged(int device = 0);
SIMRC_API void fireReleaseEvent(std::uint32_t event, int device = 0);
SIMRC_API void fireDeviceEvent(std::uint32_t code, int device = 0);

// Fault injection: the named function (e.g. "RCCapture") returns code instead of
// running, after `skip` good calls, `count` times (-1: every time from then on).
SIMRC_API void failCall(std::string_view function, RCResult code, int count = 1, int skip = 0);
SIMRC_API void clearFaults();
// How often a function was called since reset (faulted calls included).
SIMRC_API int callCount(std::string_view function);

// Exposure delays are the shutter time times this factor (0: at once).
SIMRC_API void setTimeScale(double scale);
// Deliver release events on the calling thread, inside the call that caused them,
// instead of on the library's thread (deterministic tests).
SIMRC_API void setSynchronousDelivery(bool on);
// Blocks until no source has work queued or running. False on time-out.
SIMRC_API bool waitUntilIdle(int timeoutMs = 10'000);

// Observations.
SIMRC_API int startCount();  // RCStartSDK calls not yet finished
SIMRC_API int openSources();
SIMRC_API bool uiLocked(int device = 0);
// Enumerators not yet released, by kind: "Device", "Volume", "DeviceProperty",
// "Tv", "Av", "ImageFormat", "RelCamSetting", "RelCamSettingData",
// "CustomFunction", "Item", "ImageItem"; "" for all.
SIMRC_API int openEnumerators(std::string_view kind = {});
SIMRC_API int liveRawObjects();
// Card images opened with RCOpenImage and not yet closed.
SIMRC_API int openImages();

struct CaptureRecord {
    std::uint32_t number = 0;
    std::uint32_t kinds = 0;
    std::int64_t exposureMs = 0;
    bool bulb = false;        // timed by the shutter contact
    bool fromBody = false;    // started on the camera (cable), not by RCCapture
    int focuserPosition = 0;  // of the simulated sky at the exposure
    std::uint16_t quality = 0;
    std::uint16_t size = 0;
};
// Every exposure taken since reset, in order.
SIMRC_API std::vector<CaptureRecord> captures();

}  // namespace zelmora::simrc

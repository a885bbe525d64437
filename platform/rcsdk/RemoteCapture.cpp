// The C functions of the simulated remote-capture library.

#include "platform/rcsdk/RemoteCapture.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/rcsdk/CaptureRender.h"
#include "platform/rcsdk/ImageWriter.h"
#include "platform/rcsdk/RawDevelopment.h"
#include "platform/rcsdk/SimLibrary.h"

using namespace zelmora::simrc;
using namespace zelmora::simrc::detail;

namespace {

SimLibrary& lib() {
    return SimLibrary::instance();
}

constexpr char kDeviceMagic[4] = {'S', 'I', 'M', 'R'};
constexpr std::uint32_t kVersionMajor = 8;

bool contains(const std::vector<std::uint16_t>& list, std::uint16_t v) {
    return std::find(list.begin(), list.end(), v) != list.end();
}

void put16(void* dst, std::uint16_t v) {
    const std::uint8_t b[2] = {std::uint8_t(v & 0xFF), std::uint8_t(v >> 8)};
    std::memcpy(dst, b, 2);
}

// A 16-bit setting value into a buffer of size bytes: zero-extended, except the
// invalid value 0xFFFF, which reads -1 at any size.
void putSetting(void* dst, std::uint32_t size, std::uint16_t v) {
    std::memset(dst, v == 0xFFFF ? 0xFF : 0, size);
    put16(dst, v);
}

std::uint16_t get16(const void* src) {
    std::uint8_t b[2];
    std::memcpy(b, src, 2);
    return std::uint16_t(b[0] | (b[1] << 8));
}

RCResult releaseEnumerator(RCHandle h, std::string_view kind) {
    std::lock_guard lock(lib().mu);
    return lib().releaseEnumerator(h, kind);
}

RCResult nextCode(RCHandle h, std::string_view kind, std::uint16_t* value) {
    if (!value) return RC_COMP_LIBRARY | RC_ERR_INVALID_PARAMETER;
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(h, kind, e)) return r;
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    *value = std::uint16_t(e->items[e->next++]);
    return RC_OK;
}

// Shared shape of the setting enumerations: a source, a list of 16-bit codes.
template <typename ListOf>
RCResult resetCodes(RCHandle source, RCHandle* enumerator, std::string_view kind, ListOf list) {
    if (!enumerator) return RC_COMP_LIBRARY | RC_ERR_INVALID_PARAMETER;
    std::lock_guard lock(lib().mu);
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(source, s, d)) return r;
    const std::vector<std::uint16_t> codes = list(d->state);
    *enumerator = lib().newEnumerator(std::string(kind),
                                      std::vector<std::uint32_t>(codes.begin(), codes.end()));
    return RC_OK;
}

template <typename Fn>
RCResult withCamera(RCHandle source, Fn fn) {
    std::lock_guard lock(lib().mu);
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(source, s, d)) return r;
    return fn(*s, *d, d->state);
}

RCResult invalidValue() {
    return RC_COMP_PARAMETER | RC_ERR_INVALID_VALUE;
}
RCResult badParameter() {
    return RC_COMP_LIBRARY | RC_ERR_INVALID_PARAMETER;
}

}  // namespace

// ---- Library ----

RCResult RCStartSDK(const RCVersionRecord* version, uint32_t) {
    SIMRC_ENTER();
    if (!version) return badParameter();
    if (version->structSize != sizeof(RCVersionRecord) || version->major != kVersionMajor)
        return RC_COMP_LIBRARY | RC_ERR_NOT_SUPPORTED;
    std::lock_guard lock(lib().mu);
    ++lib().started;
    return RC_OK;
}

RCResult RCFinishSDK(void) {
    SIMRC_ENTER();
    {
        std::lock_guard lock(lib().mu);
        // Finishing more often than starting is harmless (shutdown paths do it).
        if (lib().started == 0) return RC_OK;
        if (--lib().started > 0) return RC_OK;
    }
    lib().closeAll(true);
    return RC_OK;
}

// ---- Devices ----

RCResult RCEnumDeviceReset(uint32_t kind, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return badParameter();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    // Kind 1 is the cameras on USB; there is nothing of any other kind.
    std::vector<std::uint32_t> ids;
    if (kind == 1) ids = lib().deviceOrder;
    *enumerator = lib().newEnumerator("Device", std::move(ids));
    return RC_OK;
}

RCResult RCEnumDeviceNext(RCHandle enumerator, RCDeviceRecord* device) {
    SIMRC_ENTER();
    if (!device) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "Device", e)) return r;
    while (e->next < e->items.size()) {
        const std::uint32_t id = e->items[e->next++];
        auto it = lib().devices.find(id);
        if (it == lib().devices.end()) continue;  // unplugged since the reset
        std::memset(device, 0, sizeof(*device));
        device->type = 2;
        device->port = 1;
        std::strncpy(device->name, it->second.state.displayName.c_str(), sizeof(device->name) - 1);
        std::memcpy(device->library, kDeviceMagic, 4);
        std::memcpy(device->library + 4, &id, 4);
        return RC_OK;
    }
    return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
}

RCResult RCGetDeviceCount(RCHandle enumerator, uint32_t* count) {
    SIMRC_ENTER();
    if (!count) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "Device", e)) return r;
    *count = std::uint32_t(e->items.size());
    return RC_OK;
}

RCResult RCEnumDeviceRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "Device");
}

// ---- Sources ----

RCResult RCOpenSource(const RCDeviceRecord* device, RCHandle* source) {
    SIMRC_ENTER();
    if (!device || !source) return badParameter();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    std::uint32_t id = 0;
    if (device->type != 2 || std::memcmp(device->library, kDeviceMagic, 4) != 0)
        return badParameter();
    std::memcpy(&id, device->library + 4, 4);
    if (!lib().devices.count(id)) return RC_COMP_CAMERA | RC_ERR_COMMUNICATION;
    *source = lib().openSource(id)->id;
    return RC_OK;
}

RCResult RCCloseSource(RCHandle source) {
    SIMRC_ENTER();
    {
        std::lock_guard lock(lib().mu);
        if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
        if (!lib().source(source)) return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    }
    lib().closeSource(source);
    return RC_OK;
}

RCResult RCLockUI(RCHandle source) {
    SIMRC_ENTER();
    return withCamera(source, [](Source&, Device& d, CameraProfile&) {
        d.uiLocked = true;
        return RC_OK;
    });
}

RCResult RCUnlockUI(RCHandle source) {
    SIMRC_ENTER();
    return withCamera(source, [](Source&, Device& d, CameraProfile&) {
        d.uiLocked = false;
        return RC_OK;
    });
}

RCResult RCRegisterEventCallbackFunction(RCHandle source, RCDeviceEventCallback callback,
                                         void* context, RCHandle* registration) {
    SIMRC_ENTER();
    if (!callback || !registration) return badParameter();
    return withCamera(source, [&](Source& s, Device&, CameraProfile&) {
        const RCHandle h = lib().newHandle();
        s.registrations[h] = DeviceRegistration{callback, context};
        *registration = h;
        return RC_OK;
    });
}

RCResult RCUnregisterEventCallbackFunction(RCHandle source, RCHandle registration) {
    SIMRC_ENTER();
    std::shared_ptr<Source> s;
    {
        std::lock_guard lock(lib().mu);
        if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
        s = lib().sourcePtr(source);
        if (!s || !s->registrations.erase(registration))
            return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    }
    lib().quiesce(*s);
    return RC_OK;
}

// ---- Camera information ----

RCResult RCEnumVolumeReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return badParameter();
    return withCamera(source, [&](Source& s, Device&, CameraProfile&) {
        *enumerator = lib().newEnumerator("Volume", {s.volume});
        return RC_OK;
    });
}

RCResult RCEnumVolumeNext(RCHandle enumerator, RCHandle* volume) {
    SIMRC_ENTER();
    if (!volume) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "Volume", e)) return r;
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    *volume = e->items[e->next++];
    return RC_OK;
}

RCResult RCEnumVolumeRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "Volume");
}

RCResult RCGetVolumeInfo(RCHandle volume, RCVolumeInfo* info) {
    SIMRC_ENTER();
    if (!info) return badParameter();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    auto it = lib().volumes.find(volume);
    if (it == lib().volumes.end()) return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(it->second, s, d)) return r;
    // The slot is always there; an empty slot has no capacity.
    std::memset(info, 0, sizeof(*info));
    const CameraProfile& c = d->state;
    if (c.card) {
        info->capacity = c.cardCapacity;
        info->freeBytes =
            std::min<std::uint64_t>(c.cardCapacity, std::uint64_t(c.shotsLeft) * 8'000'000);
        std::strncpy(info->name, "CF", sizeof(info->name) - 1);
    }
    return RC_OK;
}

RCResult RCEnumDevicePropertyReset(RCHandle source, uint32_t) {
    SIMRC_ENTER();
    return withCamera(source, [](Source& s, Device&, CameraProfile&) {
        s.propertyWalk = true;
        return RC_OK;
    });
}

RCResult RCGetDevicePropertyData(RCHandle source, uint32_t id, uint32_t* size, void* data,
                                 uint32_t) {
    SIMRC_ENTER();
    if (!size || !data) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        std::uint32_t need = 0;
        switch (id) {
            case RC_PROP_MODEL_NAME:
                need = 32;
                break;
            case RC_PROP_CAPABILITY:
            case RC_PROP_BATTERY:
                need = 4;
                break;
            default:
                return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        }
        if (*size < need) {
            *size = need;
            return badParameter();
        }
        std::memset(data, 0, need);
        if (id == RC_PROP_MODEL_NAME)
            std::memcpy(data, c.modelName.data(), std::min<std::size_t>(31, c.modelName.size()));
        else
            std::memcpy(data, id == RC_PROP_CAPABILITY ? &c.capability : &c.battery, 4);
        *size = need;
        return RC_OK;
    });
}

RCResult RCEnumDevicePropertyRelease(RCHandle source) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    Source* s = lib().source(source);
    if (!s) return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
    s->propertyWalk = false;
    return RC_OK;
}

RCResult RCGetNumAvailableShot(RCHandle source, uint32_t* shots) {
    SIMRC_ENTER();
    if (!shots) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *shots = c.card ? c.shotsLeft : 0;
        return RC_OK;
    });
}

// ---- Release ----

namespace {

// A capture session, or release control (the same session, whose images are
// fetched with RCGetReleasedData instead of RCTakeCapturedImage).
RCResult startSession(RCHandle source, RCReleaseEventCallback callback, void* context,
                      bool releaseControl) {
    if (!callback) return badParameter();
    return withCamera(source, [&](Source& s, Device& d, CameraProfile&) -> RCResult {
        if (s.session) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
        if (d.sessionSource && d.sessionSource != s.id) return RC_COMP_CAMERA | RC_ERR_BUSY;
        s.session = true;
        s.releaseControl = releaseControl;
        s.callback = callback;
        s.context = context;
        ++s.generation;
        d.sessionSource = s.id;
        return RC_OK;
    });
}

RCResult endSession(RCHandle source) {
    std::shared_ptr<Source> s;
    {
        std::lock_guard lock(lib().mu);
        if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
        s = lib().sourcePtr(source);
        if (!s) return RC_COMP_LIBRARY | RC_ERR_INVALID_HANDLE;
        if (!s->session) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
        s->session = false;
        s->releaseControl = false;
        s->callback = nullptr;
        ++s->generation;
        // Images not yet taken are gone with the session.
        s->pending.clear();
        if (Device* d = lib().deviceOf(*s); d && d->sessionSource == source) {
            d->sessionSource = 0;
            d->captureInFlight = false;
        }
        s->wake.notify_all();  // ends an exposure in progress
    }
    lib().quiesce(*s);
    return RC_OK;
}

}  // namespace

RCResult RCStartCaptureSession(RCHandle source, RCReleaseEventCallback callback, void* context) {
    SIMRC_ENTER();
    return startSession(source, callback, context, false);
}

RCResult RCEndCaptureSession(RCHandle source) {
    SIMRC_ENTER();
    return endSession(source);
}

RCResult RCEnterReleaseControl(RCHandle source, RCReleaseEventCallback callback, void* context) {
    SIMRC_ENTER();
    return startSession(source, callback, context, true);
}

RCResult RCExitReleaseControl(RCHandle source) {
    SIMRC_ENTER();
    return endSession(source);
}

RCResult RCRelease(RCHandle source, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t* count) {
    SIMRC_ENTER();
    if (!count) return badParameter();
    *count = 0;
    std::shared_ptr<CaptureJob> job;
    {
        std::lock_guard lock(lib().mu);
        Source* s;
        Device* d;
        if (RCResult r = lib().lookup(source, s, d)) return r;
        if (!s->session || !s->releaseControl || s->kinds == 0)
            return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
        if (SimLibrary::inBulb(d->state)) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        if (d->captureInFlight) return RC_COMP_CAMERA | RC_ERR_BUSY;
        const bool toCard = s->kinds & (RC_KIND_THUMB_TO_CARD | RC_KIND_PICTURE_TO_CARD);
        if (toCard && !d->state.card) return RC_COMP_CAMERA | RC_ERR_NO_CARD;
        if (toCard && d->state.shotsLeft == 0) return RC_COMP_CAMERA | RC_ERR_CARD_FULL;
        if (toCard) --d->state.shotsLeft;
        const std::int64_t ms = std::llround(SimLibrary::tvSeconds(d->state.tv) * 1000);
        job = lib().newCaptureJob(*d, s->kinds, false, ms, false);
        d->captureInFlight = true;
    }
    // The release returns when the camera has made its images: no events, the
    // caller fetches them with RCGetReleasedData.
    std::vector<RenderedImage> images;
    RCResult result = RC_OK;
    try {
        images = renderCapture(*job, job->kinds & RC_KIND_THUMB_TO_PC,
                               job->kinds & RC_KIND_PICTURE_TO_PC);
    } catch (...) {
        result = RC_COMP_CAMERA | RC_ERR_INTERNAL;
    }
    std::lock_guard lock(lib().mu);
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(source, s, d)) return r;
    d->captureInFlight = false;
    if (result) return result;
    for (const RenderedImage& img : images) {
        PendingImage p;
        p.block.number = job->number;
        p.block.kind = img.kind;
        p.block.format = img.format;
        p.block.size = std::uint32_t(img.bytes->size());
        p.bytes = img.bytes;
        s->pending[{job->number, img.kind}] = p;
    }
    *count = std::uint32_t(images.size());
    return RC_OK;
}

RCResult RCGetReleasedData(RCHandle source, uint32_t, uint32_t, uint32_t, RCImageReadyBlock* info,
                           const RCMedium* medium) {
    SIMRC_ENTER();
    if (!info) return RC_COMP_TRANSFER | RC_ERR_INVALID_PARAMETER;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    std::pair<std::uint32_t, std::uint32_t> key;
    {
        std::lock_guard lock(lib().mu);
        Source* s;
        Device* d;
        if (RCResult r = lib().lookup(source, s, d)) return r;
        if (s->pending.empty()) return RC_COMP_TRANSFER | RC_ERR_NOT_FOUND;
        key = s->pending.begin()->first;
        *info = s->pending.begin()->second.block;
        bytes = s->pending.begin()->second.bytes;
    }
    if (!medium) return RC_OK;
    const RCResult r = writeImage(*bytes, medium, nullptr, nullptr, 0, RC_COMP_TRANSFER);
    if (r == RC_OK) {
        std::lock_guard lock(lib().mu);
        if (Source* s = lib().source(source)) s->pending.erase(key);
    }
    return r;
}

RCResult RCSelectReleaseDataKind(RCHandle source, uint32_t kinds) {
    SIMRC_ENTER();
    if (kinds & ~0xFu) return badParameter();
    return withCamera(source, [&](Source& s, Device&, CameraProfile&) {
        s.kinds = kinds;
        return RC_OK;
    });
}

RCResult RCCapture(RCHandle source) {
    SIMRC_ENTER();
    std::unique_lock lock(lib().mu);
    Source* s;
    Device* d;
    if (RCResult r = lib().lookup(source, s, d)) return r;
    if (!s->session || s->kinds == 0) return RC_COMP_LIBRARY | RC_ERR_SEQUENCE;
    // A bulb exposure is timed by the cable, not by the PC.
    if (SimLibrary::inBulb(d->state)) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
    if (d->captureInFlight) return RC_COMP_CAMERA | RC_ERR_BUSY;
    const std::int64_t ms = std::llround(SimLibrary::tvSeconds(d->state.tv) * 1000);
    return lib().startCapture(lock, *d, s, false, ms, false);
}

RCResult RCTakeCapturedImage(RCHandle source, RCProgressCallback progress, void* context, uint32_t,
                             const RCImageReadyBlock* block, const RCMedium* medium) {
    SIMRC_ENTER();
    if (!block || !medium) return RC_COMP_TRANSFER | RC_ERR_INVALID_PARAMETER;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    // The block is packed: copy its fields before use.
    const std::uint32_t number = block->number, kind = block->kind;
    const std::pair<std::uint32_t, std::uint32_t> key{number, kind};
    {
        std::lock_guard lock(lib().mu);
        Source* s;
        Device* d;
        if (RCResult r = lib().lookup(source, s, d)) return r;
        auto it = s->pending.find(key);
        if (it == s->pending.end()) return RC_COMP_TRANSFER | RC_ERR_NOT_FOUND;
        bytes = it->second.bytes;
    }
    const RCResult r = writeImage(*bytes, medium, progress, context, 0, RC_COMP_TRANSFER);
    if (r == RC_OK) {
        std::lock_guard lock(lib().mu);
        if (Source* s = lib().source(source)) s->pending.erase(key);
    }
    return r;
}

// ---- Settings ----

RCResult RCGetShootingMode(RCHandle source, uint16_t* mode) {
    SIMRC_ENTER();
    if (!mode) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *mode = c.mode;
        return RC_OK;
    });
}

RCResult RCSetShootingMode(RCHandle source, uint16_t mode) {
    SIMRC_ENTER();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        if (!contains(c.settableModes, mode)) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        c.mode = mode;
        return RC_OK;
    });
}

RCResult RCGetTvValue(RCHandle source, uint16_t* tv) {
    SIMRC_ENTER();
    if (!tv) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *tv = c.tv;
        return RC_OK;
    });
}

RCResult RCSetTvValue(RCHandle source, uint16_t tv) {
    SIMRC_ENTER();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        const bool manual = c.mode == RC_MODE_MANUAL || c.mode == RC_MODE_MANUAL2;
        const bool bulb = tv == RC_TV_BULB && c.bulbByTv && manual;
        if (!contains(c.tvValues, tv) && !bulb) return invalidValue();
        c.tv = tv;
        return RC_OK;
    });
}

RCResult RCEnumTvValueReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    return resetCodes(source, enumerator, "Tv", [](const CameraProfile& c) { return c.tvValues; });
}

RCResult RCEnumTvValueNext(RCHandle enumerator, uint16_t* tv) {
    SIMRC_ENTER();
    return nextCode(enumerator, "Tv", tv);
}

RCResult RCEnumTvValueRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "Tv");
}

RCResult RCGetAvValue(RCHandle source, uint16_t* av) {
    SIMRC_ENTER();
    if (!av) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *av = c.lens ? c.av : c.noLensAv;
        return RC_OK;
    });
}

RCResult RCSetAvValue(RCHandle source, uint16_t av) {
    SIMRC_ENTER();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        if (!c.lens || !contains(c.avValues, av)) return invalidValue();
        c.av = av;
        return RC_OK;
    });
}

RCResult RCEnumAvValueReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    return resetCodes(source, enumerator, "Av", [](const CameraProfile& c) {
        return c.lens ? c.avValues : std::vector<std::uint16_t>{};
    });
}

RCResult RCEnumAvValueNext(RCHandle enumerator, uint16_t* av) {
    SIMRC_ENTER();
    return nextCode(enumerator, "Av", av);
}

RCResult RCEnumAvValueRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "Av");
}

RCResult RCGetImageFormatAttribute(RCHandle source, uint16_t* quality, uint16_t* size) {
    SIMRC_ENTER();
    if (!quality || !size) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *quality = c.format.quality;
        *size = c.format.size;
        return RC_OK;
    });
}

RCResult RCSetImageFormatAttribute(RCHandle source, uint16_t quality, uint16_t size) {
    SIMRC_ENTER();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        const QualitySize f{quality, size};
        if (std::find(c.formats.begin(), c.formats.end(), f) == c.formats.end())
            return invalidValue();
        c.format = f;
        return RC_OK;
    });
}

RCResult RCEnumImageFormatAttributeReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        std::vector<std::uint32_t> packed;
        for (const QualitySize& f : c.formats)
            packed.push_back((std::uint32_t(f.quality) << 16) | f.size);
        *enumerator = lib().newEnumerator("ImageFormat", std::move(packed));
        return RC_OK;
    });
}

RCResult RCEnumImageFormatAttributeNext(RCHandle enumerator, uint16_t* quality, uint16_t* size) {
    SIMRC_ENTER();
    if (!quality || !size) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "ImageFormat", e)) return r;
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    const std::uint32_t v = e->items[e->next++];
    *quality = std::uint16_t(v >> 16);
    *size = std::uint16_t(v & 0xFFFF);
    return RC_OK;
}

RCResult RCEnumImageFormatAttributeRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "ImageFormat");
}

RCResult RCGetRelCamSettingData(RCHandle source, uint32_t id, uint32_t* size, void* data) {
    SIMRC_ENTER();
    if (!size || !data) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        if (id != RC_SETTING_ISO) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        if (*size < 2) {
            *size = 2;
            return badParameter();
        }
        putSetting(data, *size, c.iso);
        *size = 2;
        return RC_OK;
    });
}

RCResult RCSetRelCamSettingData(RCHandle source, uint32_t id, uint32_t size, const void* data) {
    SIMRC_ENTER();
    if (!data || size < 2) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        if (id != RC_SETTING_ISO) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        const std::uint16_t v = get16(data);
        if (!contains(c.isoValues, v)) return invalidValue();
        c.iso = v;
        return RC_OK;
    });
}

RCResult RCEnumRelCamSettingReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        std::vector<std::uint32_t> ids;
        if (!c.isoValues.empty()) ids.push_back(RC_SETTING_ISO);
        *enumerator = lib().newEnumerator("RelCamSetting", std::move(ids));
        return RC_OK;
    });
}

RCResult RCEnumRelCamSettingNext(RCHandle enumerator, uint32_t* id) {
    SIMRC_ENTER();
    if (!id) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "RelCamSetting", e)) return r;
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    *id = e->items[e->next++];
    return RC_OK;
}

RCResult RCEnumRelCamSettingRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "RelCamSetting");
}

RCResult RCEnumRelCamSettingDataReset(RCHandle source, uint32_t id, RCHandle* enumerator,
                                      uint32_t* valueSize) {
    SIMRC_ENTER();
    if (!enumerator || !valueSize) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) -> RCResult {
        if (id != RC_SETTING_ISO) return RC_COMP_CAMERA | RC_ERR_NOT_SUPPORTED;
        *enumerator =
            lib().newEnumerator("RelCamSettingData",
                                std::vector<std::uint32_t>(c.isoValues.begin(), c.isoValues.end()));
        lib().enumerators[*enumerator].valueSize = std::max<std::uint32_t>(2, c.isoValueSize);
        *valueSize = lib().enumerators[*enumerator].valueSize;
        return RC_OK;
    });
}

RCResult RCEnumRelCamSettingDataNext(RCHandle enumerator, uint32_t size, void* value) {
    SIMRC_ENTER();
    if (!value) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "RelCamSettingData", e)) return r;
    if (size < e->valueSize) return badParameter();
    if (e->next >= e->items.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    putSetting(value, size, std::uint16_t(e->items[e->next++]));
    return RC_OK;
}

RCResult RCEnumRelCamSettingDataRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "RelCamSettingData");
}

RCResult RCEnumCustomFunctionSettingReset(RCHandle source, RCHandle* enumerator) {
    SIMRC_ENTER();
    if (!enumerator) return badParameter();
    return withCamera(source, [&](Source&, Device&, CameraProfile& c) {
        *enumerator = lib().newEnumerator("CustomFunction", {});
        lib().enumerators[*enumerator].functions = c.customFunctions;
        return RC_OK;
    });
}

RCResult RCEnumCustomFunctionSettingNext(RCHandle enumerator, RCCustomFunction* setting) {
    SIMRC_ENTER();
    if (!setting) return badParameter();
    std::lock_guard lock(lib().mu);
    Enumerator* e = nullptr;
    if (RCResult r = lib().findEnumerator(enumerator, "CustomFunction", e)) return r;
    if (e->next >= e->functions.size()) return RC_COMP_LIBRARY | RC_ERR_ENUM_END;
    *setting = e->functions[e->next++];
    return RC_OK;
}

RCResult RCEnumCustomFunctionSettingRelease(RCHandle enumerator) {
    SIMRC_ENTER();
    return releaseEnumerator(enumerator, "CustomFunction");
}

// ---- RAW development ----

namespace {
RCResult findRaw(RCHandle object, std::shared_ptr<RawObject>& out) {
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    auto it = lib().rawObjects.find(object);
    if (it == lib().rawObjects.end()) return RC_COMP_RAW | RC_ERR_INVALID_HANDLE;
    out = it->second;
    return RC_OK;
}

bool sameFile(const std::string& a, const char* b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
}  // namespace

RCResult RCCreateRAWObject(const RCMedium* raw, RCHandle* object) {
    SIMRC_ENTER();
    if (!raw || !object || raw->kind != RC_MEDIUM_PATH || !raw->path || !*raw->path)
        return RC_COMP_RAW | RC_ERR_INVALID_PARAMETER;
    {
        std::lock_guard lock(lib().mu);
        if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    }
    std::shared_ptr<RawObject> o;
    if (RCResult r = openRaw(raw->path, o)) return r;
    std::lock_guard lock(lib().mu);
    const RCHandle h = lib().newHandle();
    lib().rawObjects[h] = std::move(o);
    *object = h;
    return RC_OK;
}

RCResult RCSetAllParamValueToAtCapture(RCHandle object) {
    SIMRC_ENTER();
    std::shared_ptr<RawObject> o;
    if (RCResult r = findRaw(object, o)) return r;
    std::lock_guard lock(o->mu);
    o->atCapture = true;
    return RC_OK;
}

RCResult RCDevelop(RCHandle object, uint32_t format, uint32_t, const RCDevelopParams* params,
                   const RCMedium* output, RCProgressCallback progress, void* context, uint32_t) {
    SIMRC_ENTER();
    std::shared_ptr<RawObject> o;
    if (RCResult r = findRaw(object, o)) return r;
    if (format != RC_DEVELOP_JPEG) return RC_COMP_RAW | RC_ERR_NOT_SUPPORTED;
    if (!output) return RC_COMP_RAW | RC_ERR_INVALID_PARAMETER;
    std::lock_guard lock(o->mu);
    // Developing onto the RAW file itself would destroy it.
    if (output->kind == RC_MEDIUM_PATH && output->path && sameFile(o->path, output->path))
        return RC_COMP_RAW | RC_ERR_INVALID_PARAMETER;
    const int quality = params && params->jpegQuality
                            ? int(std::clamp<std::uint32_t>(params->jpegQuality, 1, 100))
                            : 90;
    std::vector<std::uint8_t> jpeg;
    if (RCResult r = developToJpeg(*o, quality, jpeg)) return r;
    return writeImage(jpeg, output, progress, context, params ? params->bufferSize : 0,
                      RC_COMP_RAW);
}

RCResult RCUnFocusRAWObject(RCHandle object) {
    SIMRC_ENTER();
    std::shared_ptr<RawObject> o;
    if (RCResult r = findRaw(object, o)) return r;
    std::lock_guard lock(o->mu);
    unfocus(*o);
    return RC_OK;
}

RCResult RCDisposeRAWObject(RCHandle object) {
    SIMRC_ENTER();
    std::lock_guard lock(lib().mu);
    if (lib().started == 0) return RC_COMP_LIBRARY | RC_ERR_NOT_STARTED;
    if (!lib().rawObjects.erase(object)) return RC_COMP_RAW | RC_ERR_INVALID_HANDLE;
    return RC_OK;
}

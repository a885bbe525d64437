#pragma once

// The remote-capture library as the camera control and the camera object call it:
// a C interface over a camera on USB. This build is the simulator (libsimrc.so):
// its cameras take pictures of the simulated sky (platform/sim).
//
// Conventions
//  - Every function returns a 32-bit result: 0 is success; the low 16 bits are
//    the error id (RC_ERR_...), bits 20-26 name the component that failed
//    (RC_COMP_...). RC_ERR_ENUM_END (240) ends an enumeration; RC_ERR_NOT_SUPPORTED
//    (7) means the camera cannot do it.
//  - Handles are 32-bit numbers, never pointers; 0 is no handle. A stale handle
//    gives RC_ERR_INVALID_HANDLE, never a crash.
//  - Texts are UTF-8 and zero-terminated.
//  - One library instance per process; RCStartSDK/RCFinishSDK are counted, so
//    several clients may start it. The last RCFinishSDK closes everything.
//  - Release events run on a thread of the library's own, one per open source,
//    never two at once for one source. After RCEndCaptureSession,
//    RCUnregisterEventCallbackFunction, RCCloseSource or the last RCFinishSDK has
//    returned, the callbacks it covered are never called again.
//  - RCTakeCapturedImage and RCDevelop call their progress and stream functions on
//    the calling thread.

#include <stdint.h>

#ifdef __cplusplus
#define RC_EXTERN extern "C"
#else
#define RC_EXTERN
#endif
#define RC_API RC_EXTERN __attribute__((visibility("default")))

typedef uint32_t RCResult;
typedef uint32_t RCHandle;

/* Error ids (low 16 bits). */
enum {
    RC_OK = 0,
    RC_ERR_INTERNAL = 1,
    RC_ERR_INVALID_PARAMETER = 2, /* a null pointer, a buffer too small, a bad option */
    RC_ERR_INVALID_HANDLE = 3,
    RC_ERR_MEMORY = 4,
    RC_ERR_CANCELLED = 5, /* the caller's progress function asked to stop */
    RC_ERR_NOT_SUPPORTED = 7,
    RC_ERR_NOT_STARTED = 8, /* RCStartSDK has not been called */
    RC_ERR_SEQUENCE = 9,    /* out of order: no capture session, no release kind */
    RC_ERR_BUSY = 10,       /* a capture is already running */
    RC_ERR_NOT_FOUND = 11,  /* no such image (stale or already taken) */
    RC_ERR_FILE_IO = 12,    /* a file or stream operation failed */
    RC_ERR_BAD_FORMAT = 13, /* not a RAW file this library can develop */
    RC_ERR_NO_CARD = 14,
    RC_ERR_CARD_FULL = 15,
    RC_ERR_INVALID_VALUE = 16,  /* the camera does not allow this setting value */
    RC_ERR_COMMUNICATION = 128, /* the camera does not answer (unplugged, off) */
    RC_ERR_ENUM_END = 240
};

/* Components (bits 20-26). */
#define RC_COMP_LIBRARY 0x00100000u
#define RC_COMP_CAMERA 0x00200000u
#define RC_COMP_TRANSFER 0x00300000u
#define RC_COMP_RAW 0x00400000u
#define RC_COMP_PARAMETER 0x04000000u /* a value the camera could not take */
#define RC_ERROR_ID(code) ((code)&0xFFFFu)
#define RC_COMPONENT(code) ((code)&0x07F00000u)

/* Event severities of the device event callback (bits 16-19 of its code). */
#define RC_SEVERITY_WARNING 0x00020000u
#define RC_SEVERITY_SHUTDOWN 0x00040000u

/* Release events. */
enum {
    RC_EVENT_HARDWARE_ERROR = 10,
    RC_EVENT_SETTINGS_CHANGED = 27,
    RC_EVENT_RELEASE_START = 28,
    RC_EVENT_RELEASE_COMPLETE = 29, /* data: uint32_t, the number of images of the release */
    RC_EVENT_CAMERA_BUTTON = 30,    /* the release was started on the camera body */
    RC_EVENT_IMAGE_READY = 34       /* data: RCImageReadyBlock */
};

/* Release kinds (RCSelectReleaseDataKind). */
enum {
    RC_KIND_THUMB_TO_PC = 1,
    RC_KIND_PICTURE_TO_PC = 2,
    RC_KIND_THUMB_TO_CARD = 4,
    RC_KIND_PICTURE_TO_CARD = 8
};

/* Image kinds in RCImageReadyBlock.kind. */
enum { RC_IMAGE_THUMBNAIL = 16, RC_IMAGE_PICTURE = 32, RC_IMAGE_SECOND_PICTURE = 80 };
/* Image formats in RCImageReadyBlock.format. */
enum { RC_FORMAT_JPEG = 1, RC_FORMAT_RAW = 2 };

/* Device properties. */
enum { RC_PROP_MODEL_NAME = 2, RC_PROP_CAPABILITY = 8, RC_PROP_BATTERY = 15 };
#define RC_CAPABILITY_REMOTE_RELEASE 0x40000000u
/* Battery levels (low 4 bits of RC_PROP_BATTERY). */
enum { RC_BATTERY_EMPTY = 2, RC_BATTERY_LOW = 3, RC_BATTERY_WEAK = 4, RC_BATTERY_GOOD = 6 };

/* Camera setting ids (RCGet/SetRelCamSettingData). */
#define RC_SETTING_ISO 0x0800000Cu

/* Shooting modes (16-bit codes). */
enum {
    RC_MODE_TV = 2,
    RC_MODE_AV = 3,
    RC_MODE_MANUAL = 4,
    RC_MODE_BULB = 7,
    RC_MODE_MANUAL2 = 101
};
/* Tv 4 is Bulb; Av 0 or 0xFFFF means no lens. */
#define RC_TV_BULB 4
#define RC_AV_NO_LENS 0xFFFF

#pragma pack(push, 1)

/* RCStartSDK: structSize 40, major 8, minor as the client was built; rest zero. */
typedef struct RCVersionRecord {
    uint16_t structSize;
    uint16_t major;
    uint16_t minor;
    uint8_t reserved[34];
} RCVersionRecord;

/* A device as enumerated; hand it back unchanged to RCOpenSource. */
typedef struct RCDeviceRecord {
    uint32_t type; /* 2 = camera; 0 = none */
    uint32_t port;
    char name[64]; /* display name */
    uint8_t library[328];
} RCDeviceRecord;

typedef struct RCVolumeInfo {
    uint32_t attributes;
    uint64_t capacity; /* bytes; 0 = no memory card in this slot */
    uint64_t freeBytes;
    char name[32];
} RCVolumeInfo;

/* Data of RC_EVENT_IMAGE_READY: hand it back unchanged to RCTakeCapturedImage.
   Packed: copy a field into a variable before taking its address or a reference. */
typedef struct RCImageReadyBlock {
    uint32_t number; /* file number, the same for every image of one release */
    uint32_t kind;   /* RC_IMAGE_... */
    uint8_t format;  /* RC_FORMAT_... */
    uint32_t size;   /* bytes */
    uint8_t reserved[2];
} RCImageReadyBlock;

#pragma pack(pop)

typedef struct RCCustomFunction {
    uint32_t type;
    uint32_t kind;
    uint32_t value;
} RCCustomFunction;

/* A caller's file: each operation returns 0 or a status of the caller's own; a
   non-zero status aborts the transfer. Positions are bytes from the start. */
typedef struct RCStream {
    void* context;
    uint32_t (*open)(void* context,
                     uint32_t mode); /* 1 read, 2 write, 3 read/write new, 4 read/write */
    uint32_t (*close)(void* context);
    uint32_t (*read)(void* context, void* buffer, uint32_t* count);
    uint32_t (*write)(void* context, const void* buffer, uint32_t* count);
    uint32_t (*seek)(void* context, uint32_t origin, int64_t distance,
                     int64_t* position); /* origin 1 start, 2 current, 3 end */
    uint32_t (*tell)(void* context, int64_t* position);
} RCStream;

/* Where an image goes (or a RAW file comes from). */
enum { RC_MEDIUM_PATH = 0, RC_MEDIUM_STREAM = 1 };
typedef struct RCMedium {
    uint32_t kind;
    const char* path;       /* RC_MEDIUM_PATH */
    const RCStream* stream; /* RC_MEDIUM_STREAM */
} RCMedium;

/* Release events: event, its data (valid during the call only), unused, context. */
typedef uint32_t (*RCReleaseEventCallback)(uint32_t event, const void* data, uint32_t unused,
                                           void* context);
/* Device events: code (severity | id), two values, context. */
typedef uint32_t (*RCDeviceEventCallback)(uint32_t code, uint32_t value1, uint32_t value2,
                                          void* context);
/* Progress in percent (the last call is 100); a non-zero return cancels. */
typedef uint32_t (*RCProgressCallback)(uint32_t percent, uint32_t unused, void* context);

/* RCDevelop output formats. */
enum { RC_DEVELOP_JPEG = 4 };
/* RCDevelop parameters; may be null. jpegQuality 0 means 90. */
typedef struct RCDevelopParams {
    uint32_t reserved[4];
    uint32_t bufferSize; /* write chunk in bytes; 0 means 64 KiB */
    uint32_t jpegQuality;
    uint32_t reserved2;
} RCDevelopParams;

/* Library */
RC_API RCResult RCStartSDK(const RCVersionRecord* version, uint32_t reserved);
RC_API RCResult RCFinishSDK(void);

/* Devices (kind 1: cameras on USB) */
RC_API RCResult RCEnumDeviceReset(uint32_t kind, RCHandle* enumerator);
RC_API RCResult RCEnumDeviceNext(RCHandle enumerator, RCDeviceRecord* device);
RC_API RCResult RCGetDeviceCount(RCHandle enumerator, uint32_t* count);
RC_API RCResult RCEnumDeviceRelease(RCHandle enumerator);

/* Sources */
RC_API RCResult RCOpenSource(const RCDeviceRecord* device, RCHandle* source);
RC_API RCResult RCCloseSource(RCHandle source);
/* Locking the camera's own controls; unbalanced calls are harmless. */
RC_API RCResult RCLockUI(RCHandle source);
RC_API RCResult RCUnlockUI(RCHandle source);
RC_API RCResult RCRegisterEventCallbackFunction(RCHandle source, RCDeviceEventCallback callback,
                                                void* context, RCHandle* registration);
RC_API RCResult RCUnregisterEventCallbackFunction(RCHandle source, RCHandle registration);

/* Camera information */
RC_API RCResult RCEnumVolumeReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumVolumeNext(RCHandle enumerator, RCHandle* volume);
RC_API RCResult RCEnumVolumeRelease(RCHandle enumerator);
RC_API RCResult RCGetVolumeInfo(RCHandle volume, RCVolumeInfo* info);
RC_API RCResult RCEnumDevicePropertyReset(RCHandle source, uint32_t option);
/* size: in, the buffer's size; out, the property's size. */
RC_API RCResult RCGetDevicePropertyData(RCHandle source, uint32_t id, uint32_t* size, void* data,
                                        uint32_t option);
RC_API RCResult RCEnumDevicePropertyRelease(RCHandle source);
RC_API RCResult RCGetNumAvailableShot(RCHandle source, uint32_t* shots);

/* Release (capture-session road) */
RC_API RCResult RCStartCaptureSession(RCHandle source, RCReleaseEventCallback callback,
                                      void* context);
RC_API RCResult RCEndCaptureSession(RCHandle source);
RC_API RCResult RCSelectReleaseDataKind(RCHandle source, uint32_t kinds);
RC_API RCResult RCCapture(RCHandle source);
/* Writes the image of block to medium. progressOptions is accepted and ignored. */
RC_API RCResult RCTakeCapturedImage(RCHandle source, RCProgressCallback progress, void* context,
                                    uint32_t progressOptions, const RCImageReadyBlock* block,
                                    const RCMedium* medium);

/* Release (release-control road): the same session, but RCRelease takes the
   picture and returns how many images it made, without release events; they are
   then fetched, oldest first, with RCGetReleasedData (no medium: only the oldest
   image's block, nothing taken). A release on the camera body under release
   control reports event 29 with the count and no image-ready events. */
RC_API RCResult RCEnterReleaseControl(RCHandle source, RCReleaseEventCallback callback,
                                      void* context);
RC_API RCResult RCExitReleaseControl(RCHandle source);
RC_API RCResult RCRelease(RCHandle source, uint32_t reserved1, uint32_t reserved2,
                          uint32_t reserved3, uint32_t reserved4, uint32_t* count);
RC_API RCResult RCGetReleasedData(RCHandle source, uint32_t reserved1, uint32_t reserved2,
                                  uint32_t reserved3, RCImageReadyBlock* info,
                                  const RCMedium* medium);

/* Settings (16-bit codes) */
RC_API RCResult RCGetShootingMode(RCHandle source, uint16_t* mode);
RC_API RCResult RCSetShootingMode(RCHandle source, uint16_t mode);
RC_API RCResult RCGetTvValue(RCHandle source, uint16_t* tv);
RC_API RCResult RCSetTvValue(RCHandle source, uint16_t tv);
RC_API RCResult RCEnumTvValueReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumTvValueNext(RCHandle enumerator, uint16_t* tv);
RC_API RCResult RCEnumTvValueRelease(RCHandle enumerator);
RC_API RCResult RCGetAvValue(RCHandle source, uint16_t* av);
RC_API RCResult RCSetAvValue(RCHandle source, uint16_t av);
RC_API RCResult RCEnumAvValueReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumAvValueNext(RCHandle enumerator, uint16_t* av);
RC_API RCResult RCEnumAvValueRelease(RCHandle enumerator);
RC_API RCResult RCGetImageFormatAttribute(RCHandle source, uint16_t* quality, uint16_t* size);
RC_API RCResult RCSetImageFormatAttribute(RCHandle source, uint16_t quality, uint16_t size);
RC_API RCResult RCEnumImageFormatAttributeReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumImageFormatAttributeNext(RCHandle enumerator, uint16_t* quality,
                                               uint16_t* size);
RC_API RCResult RCEnumImageFormatAttributeRelease(RCHandle enumerator);
/* size: in, the buffer's size (at least the setting's); out, the setting's size.
   The buffer is zeroed first, so a 2-byte value reads zero-extended into 4 bytes;
   the one exception is the invalid value 0xFFFF, which is sign-extended (reads -1
   at any size). The value enumeration below writes its values the same way. */
RC_API RCResult RCGetRelCamSettingData(RCHandle source, uint32_t id, uint32_t* size, void* data);
RC_API RCResult RCSetRelCamSettingData(RCHandle source, uint32_t id, uint32_t size,
                                       const void* data);
/* The setting ids the camera offers (RC_SETTING_ISO when it has ISO values). */
RC_API RCResult RCEnumRelCamSettingReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumRelCamSettingNext(RCHandle enumerator, uint32_t* id);
RC_API RCResult RCEnumRelCamSettingRelease(RCHandle enumerator);
RC_API RCResult RCEnumRelCamSettingDataReset(RCHandle source, uint32_t id, RCHandle* enumerator,
                                             uint32_t* valueSize);
/* Values are written zero-extended into size bytes (at least the value size). */
RC_API RCResult RCEnumRelCamSettingDataNext(RCHandle enumerator, uint32_t size, void* value);
RC_API RCResult RCEnumRelCamSettingDataRelease(RCHandle enumerator);
RC_API RCResult RCEnumCustomFunctionSettingReset(RCHandle source, RCHandle* enumerator);
RC_API RCResult RCEnumCustomFunctionSettingNext(RCHandle enumerator, RCCustomFunction* setting);
RC_API RCResult RCEnumCustomFunctionSettingRelease(RCHandle enumerator);

/* The memory card's items: folders (type 1) at a volume's top, image files
   (type 2, and other files) in a folder. Item handles stay valid while the
   source is open. */
enum { RC_ITEM_FOLDER = 1, RC_ITEM_IMAGE = 2 };
/* Image-item property: non-zero when the image is RAW (2 bytes). */
#define RC_IMAGE_PROP_RAW 0x20000008u
typedef struct RCItemInfo {
    uint32_t type;
    char name[512];
} RCItemInfo;
RC_API RCResult RCEnumItemReset(RCHandle volume, uint32_t option, RCHandle* enumerator);
RC_API RCResult RCEnumItemNext(RCHandle enumerator, RCHandle* item);
RC_API RCResult RCEnumItemRelease(RCHandle enumerator);
RC_API RCResult RCGetItemInfo(RCHandle item, RCItemInfo* info);
RC_API RCResult RCEnumImageItemReset(RCHandle folder, uint32_t kind, uint32_t option,
                                     RCHandle* enumerator);
RC_API RCResult RCGetImageItemCount(RCHandle enumerator, uint32_t* count);
RC_API RCResult RCEnumImageItemNext(RCHandle enumerator, RCHandle* item);
RC_API RCResult RCEnumImageItemRelease(RCHandle enumerator);
RC_API RCResult RCOpenImage(RCHandle item);
RC_API RCResult RCCloseImage(RCHandle item);
RC_API RCResult RCGetPicture(RCHandle item, RCHandle* picture);
/* Writes the picture's file (JPEG, or the RAW frame) to medium. */
RC_API RCResult RCGetImageData(RCHandle picture, const RCMedium* medium, uint32_t reserved1,
                               uint32_t reserved2, uint32_t reserved3);
RC_API RCResult RCEnumImageItemPropertyReset(RCHandle item);
RC_API RCResult RCGetImageItemProperty(RCHandle item, uint32_t id, uint32_t* size, void* data);
RC_API RCResult RCEnumImageItemPropertyRelease(RCHandle item);

/* RAW development: works on files from disk, with or without an open source. */
RC_API RCResult RCCreateRAWObject(const RCMedium* raw, RCHandle* object);
RC_API RCResult RCSetAllParamValueToAtCapture(RCHandle object);
/* Writes the developed image to output (a path; an existing file is replaced
   whole, never the RAW file itself). */
RC_API RCResult RCDevelop(RCHandle object, uint32_t format, uint32_t options,
                          const RCDevelopParams* params, const RCMedium* output,
                          RCProgressCallback progress, void* context, uint32_t progressOptions);
RC_API RCResult RCUnFocusRAWObject(RCHandle object);
/* Development parameters: set, ask whether one is supported (the answer is the
   parameter's kind, 0x1001 for a value the caller may set), and apply what was
   set. The simulator develops the same whatever they hold. */
RC_API RCResult RCSetParamValue(RCHandle object, uint32_t id, int32_t value);
RC_API RCResult RCIsSupportParamItem(RCHandle object, uint32_t id, uint32_t* answer);
RC_API RCResult RCReflectParamValues(RCHandle object, uint32_t option);
RC_API RCResult RCDisposeRAWObject(RCHandle object);

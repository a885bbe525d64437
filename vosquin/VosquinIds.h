#pragma once

#include "platform/automation/Dispatch.h"

// The control's dispatch identifiers, as its type information publishes them.
namespace zelmora::vosquin::ids {

enum Property : automation::DispId {
    kCamModel = 1,
    kThumbPc = 2,
    kPicPc = 3,
    kThumbCam = 4,
    kPicCam = 5,
    kSavePath = 6,
    kTv = 7,
    kAv = 8,
    kConnected = 9,
    kFocusMode = 10,
    kMirrorLock = 11,
    kFileName = 12,
    kNoShotsLeft = 13,
    kImageQuality = 14,
    kImageSize = 15,
    kISO = 16,
    kShootingMode = 17,
    kSaveFocusImages = 18,
    kFocusSavePath = 19,
    kWaitingForDownload = 20,
    kAllowedTv = 21,
};

// 22 is not used.
enum Method : automation::DispId {
    kConnect = 23,
    kDisconnect = 24,
    kEnd = 25,
    kRelease = 26,
    kRequestBatteryLevel = 27,
    kDevlopRaw = 28,
};

enum Event : automation::DispId {
    kOnComplete = 1,
    kOnConnected = 2,
    kOnDisconnected = 3,
    kOnBatteryLevelChange = 4,
    kOnReadyForRelease = 5,
    kOnStatusUpdate = 6,
    kOnBulbMode = 7,
};

}  // namespace zelmora::vosquin::ids

#pragma once

#include <cstdint>

#include "platform/automation/Dispatch.h"

// The control's published interface: its dispatch identifiers and the member and
// event tables that stand in for its type information. The control and the host
// both use them.
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
    // Read-only, numbered after the methods: how many pictures of the last release
    // are still to be reported through OnComplete (a release may give a
    // thumbnail, or a RAW and a JPEG picture). Read in OnComplete, 0 means the
    // release's last picture has come (or failed).
    kPicturesToCome = 29,
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

namespace zelmora::vosquin {

// What the Release method answers: 0 when the camera was told to take the
// picture; kReleaseNotReady when nothing can be released now (no camera, no
// download or card kind chosen); kReleaseBusy while an image is being
// downloaded or waits to be; any other value is the camera library's code for
// a release the camera refused (such codes always carry a component bit),
// reported first through OnComplete as "Error:<code>".
inline constexpr std::int32_t kReleaseNotReady = 1;
inline constexpr std::int32_t kReleaseBusy = 2;

inline const automation::MemberTable& publishedMembers() {
    using namespace automation;
    static const MemberTable table({
        property("CamModel", ids::kCamModel, VarType::Text, true, false),
        property("ThumbPc", ids::kThumbPc, VarType::Bool),
        property("PicPc", ids::kPicPc, VarType::Bool),
        property("ThumbCam", ids::kThumbCam, VarType::Bool),
        property("PicCam", ids::kPicCam, VarType::Bool),
        property("SavePath", ids::kSavePath, VarType::Text),
        property("Tv", ids::kTv, VarType::Text),
        property("Av", ids::kAv, VarType::Text),
        property("Connected", ids::kConnected, VarType::Bool, true, false),
        property("FocusMode", ids::kFocusMode, VarType::Bool),
        property("MirrorLock", ids::kMirrorLock, VarType::Bool, true, false),
        property("FileName", ids::kFileName, VarType::Text),
        property("NoShotsLeft", ids::kNoShotsLeft, VarType::I2, true, false),
        property("ImageQuality", ids::kImageQuality, VarType::Text),
        property("ImageSize", ids::kImageSize, VarType::Text),
        property("ISO", ids::kISO, VarType::Text),
        property("ShootingMode", ids::kShootingMode, VarType::Text, true, false),
        property("SaveFocusImages", ids::kSaveFocusImages, VarType::Bool),
        property("FocusSavePath", ids::kFocusSavePath, VarType::Text),
        property("WaitingForDownload", ids::kWaitingForDownload, VarType::Bool),
        property("AllowedTv", ids::kAllowedTv, VarType::Text, true, false),
        method("Connect", ids::kConnect, VarType::I4),
        method("Disconnect", ids::kDisconnect, VarType::I4),
        method("End", ids::kEnd, VarType::I4),
        method("Release", ids::kRelease, VarType::I4),
        method("RequestBatteryLevel", ids::kRequestBatteryLevel, VarType::Empty),
        method("DevlopRaw", ids::kDevlopRaw, VarType::Text, {{"FileToDevelop", VarType::Text}}),
        property("PicturesToCome", ids::kPicturesToCome, VarType::I4, true, false),
    });
    return table;
}

inline const automation::MemberTable& publishedEvents() {
    using namespace automation;
    static const MemberTable table({
        event("OnComplete", ids::kOnComplete, {{"FileName", VarType::Text}}),
        event("OnConnected", ids::kOnConnected, {{"CamModel", VarType::Text}}),
        event("OnDisconnected", ids::kOnDisconnected),
        event("OnBatteryLevelChange", ids::kOnBatteryLevelChange,
              {{"BatteryLevel", VarType::Text}}),
        event("OnReadyForRelease", ids::kOnReadyForRelease, {{"ReadyState", VarType::Bool}}),
        event("OnStatusUpdate", ids::kOnStatusUpdate, {{"CamStatus", VarType::Text}}),
        event("OnBulbMode", ids::kOnBulbMode, {{"BulbMode", VarType::Bool}}),
    });
    return table;
}

}  // namespace zelmora::vosquin

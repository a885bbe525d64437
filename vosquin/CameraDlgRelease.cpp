// The camera dialog's release road: release kinds, the shutter, the library's
// events, the image-ready queue, the download and its file name, RAW development.

#include <fcntl.h>
#include <unistd.h>
#include <QDir>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/os/PartialFiles.h"
#include "vosquin/CCameraDlg.h"
#include "vosquin/CameraTexts.h"
#include "vosquin/FileStream.h"
#include "vosquin/ImageNaming.h"
#include "vosquin/RcResult.h"

namespace zelmora::vosquin {

namespace {

constexpr std::uint32_t kBoxBits[] = {RC_KIND_THUMB_TO_PC, RC_KIND_PICTURE_TO_PC,
                                      RC_KIND_THUMB_TO_CARD, RC_KIND_PICTURE_TO_CARD};

// Moves the finished download to target, or to the first free "_1", "_2", ... name
// beside it: the camera's numbering restarts, and an earlier night's frame must stay.
// The check and the move are one step, so two writers cannot take the same name.
// Returns the name written, or "" when the move failed.
std::string placeWithoutReplacing(const std::string& temporary, const std::string& target) {
    for (int n = 0; n < 100000; ++n) {
        const std::string candidate = n == 0 ? target : numberedName(target, n);
        if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, candidate.c_str(),
                        RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return {};
        // A file system without the no-replace move: a hard link refuses a taken name too.
        if (::link(temporary.c_str(), candidate.c_str()) == 0) {
            ::unlink(temporary.c_str());
            return candidate;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

}  // namespace

RCResult CCameraDlg::UpdateReleaseKind() {
    if (!connected_) {
        fire(ids::kOnReadyForRelease, {false});
        logLine("Not Connected. Ready for Release FALSE.");
        return 0;
    }
    if (!card_) {
        logLine("No Memory Card. Cant Save to CAM");
        boxes_[kThumbCam] = BoxState{};
        boxes_[kPicCam] = BoxState{};
    }
    if (anyBoxChecked() && disconnectEnabled_) {
        releaseEnabled_ = true;
        if (const RCHandle source = source_) {
            std::uint32_t kind = 0;
            for (int b = kThumbPc; b <= kPicCam; ++b)
                if (boxes_[std::size_t(b)].checked) kind |= kBoxBits[b];
            logLine("Release Kind:" + std::to_string(kind));
            if (kind != 0) {
                if (const RCResult r = RCSelectReleaseDataKind(source, kind); failed(r)) return r;
                // A camera in Bulb takes no picture on a release, whatever the kinds:
                // the host must not hear that it is ready and out of Bulb.
                std::uint16_t tv = 0;
                if (!failed(RCGetTvValue(source, &tv)) && tv == RC_TV_BULB) {
                    logLine(
                        "Kind set. Tv is Bulb: Ready for Release FALSE. BULB event set with True");
                    fire(ids::kOnReadyForRelease, {false});
                    fire(ids::kOnBulbMode, {true});
                } else {
                    logLine("Kind set. Ready for Release TRUE. BULB event set with False");
                    fire(ids::kOnReadyForRelease, {true});
                    fire(ids::kOnBulbMode, {false});
                }
            } else {
                logLine("Kind is empty. Ready for Release FALSE.");
                fire(ids::kOnReadyForRelease, {false});
            }
        }
    } else {
        // Nothing chosen stays shown as nothing chosen: the box the user cleared
        // is not ticked again behind a Release that is off.
        releaseEnabled_ = false;
        logLine("No download type selected. Ready for Release FALSE");
        fire(ids::kOnReadyForRelease, {false});
    }
    notify();
    return 0;
}

void CCameraDlg::clickBox(Box box, bool checked) {
    if (!created_) return;
    boxes_[box].checked = checked;
    boxHandler(box);
    notify();
}

void CCameraDlg::putBox(Box box, bool checked) {
    clickBox(box, checked);
}

void CCameraDlg::boxHandler(Box box) {
    // A disabled box is only a choice for the next update of the kinds.
    if (!boxes_[box].enabled) return;
    static constexpr const char* kFailure[] = {
        "Error on Thumb-PC ErrorCode = ", "Pic - PC ErrorCode = ", "Thumb - Cam ErrorCode = ",
        "ErrorCode = "};
    const RCHandle source = source_;
    RCResult r = RCLockUI(source);
    if (!failed(r)) r = UpdateReleaseKind();
    const RCResult unlocked = RCUnlockUI(source);
    if (!failed(r)) r = unlocked;
    if (failed(r)) logCode(kFailure[box], r);
}

std::int32_t CCameraDlg::ReleaseShutter() {
    if (!created_) return kReleaseNotReady;
    // Release is off while an image comes down or waits to; a caller that
    // waits for a picture must hear that this one will not come.
    if (!releaseEnabled_) {
        const bool downloading = downloading_ || !queue_.empty();
        logLine(downloading ? "Release ignored: an image is being downloaded"
                            : "Release ignored: not ready for release");
        return downloading ? kReleaseBusy : kReleaseNotReady;
    }
    logLine("Release Pressed.");
    static constexpr const char* kChecked[] = {"Thumb - PC: TRUE", "Pict - PC: TRUE",
                                               "Thumb - Cam: TRUE", "Pict - Cam: TRUE"};
    for (int b = kThumbPc; b <= kPicCam; ++b)
        if (boxes_[std::size_t(b)].checked) logLine(kChecked[b]);
    fire(ids::kOnStatusUpdate, {std::string("Taking Picture")});
    progress_ = 0;
    notify();
    // Nothing of this release is to come until the camera says how many.
    picturesToCome_ = 0;
    const RCHandle source = source_;
    const RCResult r = RCCapture(source);
    if (!failed(r)) return 0;
    logCode("Error On Release ErrorCode = ", r);
    RCUnlockUI(source);
    // No image will come: whoever waits for one hears of the failure now.
    waiting_ = false;
    logLine("Waiting for download: FALSE");
    fire(ids::kOnComplete, {texts::errorText(r)});
    fire(ids::kOnStatusUpdate, {std::string("Waiting")});
    return std::int32_t(r);
}

void CCameraDlg::OnCameraEvent(std::uint32_t event, const void* data) {
    // The library's thread: the queue, the log and posted events only.
    switch (event) {
        case RC_EVENT_SETTINGS_CHANGED:
            postToSelf(changeByUiType_);
            break;
        case RC_EVENT_RELEASE_COMPLETE: {
            logLine("cdRESEASE_EVENT_RELEASE_COMPLETE Fired");
            // Comes before the release's first picture is ready.
            std::uint32_t count = 0;
            if (data) std::memcpy(&count, data, sizeof count);
            picturesToCome_ = int(std::min<std::uint32_t>(count, INT_MAX));
            break;
        }
        case RC_EVENT_IMAGE_READY: {
            if (!data) break;
            RCImageReadyBlock block;
            std::memcpy(&block, data, sizeof block);
            logLine("cdRESEASE_EVENT_IMAGE_READY Fired Queing Data");
            if (queue_.pushImageReady(block, source_.load(), exeFolder_))
                postToSelf(releaseCompleteType_);
            break;
        }
        default:
            break;
    }
}

std::uint32_t CCameraDlg::progressThunk(std::uint32_t percent, std::uint32_t, void* context) {
    static_cast<CCameraDlg*>(context)->onProgress(percent);
    return 0;
}

void CCameraDlg::onProgress(std::uint32_t percent) {
    progress_ = int(std::min<std::uint32_t>(percent, 100));
    if (percent < 100)
        releaseEnabled_ = false;
    else if (queue_.empty())
        releaseEnabled_ = true;
    notify();
}

void CCameraDlg::DownloadImage(const ReleaseRecord& record) {
    NamingRequest request;
    request.focusMode = focusMode_;
    request.keepFocusImages = keepFocusImages_;
    request.recordFolder = record.folder;
    request.focusFolder = focusFolder_;
    request.stem = stem_;
    request.model = model_;
    request.number = record.block.number;
    request.kind = record.block.kind;
    request.format = record.block.format;
    const NamedImage name = nameDownload(request);
    if (!name.logLine.empty()) logLine(name.logLine);
    // The focus-frame folder is the program's own; make it when it is missing.
    if (focusMode_) QDir().mkpath(QString::fromStdString(name.folder));

    // No release while an image is on its way.
    releaseEnabled_ = false;
    downloading_ = true;
    fire(ids::kOnStatusUpdate, {std::string("Downloading")});
    // The temporary files of our own downloads killed part-way are of no use to anyone.
    for (const std::string& stale : platform::partial::removeStale(name.folder))
        logLine("Removed unfinished download:" + stale);
    logLine("Writing File to PC");
    logLine(name.path);

    // The image lands under a temporary name, reaches the disk and then replaces the
    // target whole, so a reader never sees half a file, a failed transfer leaves the
    // old one, and a power cut leaves no empty file under a frame's name.
    const std::string temporary = platform::partial::temporaryName(name.path);
    RCResult r;
    {
        FileStream stream(temporary);
        RCMedium medium{RC_MEDIUM_STREAM, nullptr, &stream.table()};
        const RCImageReadyBlock block = record.block;
        r = RCTakeCapturedImage(record.source, &CCameraDlg::progressThunk, this, 3, &block,
                                &medium);
    }
    std::string written = name.path;
    if (!failed(r)) {
        if (name.replaces) {
            if (std::rename(temporary.c_str(), name.path.c_str()) != 0) written.clear();
        } else {
            written = placeWithoutReplacing(temporary, name.path);
            if (!written.empty() && written != name.path)
                logLine("File exists, saved as:" + written);
        }
        if (written.empty()) r = RC_COMP_TRANSFER | RC_ERR_FILE_IO;
    }
    if (failed(r)) std::remove(temporary.c_str());
    progress_ = 0;

    waiting_ = false;
    downloading_ = false;
    logLine("Waiting for download: FALSE");
    // One picture fewer of its release to come, whether it came or failed.
    for (int left = picturesToCome_.load();
         left > 0 && !picturesToCome_.compare_exchange_weak(left, left - 1);) {
    }
    if (queue_.empty() && connected_ && source_ != 0 && anyBoxChecked()) releaseEnabled_ = true;
    fire(ids::kOnComplete, {failed(r) ? texts::errorText(r) : written});
    fire(ids::kOnStatusUpdate, {std::string("Waiting")});
}

std::string CCameraDlg::DevelopRaw(const std::string& rawPath) {
    const std::string output = developedName(rawPath);
    if (output.empty()) {
        // Without a RAW extension the JPEG would take the RAW file's own name.
        logLine("Error in  DevelopIt for:" + rawPath);
        return {};
    }
    logLine("Creating RAW Object for" + rawPath);
    const RCMedium input{RC_MEDIUM_PATH, rawPath.c_str(), nullptr};
    RCHandle object = 0;
    RCResult r = RCCreateRAWObject(&input, &object);
    if (!failed(r)) r = RCSetAllParamValueToAtCapture(object);
    if (!failed(r)) {
        logLine("Output image is:" + output);
        const RCMedium out{RC_MEDIUM_PATH, output.c_str(), nullptr};
        r = RCDevelop(object, RC_DEVELOP_JPEG, 0, nullptr, &out, nullptr, nullptr, 0);
    }
    if (object) {
        RCUnFocusRAWObject(object);
        RCDisposeRAWObject(object);
    }
    if (failed(r)) {
        logLine("Error in  DevelopIt for:" + rawPath);
        return {};
    }
    return output;
}

}  // namespace zelmora::vosquin

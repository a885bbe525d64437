#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"

class LibRaw;

// RAW files (a camera's own, or the simulator's DNG frames) developed to JPEG
// through LibRaw.
namespace zelmora::simrc::detail {

struct RawObject {
    RawObject();
    ~RawObject();
    std::mutex mu;
    std::string path;
    bool atCapture = false;  // develop with the white balance as shot
    std::unique_ptr<LibRaw> raw;
    bool focused = false;  // LibRaw holds the opened file
};

// Opens the file as RAW; RC_ERR_NOT_FOUND when it does not exist, RC_ERR_BAD_FORMAT
// when LibRaw does not take it (a JPEG, a text file, a truncated RAW).
RCResult openRaw(const std::string& path, std::shared_ptr<RawObject>& out);

// Develops to an 8-bit JPEG at the given quality.
RCResult developToJpeg(RawObject& object, int quality, std::vector<std::uint8_t>& jpeg);

// Lets LibRaw drop the file's data; the next development opens it again.
void unfocus(RawObject& object);

}  // namespace zelmora::simrc::detail

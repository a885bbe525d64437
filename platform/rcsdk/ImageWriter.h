#pragma once

#include <cstdint>
#include <vector>

#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora::simrc::detail {

// Writes bytes to the medium in chunks, reporting the percentage after each chunk
// (the last report is 100), all on the calling thread.
//  - A path is written to a temporary name beside it, flushed to the disk and
//    renamed over it, so a reader never sees half an image and a failure leaves the
//    old file whole. Nothing else in the folder is touched: what killed writers
//    left there is the camera control's to clear.
//  - A stream is opened for writing (mode 2), written and closed; a non-zero
//    status from any operation aborts the transfer (the stream is still closed).
// A progress function returning non-zero cancels with RC_ERR_CANCELLED.
RCResult writeImage(const std::vector<std::uint8_t>& bytes, const RCMedium* medium,
                    RCProgressCallback progress, void* context, std::uint32_t chunkSize,
                    std::uint32_t component);

}  // namespace zelmora::simrc::detail

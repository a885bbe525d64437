#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/cDIBSection.h"

namespace zelmora {

// Reads picture files into a cDIBSection. JPEG files (every camera frame) are
// decoded straight into the buffer's bottom-up BGR rows; BMP, GIF, PNG and the
// other formats Qt reads go through QImage. The size a header claims, and the
// lengths the file's structure gives (a PNG's chunks, a JPEG's segments, the
// pictures of an icon), are checked before anything is decoded. The buffer's
// memory is kept and reused while the frame size stays the same, which matters at
// 18 to 24 MP.
//
// Failures raise AppError: 53 for a missing file, 75 when it cannot be read,
// 481 "Invalid picture" for an empty, truncated, corrupt or non-picture file.
// A failure before decoding leaves the buffer as it was; a JPEG that fails while
// decoding leaves it empty, never half a frame.
class FrameLoader {
public:
    FrameLoader();
    ~FrameLoader();
    FrameLoader(const FrameLoader&) = delete;
    FrameLoader& operator=(const FrameLoader&) = delete;

    void load(const QString& path, cDIBSection& dib);
    // A JPEG already in memory; `name` only labels the error messages.
    void loadJpeg(const std::uint8_t* data, std::size_t size, cDIBSection& dib,
                  const QString& name = {});

    static bool looksLikeJpeg(const std::uint8_t* data, std::size_t size);

    // How a JPEG stream ends, found by walking its marker segments by their lengths
    // and each scan's data up to the marker after it.
    enum class JpegEnd {
        Whole,       // the end marker after the last scan; what follows it is not read
        Unfinished,  // the data stops before that: still being written, or cut short
        PastTheEnd,  // a segment's length runs past the end of the data
        Damaged,     // no marker where one must be (or not a JPEG at all)
    };
    static JpegEnd jpegEnd(const std::uint8_t* data, std::size_t size);

private:
    [[noreturn]] void failed(const QString& label);

    void* decoder_ = nullptr;  // the TurboJPEG handle, made on first use
    std::vector<std::uint8_t> file_;
};

// The program's loader (one user-interface thread, so one decoder suffices).
void loadFrame(const QString& path, cDIBSection& dib);

}  // namespace zelmora

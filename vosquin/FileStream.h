#pragma once

#include <cstdint>
#include <string>

#include "platform/rcsdk/RemoteCapture.h"

namespace zelmora::vosquin {

// The file the camera library writes one image through: a target path, a file
// descriptor, and the six operations the library calls (open, close, read, write,
// seek, tell), each answering 0 or one of the statuses below.
class FileStream {
public:
    enum Status : std::uint32_t {
        kAlreadyOpen = 162,
        kOpenFailed = 163,
        kCloseFailed = 164,
        kSeekFailed = 165,
        kNoContext = 166,
        kReadFailed = 167,
        kWriteFailed = 168,
        kBadArgument = 171,
    };

    explicit FileStream(std::string path);
    ~FileStream();  // closes a file left open
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // The table to hand to the library; valid while this object lives.
    const RCStream& table() const { return table_; }

    // A file opened for writing is held (see platform/os/PartialFiles.h) while it is
    // open, and its data is flushed to the disk when it is closed
    // (platform::flushToDisk); a failed flush fails the close.

private:
    static std::uint32_t open(void* context, std::uint32_t mode);
    static std::uint32_t close(void* context);
    static std::uint32_t read(void* context, void* buffer, std::uint32_t* count);
    static std::uint32_t write(void* context, const void* buffer, std::uint32_t* count);
    static std::uint32_t seek(void* context, std::uint32_t origin, std::int64_t distance,
                              std::int64_t* position);
    static std::uint32_t tell(void* context, std::int64_t* position);

    std::string path_;
    int fd_ = -1;
    bool writing_ = false;
    RCStream table_{};
};

}  // namespace zelmora::vosquin

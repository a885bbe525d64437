#include "vosquin/FileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/os/FileWrite.h"
#include "platform/os/PartialFiles.h"

namespace zelmora::vosquin {

namespace {
FileStream* self(void* context) {
    return static_cast<FileStream*>(context);
}
}  // namespace

FileStream::FileStream(std::string path) : path_(std::move(path)) {
    table_.context = this;
    table_.open = &FileStream::open;
    table_.close = &FileStream::close;
    table_.read = &FileStream::read;
    table_.write = &FileStream::write;
    table_.seek = &FileStream::seek;
    table_.tell = &FileStream::tell;
}

FileStream::~FileStream() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint32_t FileStream::open(void* context, std::uint32_t mode) {
    FileStream* s = self(context);
    if (!s) return kOpenFailed;
    if (s->fd_ >= 0) return kAlreadyOpen;
    int flags = 0;
    if (mode == 4) {
        flags = O_RDWR | O_CREAT;  // read and write, open or create
    } else {
        switch (mode & 3) {
            case 0:
                return kBadArgument;
            case 1:
                flags = O_RDONLY;  // an existing file (others may read it too)
                break;
            case 2:
                flags = O_WRONLY | O_CREAT | O_TRUNC;
                break;
            case 3:
                flags = O_RDWR | O_CREAT | O_TRUNC;
                break;
        }
    }
    const int fd = ::open(s->path_.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return kOpenFailed;
    s->fd_ = fd;
    s->writing_ = (flags & (O_WRONLY | O_RDWR)) != 0;
    if (s->writing_) platform::partial::holdWhileWriting(fd);
    return 0;
}

std::uint32_t FileStream::close(void* context) {
    FileStream* s = self(context);
    if (!s || s->fd_ < 0) return kCloseFailed;
    const int fd = s->fd_;
    s->fd_ = -1;
    bool ok = true;
    if (s->writing_) {
        s->writing_ = false;
        ok = platform::flushToDisk(fd, s->path_);
    }
    if (::close(fd) != 0) ok = false;
    return ok ? 0u : std::uint32_t(kCloseFailed);
}

std::uint32_t FileStream::read(void* context, void* buffer, std::uint32_t* count) {
    FileStream* s = self(context);
    if (!s || s->fd_ < 0 || !count || (!buffer && *count)) return kReadFailed;
    std::uint32_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < *count) {
        const ssize_t n = ::read(s->fd_, out + done, *count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *count = done;
            return kReadFailed;
        }
        if (n == 0) break;  // end of file: a short count
        done += std::uint32_t(n);
    }
    *count = done;
    return 0;
}

std::uint32_t FileStream::write(void* context, const void* buffer, std::uint32_t* count) {
    FileStream* s = self(context);
    if (!s || s->fd_ < 0 || !count || (!buffer && *count)) return kWriteFailed;
    const auto done = std::uint32_t(platform::partial::writeFully(s->fd_, buffer, *count));
    const bool whole = done == *count;
    *count = done;
    return whole ? 0u : std::uint32_t(kWriteFailed);
}

std::uint32_t FileStream::seek(void* context, std::uint32_t origin, std::int64_t distance,
                               std::int64_t* position) {
    FileStream* s = self(context);
    int whence = 0;
    switch (origin) {
        case 1:
            whence = SEEK_SET;
            break;
        case 2:
            whence = SEEK_CUR;
            break;
        case 3:
            whence = SEEK_END;
            break;
        default:
            return kBadArgument;
    }
    if (!s || s->fd_ < 0) return kSeekFailed;
    const off_t at = ::lseek(s->fd_, off_t(distance), whence);
    if (at < 0) return kSeekFailed;
    if (position) *position = at;
    return 0;
}

std::uint32_t FileStream::tell(void* context, std::int64_t* position) {
    FileStream* s = self(context);
    if (!s) return kNoContext;
    const off_t at = s->fd_ >= 0 ? ::lseek(s->fd_, 0, SEEK_CUR) : off_t(-1);
    if (position) *position = at < 0 ? 0 : at;
    return at < 0 ? std::uint32_t(kSeekFailed) : 0u;
}

}  // namespace zelmora::vosquin

#include "platform/rcsdk/ImageWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/os/PartialFiles.h"

namespace zelmora::simrc::detail {

namespace {

constexpr std::uint32_t kStreamWriteMode = 2;

std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return platform::partial::temporaryName(
        path, std::to_string(::getpid()) + "_" + std::to_string(++counter));
}

// Percent after `done` of `total` bytes; an empty image reports 100 at once.
std::uint32_t percent(std::size_t done, std::size_t total) {
    return total == 0 ? 100u : std::uint32_t((done * 100) / total);
}

// Hands the bytes to put (false: the write failed) a chunk at a time, reporting
// progress after each chunk.
template <typename Put>
RCResult writeChunks(const std::vector<std::uint8_t>& bytes, std::size_t chunk,
                     RCProgressCallback progress, void* context, std::uint32_t component, Put put) {
    const std::size_t total = bytes.size();
    std::size_t done = 0;
    do {
        const std::size_t n = std::min(chunk, total - done);
        if (n && !put(bytes.data() + done, n)) return component | RC_ERR_FILE_IO;
        done += n;
        if (progress && progress(percent(done, total), 0, context) != 0)
            return component | RC_ERR_CANCELLED;
    } while (done < total);
    return RC_OK;
}

}  // namespace

RCResult writeImage(const std::vector<std::uint8_t>& bytes, const RCMedium* medium,
                    RCProgressCallback progress, void* context, std::uint32_t chunkSize,
                    std::uint32_t component) {
    if (!medium) return component | RC_ERR_INVALID_PARAMETER;
    const std::size_t chunk = chunkSize ? chunkSize : 64 * 1024;

    if (medium->kind == RC_MEDIUM_PATH) {
        if (!medium->path || !*medium->path) return component | RC_ERR_INVALID_PARAMETER;
        const std::string path = medium->path;
        const std::string temp = temporaryNameFor(path);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) return component | RC_ERR_FILE_IO;
        platform::partial::holdWhileWriting(fd);
        RCResult result = writeChunks(bytes, chunk, progress, context, component,
                                      [&](const std::uint8_t* data, std::size_t n) {
                                          return platform::partial::writeFully(fd, data, n) == n;
                                      });
        // On the disk before it takes its name: a power cut leaves no empty image.
        if (result == RC_OK && !platform::partial::flushToDisk(fd))
            result = component | RC_ERR_FILE_IO;
        if (::close(fd) != 0 && result == RC_OK) result = component | RC_ERR_FILE_IO;
        if (result == RC_OK && std::rename(temp.c_str(), path.c_str()) != 0)
            result = component | RC_ERR_FILE_IO;
        if (result != RC_OK) std::remove(temp.c_str());
        return result;
    }

    if (medium->kind != RC_MEDIUM_STREAM || !medium->stream)
        return component | RC_ERR_INVALID_PARAMETER;
    const RCStream& s = *medium->stream;
    if (!s.open || !s.write || !s.close) return component | RC_ERR_INVALID_PARAMETER;
    if (s.open(s.context, kStreamWriteMode) != 0) return component | RC_ERR_FILE_IO;
    RCResult result = writeChunks(bytes, chunk, progress, context, component,
                                  [&](const std::uint8_t* data, std::size_t n) {
                                      std::uint32_t count = std::uint32_t(n);
                                      return s.write(s.context, data, &count) == 0 && count == n;
                                  });
    if (s.close(s.context) != 0 && result == RC_OK) result = component | RC_ERR_FILE_IO;
    return result;
}

}  // namespace zelmora::simrc::detail

#pragma once

// The temporary files a download is written to before it takes its final name.
// Header only and without Qt: the camera library and the camera control both use it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelmora::platform::partial {

// The program's own temporary names: a download, while it is written, is the final
// name followed by ".zelmora-part" and perhaps a writer's tag of digits and "_"
// ("M31-0001.JPG.zelmora-part", "x.jpg.zelmora-part812_3"). No other program names
// its files so: a browser's or a file manager's ".part" is never taken for one.
inline constexpr std::string_view kPartialMark = ".zelmora-part";

inline std::string temporaryName(const std::string& path, const std::string& tag = {}) {
    return path + std::string(kPartialMark) + tag;
}

inline bool isPartialName(std::string_view name) {
    const std::size_t at = name.rfind(kPartialMark);
    if (at == std::string_view::npos || at == 0) return false;
    for (char c : name.substr(at + kPartialMark.size()))
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

// Marks an open temporary file as being written: the lock lasts while the file is
// open, so a download killed part-way leaves a file that nobody holds.
inline void holdWhileWriting(int fd) {
    if (fd >= 0) ::flock(fd, LOCK_EX | LOCK_NB);
}

// Writes all n bytes to the file, going on after short writes and interruptions;
// gives how many were written (fewer than n when the write failed).
inline std::size_t writeFully(int fd, const void* data, std::size_t n) {
    const auto* at = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, at + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += std::size_t(w);
    }
    return done;
}

// Flushes a written file's data to the disk, so that it may take a frame's name:
// after a power cut the name never shows an empty or partial file. False on failure.
inline bool flushToDisk(int fd) {
    return fd >= 0 && ::fsync(fd) == 0;
}

// Removes the program's temporary files in `folder` that no writer holds, which
// killed downloads left behind, and nothing else; gives their paths.
inline std::vector<std::string> removeStale(const std::string& folder) {
    std::vector<std::string> removed;
    const std::string base = folder.empty() ? std::string(".") : folder;
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (isPartialName(e->d_name)) names.emplace_back(e->d_name);
        ::closedir(dir);
    }
    for (const std::string& name : names) {
        const std::string path = base.back() == '/' ? base + name : base + '/' + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(path.c_str()) == 0)
            removed.push_back(path);
        ::close(fd);
    }
    return removed;
}

}  // namespace zelmora::platform::partial

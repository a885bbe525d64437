#include "platform/os/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/core/AppError.h"
#include "platform/os/PartialFiles.h"

namespace zelmora::platform {

namespace {

std::atomic<int> gFailCount{0};
std::atomic<int> gFailError{ENOSPC};
std::atomic<int> gFlushFailCount{0};
std::atomic<int> gFlushFailError{EIO};
std::atomic<int> gReadFailCount{0};
std::atomic<int> gReadFailError{EIO};

[[noreturn]] void fail(int error) {
    throw AppError(AppError::kPathFileAccess, QStringLiteral("File"),
                   QString::fromLocal8Bit(std::strerror(error)));
}

bool takeInjected(std::atomic<int>& count, const std::atomic<int>& which, int& error) {
    int left = count.load();
    while (left > 0)
        if (count.compare_exchange_weak(left, left - 1)) {
            error = which.load();
            return true;
        }
    return false;
}

std::function<void(const std::string&)>& flushObserver() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

std::function<void(const std::string&)>& writeObserver() {
    static std::function<void(const std::string&)> observer;
    return observer;
}

bool injectedFailure(int& error) {
    return takeInjected(gFailCount, gFailError, error);
}

bool writeAll(int fd, const char* data, qsizetype size, int& error) {
    qsizetype done = 0;
    // An injected failure writes half, then reports the disk full.
    const bool inject = injectedFailure(error);
    const qsizetype limit = inject ? size / 2 : size;
    while (done < limit) {
        const ssize_t n = ::write(fd, data + done, std::size_t(limit - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        done += n;
    }
    return !inject;
}

// The rename itself reaches the disk with the folder. The file is in place by
// now, so a folder that cannot be flushed (some file systems refuse) is no
// failure of the save.
void flushFolderOf(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : target.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    flushToDisk(fd, folder.toStdString());
    ::close(fd);
}

}  // namespace

void writeFileWhole(const QString& path, const QByteArray& bytes) {
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) fail(errno);
    int error = 0;
    bool ok = true;
    // The new file keeps the old one's permissions; a new one gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) {
        error = errno;
        ok = false;
    }
    // Unbuffered: a full disk shows in write() itself, before anything is renamed.
    if (ok) ok = writeAll(fd, bytes.constData(), bytes.size(), error);
    // On the disk before it takes the name: not every file system orders a rename
    // after the data, and after a power cut the name would hold an empty file.
    if (ok && !flushToDisk(fd, temporary.toStdString())) {
        error = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        fail(error);
    }
    flushFolderOf(target);
    if (writeObserver()) writeObserver()(target.toStdString());
}

bool flushToDisk(int fd, const std::string& path) {
    int error = 0;
    if (takeInjected(gFlushFailCount, gFlushFailError, error)) {
        errno = error;
        return false;
    }
    if (!partial::flushToDisk(fd)) return false;
    if (flushObserver()) flushObserver()(path);
    return true;
}

void setFlushObserver(std::function<void(const std::string&)> observer) {
    flushObserver() = std::move(observer);
}

void setWriteObserver(std::function<void(const std::string&)> observer) {
    writeObserver() = std::move(observer);
}

std::optional<QByteArray> readFileIfPresent(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    int error = 0;
    int fd = -1;
    if (!takeInjected(gReadFailCount, gReadFailError, error)) {
        do fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) error = errno;
    }
    if (fd < 0) {
        if (error == ENOENT) return std::nullopt;
        fail(error);
    }
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            fail(error);
        }
        if (n == 0) break;
        bytes.append(chunk, n);
    }
    ::close(fd);
    return bytes;
}

void failFileReads(int count, int error) {
    gReadFailError = error;
    gReadFailCount = count;
}

void failFileFlushes(int count, int error) {
    gFlushFailError = error;
    gFlushFailCount = count;
}

void failFileWrites(int count, int error) {
    gFailError = error;
    gFailCount = count;
}

}  // namespace zelmora::platform

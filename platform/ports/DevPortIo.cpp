#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ports/PortIo.h"
#include "platform/ports/PortsTrace.h"

namespace zelmora::ports {

DevPortIo::DevPortIo(std::string path) : path_(std::move(path)) {}

DevPortIo::~DevPortIo() {
    if (fd_ >= 0) ::close(fd_);
}

bool DevPortIo::available(const std::string& path) {
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

bool DevPortIo::ensureOpen() {
    if (fd_ >= 0) return true;
    if (tried_) return false;
    tried_ = true;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        trace("Parallel port access: " + path_ + " could not be opened (" + std::strerror(errno) +
              "); no port answers");
    return fd_ >= 0;
}

std::uint8_t DevPortIo::in(std::uint16_t addr) {
    if (addr < kLowestPortAddress || !ensureOpen()) return 0xFF;
    std::uint8_t v = 0xFF;
    if (::pread(fd_, &v, 1, off_t(addr)) != 1) return 0xFF;
    return v;
}

void DevPortIo::out(std::uint16_t addr, std::uint8_t value) {
    if (addr < kLowestPortAddress || !ensureOpen()) return;
    (void)!::pwrite(fd_, &value, 1, off_t(addr));
}

std::uint8_t RecordingPortIo::in(std::uint16_t addr) {
    const std::uint8_t v = inner_ ? inner_->in(addr) : 0xFF;
    log_.push_back({false, addr, v});
    return v;
}

void RecordingPortIo::out(std::uint16_t addr, std::uint8_t value) {
    log_.push_back({true, addr, value});
    if (inner_) inner_->out(addr, value);
}

std::vector<RecordingPortIo::Access> RecordingPortIo::writes() const {
    std::vector<Access> w;
    for (const Access& a : log_)
        if (a.write) w.push_back(a);
    return w;
}

}  // namespace zelmora::ports

#include "platform/ports/PosixSerialLines.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zelmora::ports {

PosixSerialLines::~PosixSerialLines() {
    close();
}

termios PosixSerialLines::configured(termios t) {
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    return t;
}

SerialLines::Status PosixSerialLines::open(const std::string& name) {
    close();
    const std::string path = devicePath(name);
    const int fd = sysOpen(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Status::OpenFailed;
    fd_ = fd;
    clearLines();  // first of all: the open raised both lines
    if (sysIoctl(fd_, TIOCEXCL, nullptr) != 0) {
        close();
        return Status::OpenFailed;
    }
    termios t{};
    if (sysTcgetattr(fd_, &t) != 0) {
        close();
        return Status::StateFailed;
    }
    const termios wanted = configured(t);
    if (sysTcsetattr(fd_, &wanted) != 0) {
        close();
        return Status::SetFailed;
    }
    // The lines' state at open is "both off"; a port without modem lines (a
    // pseudo-terminal) still opens and fails at the first press instead.
    clearLines();
    return Status::Ok;
}

bool PosixSerialLines::clearLines() {
    int bits = TIOCM_DTR | TIOCM_RTS;
    return sysIoctl(fd_, TIOCMBIC, &bits) == 0;
}

bool PosixSerialLines::setLines(bool dtr, bool rts) {
    if (fd_ < 0) return false;
    int bits = 0;
    if (sysIoctl(fd_, TIOCMGET, &bits) != 0) return false;
    bits &= ~(TIOCM_DTR | TIOCM_RTS);
    if (dtr) bits |= TIOCM_DTR;
    if (rts) bits |= TIOCM_RTS;
    return sysIoctl(fd_, TIOCMSET, &bits) == 0;
}

void PosixSerialLines::close() {
    if (fd_ < 0) return;
    sysClose(fd_);
    fd_ = -1;
}

int PosixSerialLines::sysOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int PosixSerialLines::sysIoctl(int fd, unsigned long request, int* arg) {
    return ::ioctl(fd, request, arg);
}
int PosixSerialLines::sysTcgetattr(int fd, termios* t) {
    return ::tcgetattr(fd, t);
}
int PosixSerialLines::sysTcsetattr(int fd, const termios* t) {
    return ::tcsetattr(fd, TCSANOW, t);
}
int PosixSerialLines::sysClose(int fd) {
    return ::close(fd);
}

}  // namespace zelmora::ports

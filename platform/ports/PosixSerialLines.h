#pragma once

#include <termios.h>

#include "platform/ports/SerialLines.h"

namespace zelmora::ports {

// A real serial port through termios and the modem-line ioctls. The port is
// opened exclusively at 9600 8N1 with every kind of flow control off (else the
// kernel drives RTS itself) and hang-up on close, so that the lines drop when
// the program closes the port or dies. Linux raises DTR and RTS when a port
// opens; they are cleared as the very first step, so the shutter sees at most
// a pulse of a few milliseconds.
class PosixSerialLines : public SerialLines {
public:
    ~PosixSerialLines() override;
    Status open(const std::string& name) override;
    bool setLines(bool dtr, bool rts) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    // The termios the port is given, from what it had.
    static termios configured(termios t);

protected:
    // The system calls, so that tests can watch the flags and bits.
    virtual int sysOpen(const char* path, int flags);
    virtual int sysIoctl(int fd, unsigned long request, int* arg);
    virtual int sysTcgetattr(int fd, termios* t);
    virtual int sysTcsetattr(int fd, const termios* t);
    virtual int sysClose(int fd);

private:
    bool clearLines();
    int fd_ = -1;
};

}  // namespace zelmora::ports

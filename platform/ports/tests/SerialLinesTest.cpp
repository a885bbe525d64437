#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/ports/PosixSerialLines.h"
#include "platform/ports/SerialLines.h"

using namespace zelmora::ports;

namespace {

TEST(SerialNamesTest, ComNamesMapToTheSerialDevicesAndOtherTextIsAPath) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"COM1", "/dev/ttyS0"},
        {"COM2:", "/dev/ttyS1"},
        {"COM12", "/dev/ttyS11"},
        {"com3", "/dev/ttyS2"},
        {"COM0", "COM0"},
        {"COM", "COM"},
        {"COM1x", "COM1x"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI-if00", "/dev/serial/by-id/usb-FTDI-if00"},
    };
    for (const auto& [name, path] : cases) EXPECT_EQ(devicePath(name), path) << name;
}

TEST(SerialNamesTest, UsbAdaptersAreListedByIdThenByNode) {
    QTemporaryDir dev;
    QDir(dev.path()).mkpath("serial/by-id");
    for (const char* n :
         {"ttyUSB1", "ttyACM0", "ttyUSB0", "ttyS0", "serial/by-id/usb-FTDI_X-if00"}) {
        QFile f(dev.filePath(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const std::string root = dev.path().toStdString();
    EXPECT_EQ(usbSerialDevices(root),
              (std::vector<std::string>{root + "/serial/by-id/usb-FTDI_X-if00", root + "/ttyACM0",
                                        root + "/ttyUSB0", root + "/ttyUSB1"}));
}

// The real back-end with its system calls watched.
class WatchedSerial : public PosixSerialLines {
public:
    std::vector<std::string> calls;
    termios applied{};
    int modem = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS;  // as the tty layer leaves them at open
    bool failGet = false;
    bool failSet = false;

protected:
    int sysOpen(const char* path, int flags) override {
        calls.push_back(std::string("open ") + path);
        EXPECT_TRUE(flags & O_NOCTTY);
        EXPECT_TRUE(flags & O_NONBLOCK);
        return 42;
    }
    int sysIoctl(int, unsigned long request, int* arg) override {
        if (request == TIOCEXCL) calls.push_back("exclusive");
        if (request == TIOCMBIC) {
            calls.push_back("clear lines");
            modem &= ~*arg;
        }
        if (request == TIOCMGET) *arg = modem;
        if (request == TIOCMSET) {
            calls.push_back("set lines");
            modem = *arg;
        }
        return 0;
    }
    int sysTcgetattr(int, termios* t) override {
        calls.push_back("get");
        *t = termios{};
        t->c_cflag = CRTSCTS;  // a port left with hardware flow control on
        t->c_iflag = IXON | IXOFF;
        return failGet ? -1 : 0;
    }
    int sysTcsetattr(int, const termios* t) override {
        calls.push_back("set");
        applied = *t;
        return failSet ? -1 : 0;
    }
    int sysClose(int) override {
        calls.push_back("close");
        return 0;
    }
};

TEST(PosixSerialTest, OpenClearsTheLinesFirstTakesThePortAloneAndTurnsFlowControlOff) {
    WatchedSerial port;
    ASSERT_EQ(port.open("COM2:"), SerialLines::Status::Ok);
    EXPECT_EQ(port.calls, (std::vector<std::string>{"open /dev/ttyS1", "clear lines", "exclusive",
                                                    "get", "set", "clear lines"}));
    EXPECT_EQ(port.applied.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(port.applied.c_cflag & HUPCL, 0u);
    EXPECT_NE(port.applied.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(port.applied.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(port.applied.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(cfgetospeed(&port.applied), speed_t(B9600));
    EXPECT_EQ(port.modem & (TIOCM_DTR | TIOCM_RTS), 0);

    ASSERT_TRUE(port.setLines(false, true));
    EXPECT_EQ(port.modem, TIOCM_RTS | TIOCM_CTS);
    ASSERT_TRUE(port.setLines(true, false));
    EXPECT_EQ(port.modem, TIOCM_DTR | TIOCM_CTS);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.setLines(true, true));
}

TEST(PosixSerialTest, ASettingsFailureClosesThePortWithItsOwnStatus) {
    WatchedSerial get;
    get.failGet = true;
    EXPECT_EQ(get.open("COM1"), SerialLines::Status::StateFailed);
    EXPECT_FALSE(get.isOpen());
    EXPECT_EQ(get.calls.back(), "close");
    WatchedSerial set;
    set.failSet = true;
    EXPECT_EQ(set.open("COM1"), SerialLines::Status::SetFailed);
    EXPECT_FALSE(set.isOpen());
}

// A pseudo-terminal opens like a port but has no modem lines: the lines cannot be set.
TEST(PosixSerialTest, OnAPseudoTerminalTheOpenWorksAndThePressIsRefused) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    PosixSerialLines port;
    ASSERT_EQ(port.open(name), SerialLines::Status::Ok);
    EXPECT_FALSE(port.setLines(false, true));
    port.close();
    EXPECT_EQ(port.open("/nonexistent/ttyX"), SerialLines::Status::OpenFailed);
    ::close(slave);
    ::close(master);
}

TEST(SimSerialTest, EitherLineHoldsTheContactAndClosingLetsGo) {
    std::vector<bool> contact;
    SimSerialLines port([&](bool c) { contact.push_back(c); });
    EXPECT_FALSE(port.setLines(true, false));  // not open
    ASSERT_EQ(port.open("anything"), SerialLines::Status::Ok);
    port.setLines(false, true);
    port.setLines(false, false);
    port.setLines(true, false);
    port.close();
    EXPECT_EQ(contact, (std::vector<bool>{true, false, true, false}));
}

}  // namespace

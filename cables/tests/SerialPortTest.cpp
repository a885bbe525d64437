#include <pty.h>
#include <unistd.h>

#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/tests/CableFixture.h"
#include "platform/ports/PosixSerialLines.h"
#include "shell/Globals.h"

using namespace zelmora;
using namespace zelmora::cables;
using namespace zelmora::cables::test;
using Lines = ports::FakeSerialLines::Lines;
using Status = ports::SerialLines::Status;

namespace {

const QString kWarning =
    QStringLiteral("Com Port COM2: not available. Check your serial port settings.");

class SerialPortTest : public CableTest {
protected:
    void SetUp() override {
        CableTest::SetUp();
        newTrace();
    }
    int warnings() const {
        int n = 0;
        for (const auto& s : testenv::dialogs().shown()) n += s.text == kWarning;
        return n;
    }
};

TEST_F(SerialPortTest, OpenLeavesBothLinesLowAndASecondOpenDoesNothing) {
    EXPECT_TRUE(SerialPort::OpenComPort());
    EXPECT_TRUE(state().bComPortOpen);
    EXPECT_EQ(serial->opened, std::vector<std::string>{"COM2:"});
    EXPECT_EQ(serial->lines(), (Lines{false, false}));
    EXPECT_TRUE(SerialPort::OpenComPort());
    EXPECT_EQ(serial->opened.size(), 1u);
}

TEST_F(SerialPortTest, AMissingPortGivesTheWarningNamingItAsTyped) {
    serial->openResults = {Status::OpenFailed};
    testenv::dialogs().expectMsgBox(kWarning);
    EXPECT_FALSE(SerialPort::OpenComPort());
    EXPECT_FALSE(state().bComPortOpen);
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(SerialPortTest, APortWhoseStateCannotBeReadIsClosedSilently) {
    serial->openResults = {Status::StateFailed};
    EXPECT_FALSE(SerialPort::OpenComPort());
    EXPECT_TRUE(testenv::dialogs().shown().empty());
}

TEST_F(SerialPortTest, EachSignalRaisesOnlyItsOwnLine) {
    for (const char* signal : {"RTS", "DTR"}) {
        cableSetup().ShutterSignal = signal;
        EXPECT_TRUE(SerialPort::SerialPress());
        const Lines pressed = serial->lines();
        EXPECT_EQ(pressed, (QString(signal) == "RTS" ? Lines{false, true} : Lines{true, false}))
            << signal;
        SerialPort::SerialRelease();
        EXPECT_EQ(serial->lines(), (Lines{false, false}));
    }
    EXPECT_EQ(newTrace(),
              (QStringList{"Shutter Triggered via serial", "Shutter Released via serial",
                           "Shutter Triggered via serial", "Shutter Released via serial"}));
}

TEST_F(SerialPortTest, AnUnknownSignalFailsLikeAPortFailureAndClosesThePort) {
    cableSetup().ShutterSignal = "CTS";
    testenv::dialogs().expectMsgBox(kWarning);
    EXPECT_FALSE(SerialPort::SerialPress());
    EXPECT_FALSE(serial->isOpen());
    EXPECT_FALSE(state().bComPortOpen);
    EXPECT_TRUE(newTrace().isEmpty());
}

// After a failed press the port is known to be closed: the next press opens
// it again instead of using the closed one, and the warning comes once a failure.
TEST_F(SerialPortTest, AfterAFailedPressTheNextPressReopens) {
    ASSERT_TRUE(SerialPort::OpenComPort());
    serial->failSetCount = 1;
    testenv::dialogs().expectMsgBox(kWarning);
    EXPECT_FALSE(SerialPort::SerialPress());
    EXPECT_FALSE(state().bComPortOpen);
    EXPECT_EQ(serial->closes, 1);
    EXPECT_TRUE(SerialPort::SerialPress());
    EXPECT_EQ(serial->opened.size(), 2u);
    EXPECT_EQ(serial->setCallsWhileClosed, 0);
    EXPECT_EQ(warnings(), 1);
}

TEST_F(SerialPortTest, TheDispatchedReleaseRunsTwiceWithAMessagePassBetween) {
    state().bSerialEnabled = true;
    ASSERT_TRUE(SerialPort::OpenComPort());
    newTrace();
    DSLRControl::ReleaseShutter();
    EXPECT_EQ(newTrace(),
              (QStringList{"--Releasing Serial shutter--", "Shutter Released via serial",
                           "Shutter Released via serial", "--Serial shutter Released--"}));
    EXPECT_EQ(pumps, 1);

    // With the port gone, each of the two releases tries to reopen and warns.
    SerialPort::CloseComPort();
    serial->openResults = {Status::OpenFailed, Status::OpenFailed};
    testenv::dialogs().expectMsgBox(kWarning).expectMsgBox(kWarning);
    DSLRControl::ReleaseShutter();
    EXPECT_EQ(warnings(), 2);
    EXPECT_EQ(newTrace(),
              (QStringList{"--Releasing Serial shutter--", "--Serial shutter Released--"}));
}

TEST_F(SerialPortTest, SettingsLoadWithDefaultsAndSaveAsText) {
    SerialPort::LoadSerialSettings();
    EXPECT_EQ(cableSetup().ComPort, "COM2:");
    EXPECT_EQ(cableSetup().ShutterSignal, "RTS");
    EXPECT_EQ(cableSetup().ShutterSignalValue, 1);
    EXPECT_FALSE(state().bSerialEnabled);

    const std::vector<std::pair<QString, bool>> enabled = {
        {"True", true}, {"true", true}, {"FALSE", false}, {"-1", true},
        {"0", false},   {"yes", false}, {"", false}};
    for (const auto& [text, value] : enabled) {
        Settings::save("Serialdata", "SerialEnabled", text);
        state().bSerialEnabled = !value;
        SerialPort::LoadSerialSettings();
        EXPECT_EQ(state().bSerialEnabled, value) << text.toStdString();
    }

    cableSetup().ComPort = "/dev/ttyUSB0";
    cableSetup().ShutterSignal = "DTR";
    cableSetup().ShutterSignalValue = 12;
    state().bSerialEnabled = true;
    SerialPort::SaveSerialSettings();
    EXPECT_EQ(Settings::get("Serialdata", "ComPort", ""), "/dev/ttyUSB0");
    EXPECT_EQ(Settings::get("Serialdata", "ShutterSignal", ""), "DTR");
    EXPECT_EQ(Settings::get("Serialdata", "ShutterSignalValue", ""), "12");
    EXPECT_EQ(Settings::get("Serialdata", "SerialEnabled", ""), "True");
    state().bSerialEnabled = false;
    SerialPort::SaveSerialSettings();
    EXPECT_EQ(Settings::get("Serialdata", "SerialEnabled", ""), "False");
}

}  // namespace

namespace {

// The real back-end on a pseudo-terminal, which opens like a port but has no
// modem lines: the press gives the warning, closes the port, and the next
// press opens it afresh.
TEST_F(SerialPortTest, OnAPseudoTerminalAPressWarnsAndClosesThePort) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    auto port = std::make_shared<ports::PosixSerialLines>();
    cableSetup().serial = port;
    cableSetup().ComPort = QString::fromLatin1(name);
    const QString warning =
        QStringLiteral("Com Port ") + name + " not available. Check your serial port settings.";
    ASSERT_TRUE(SerialPort::OpenComPort());
    EXPECT_TRUE(port->isOpen());
    testenv::dialogs().expectMsgBox(warning).expectMsgBox(warning);
    EXPECT_FALSE(SerialPort::SerialPress());
    EXPECT_FALSE(port->isOpen());
    EXPECT_FALSE(state().bComPortOpen);
    EXPECT_FALSE(SerialPort::SerialPress());
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_TRUE(newTrace().isEmpty());
    ::close(slave);
    ::close(master);
}

}  // namespace

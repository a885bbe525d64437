#include "cables/CableShutter.h"
#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "cables/tests/CableFixture.h"
#include "shell/Globals.h"

using namespace zelmora;
using namespace zelmora::cables;
using namespace zelmora::cables::test;
using Lines = ports::FakeSerialLines::Lines;

namespace {

class DispatchTest : public SppCableTest {
protected:
    // What reached each cable since the last look.
    std::string reached() {
        std::string r;
        if (!rec->writes().empty()) r += "parallel ";
        if (serial->history.size() > serialSeen_) r += "serial ";
        if (!hid->writes.empty()) r += "dsusb ";
        rec->clear();
        serialSeen_ = serial->history.size();
        hid->writes.clear();
        return r;
    }
    std::size_t serialSeen_ = 0;
};

TEST_F(DispatchTest, PressAndReleaseGoToTheCableInUse) {
    struct Case {
        const char* what;
        bool dsusbEnabled, boxObject, connected, serialEnabled;
        std::string cable;
        QStringList pressTrace, releaseTrace;
    };
    const QStringList dsusbPress = {"--Triggering DSUSB Shutter--", "--DSUSB Shutter Triggered --"};
    const QStringList dsusbRelease = {"--Releasing DSUSB shutter--", "-- DSUSB shutter Released--"};
    const QStringList serialPress = {"--Triggering Serial Shutter--",
                                     "Shutter Triggered via serial",
                                     "--Serial Shutter Triggered--"};
    const QStringList serialRelease = {"--Releasing Serial shutter--",
                                       "Shutter Released via serial", "Shutter Released via serial",
                                       "--Serial shutter Released--"};
    const QStringList parallelPress = {"--Pressing Parallel Shutter--",
                                       "Parallel Port State Bit0:0", "Shutter Pressed - Port = 0",
                                       "--Parallel Shutter Pressed--"};
    const QStringList parallelRelease = {
        "--Releasing Parallel shutter--", "Parallel Port State Bit0:1",
        "Shutter released - Port = 1", "--Parallel shutter released--"};
    const std::vector<Case> cases = {
        {"DSUSB present", true, true, true, false, "dsusb ", dsusbPress, dsusbRelease},
        {"DSUSB and serial: the box wins", true, true, true, true, "dsusb ", dsusbPress,
         dsusbRelease},
        {"DSUSB without its object", true, false, true, true, "", {}, {}},
        {"serial", false, false, false, true, "serial ", serialPress, serialRelease},
        {"parallel", false, false, false, false, "parallel ", parallelPress, parallelRelease},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        CableSetup& c = cableSetup();
        ProgramState& s = state();
        c.dropDSUSB();
        hid->unplug("/dev/hidraw0");
        plugBox();
        if (k.boxObject) c.createDSUSB();
        s.bDSUSBEnabled = k.dsusbEnabled;
        s.bDSUSBConnected = k.connected;
        s.bSerialEnabled = k.serialEnabled;
        reached();
        newTrace();
        DSLRControl::PressShutter();
        EXPECT_EQ(reached(), k.cable);
        EXPECT_EQ(newTrace(), k.pressTrace);
        DSLRControl::ReleaseShutter();
        EXPECT_EQ(reached(), k.cable);
        EXPECT_EQ(newTrace(), k.releaseTrace);
    }
}

// A press that closes no contact raises, saying why; with no cable set up at
// all the cable says so before any press, and a port chosen is heard at once.
TEST_F(DispatchTest, APressThatClosesNoContactSaysWhy) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString problem;  // before any press
        QString failure;  // "" when the press closed the contact
    };
    // Each case on a fresh set-up: the lambdas look the set-up up when they run.
    const std::vector<Case> cases = {
        {"a parallel port selected", [] {}, "", ""},
        {"no parallel port (fresh settings)",
         [] {
             cableSetup().PortTable[0] = {};
             cableSetup().selectPort(0);
         },
         DSLRControl::kNoCableText, DSLRControl::kNoCableText},
        {"the DSUSB box chosen but absent",
         [] {
             cableSetup().createDSUSB();
             state().bDSUSBEnabled = true;
             state().bDSUSBConnected = false;
         },
         "", "the DSUSB box is not connected"},
        {"the serial port chosen but failing",
         [this] {
             state().bSerialEnabled = true;
             serial->openResults = {ports::SerialLines::Status::OpenFailed};
             testenv::dialogs().expectMsgBox("not available");
         },
         "", "the serial port could not be driven"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        testenv::resetEnvironment();
        SetUp();
        CableShutter shutter;
        k.arrange();
        EXPECT_EQ(shutter.cableProblem(), k.problem);
        QString failure;
        try {
            shutter.PressShutter();
        } catch (const AppError& e) {
            failure = e.description();
        }
        EXPECT_EQ(failure, k.failure);
        shutter.ReleaseShutter();
    }

    CableShutter shutter;
    int heard = 0;
    shutter.setSetupListener([&] { ++heard; });
    cableSetup().selectPort(0);
    EXPECT_EQ(heard, 1);
    shutter.setSetupListener({});
    cableSetup().selectPort(0);
    EXPECT_EQ(heard, 1);
}

TEST_F(DispatchTest, TheBoxReleaseIsTheRelayThenTheRedLamp) {
    plugBox();
    cableSetup().createDSUSB();
    state().bDSUSBEnabled = state().bDSUSBConnected = true;
    DSLRControl::ReleaseShutter();
    ASSERT_EQ(hid->writes.size(), 2u);
    EXPECT_EQ(hid->writes[0].bytes[1], 0x00);
    EXPECT_EQ(hid->writes[0].bytes[2], 0x00);
    EXPECT_EQ(hid->writes[1].bytes[1], 0x30);
    EXPECT_EQ(hid->writes[1].bytes[2], 0x30);
}

// The box enabled but unplugged: a press does nothing at all, on no cable.
TEST_F(DispatchTest, APressWhileTheBoxIsUnpluggedDrivesNothing) {
    CableSetup& c = cableSetup();
    c.createDSUSB();
    c.oDSUSB()->oTimer_Timer();
    EXPECT_FALSE(state().bDSUSBConnected);
    state().bDSUSBEnabled = true;
    state().bSerialEnabled = true;
    DSLRControl::PressShutter();
    EXPECT_EQ(reached(), "");
    EXPECT_TRUE(newTrace().isEmpty());
    EXPECT_TRUE(testenv::dialogs().shown().empty());
}

// A release is sent even when the presence flag went stale during the
// exposure; the relay must not stay closed. The trace still follows the flag.
TEST_F(DispatchTest, TheBoxReleaseIsSentEvenWithAStaleFlag) {
    plugBox();
    CableSetup& c = cableSetup();
    c.createDSUSB();
    c.oDSUSB()->oTimer_Timer();
    ASSERT_TRUE(state().bDSUSBConnected);
    state().bDSUSBEnabled = true;
    DSLRControl::PressShutter();
    state().bDSUSBConnected = false;
    hid->writes.clear();
    newTrace();
    DSLRControl::ReleaseShutter();
    ASSERT_EQ(hid->writes.size(), 2u);
    EXPECT_EQ(hid->writes[0].bytes[1], 0x00);
    EXPECT_TRUE(newTrace().isEmpty());
}

TEST_F(DispatchTest, AFailingStepStillGetsItsClosingTraceLine) {
    state().bSerialEnabled = true;
    serial->openResults = {ports::SerialLines::Status::OpenFailed};
    testenv::dialogs().expectMsgBox("not available");
    DSLRControl::PressShutter();
    EXPECT_EQ(newTrace(),
              (QStringList{"--Triggering Serial Shutter--", "--Serial Shutter Triggered--"}));
}

TEST_F(DispatchTest, StartUpReadiesTheSavedCableAndShutdownLeavesItIdle) {
    ShutterCable::setInstance(std::make_shared<CableShutter>());
    // Parallel: the saved port selected and all its lines low.
    Settings::save("lptdata", "Port1Address", "888");
    Settings::save("lptdata", "Port1Enabled", "-1");
    Settings::save("lptdata", "IndexOfSelectedPort", "1");
    bus->out(0x378, 0xFF);
    ShutterCable::instance().InitShutterPort();
    EXPECT_EQ(cableSetup().BaseAddress, 0x378);
    EXPECT_EQ(bus->dataLatch(0x378), 0);
    EXPECT_EQ(newTrace().last(), "Ports Cleared. D0 - D7 = 0");
    DSLRControl::PressShutter();
    ShutterCable::instance().releaseToIdle();
    EXPECT_EQ(bus->dataLatch(0x378), 0);
    cableSetup().FullPressPin = 4;
    ShutterCable::instance().SavePortSetup();
    EXPECT_EQ(Settings::get("lptdata", "FullPressPina", ""), "4");

    // Serial: the port opened with both lines low.
    Settings::save("Serialdata", "SerialEnabled", "True");
    ShutterCable::instance().InitShutterPort();
    EXPECT_TRUE(state().bComPortOpen);
    EXPECT_EQ(serial->lines(), (Lines{false, false}));
    DSLRControl::PressShutter();
    EXPECT_EQ(serial->lines(), (Lines{false, true}));
    ShutterCable::instance().releaseToIdle();
    EXPECT_EQ(serial->lines(), (Lines{false, false}));
    ShutterCable::instance().CloseComPort();
    EXPECT_FALSE(state().bComPortOpen);
    EXPECT_FALSE(serial->isOpen());
}

// The ways out (a Stop, a window closing, a destructor, shutdown) drop the
// shutter line without a pass of the event loop and without a message box:
// nothing runs under their callers. A port that fails then is traced and closed.
TEST_F(DispatchTest, TheWaysOutLetGoWithoutLettingEventsRun) {
    struct Case {
        const char* what;
        bool serialCable;
        bool portFails;
        bool shutdown;  // releaseToIdle, else releaseAtOnce
    };
    const Case cases[] = {
        {"serial", true, false, false},
        {"parallel", false, false, false},
        {"serial at shutdown", true, false, true},
        {"parallel at shutdown", false, false, true},
        {"a serial port that fails", true, true, false},
    };
    ShutterCable::setInstance(std::make_shared<CableShutter>());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        state().bSerialEnabled = k.serialCable;
        if (k.serialCable) ASSERT_TRUE(SerialPort::OpenComPort());
        ASSERT_TRUE(DSLRControl::PressShutter());
        ASSERT_TRUE(cableSetup().pressed);
        pumps = 0;
        if (k.portFails) serial->failSetCount = 2;
        newTrace();
        if (k.shutdown)
            ShutterCable::instance().releaseToIdle();
        else
            ShutterCable::instance().releaseAtOnce();
        EXPECT_EQ(pumps, 0);
        EXPECT_TRUE(testenv::dialogs().shown().empty());
        EXPECT_FALSE(cableSetup().pressed);
        if (k.serialCable) {
            EXPECT_EQ(serial->lines(), (Lines{false, false}));
            EXPECT_EQ(newTrace().contains("Com Port COM2: not available: shutter line not dropped"),
                      k.portFails);
            EXPECT_EQ(serial->isOpen(), !k.portFails);
        } else {
            EXPECT_EQ(bus->dataLatch(0x378), 0);
            EXPECT_FALSE(cableSetup().parallelHeld);
        }
        SerialPort::CloseComPort();
    }
}

TEST_F(DispatchTest, AFailedSerialOpenAtStartUpWarnsOnce) {
    Settings::save("Serialdata", "SerialEnabled", "True");
    serial->openResults = {ports::SerialLines::Status::OpenFailed};
    testenv::dialogs().expectMsgBox("not available");
    DSLRControl::InitShutterPort();
    EXPECT_EQ(testenv::dialogs().shown().size(), 1u);
    EXPECT_FALSE(state().bComPortOpen);
}

// The saved DSUSB choice holds after a restart on either cable path.
TEST_F(DispatchTest, StartUpArmsTheBoxFromItsSettingOnBothPaths) {
    ShutterCable::setInstance(std::make_shared<CableShutter>());
    Settings::save("DSUSB", "Enabled", "1");
    for (const char* serialEnabled : {"True", "False"}) {
        SCOPED_TRACE(serialEnabled);
        ShutterCable::instance().releaseDSUSB();
        state().bDSUSBEnabled = false;
        Settings::save("Serialdata", "SerialEnabled", serialEnabled);
        ShutterCable::instance().InitShutterPort();
        EXPECT_TRUE(state().bDSUSBEnabled);
        EXPECT_TRUE(ShutterCable::instance().hasDSUSB());
    }
    ShutterCable::instance().releaseDSUSB();
    EXPECT_FALSE(ShutterCable::instance().hasDSUSB());
    EXPECT_FALSE(state().bDSUSBConnected);
}

// With the set-up window open, its edits are not replaced by the saved set-up.
TEST_F(DispatchTest, StartUpKeepsUnsavedEditsWhileTheSetupWindowIsOpen) {
    CableSetup& c = cableSetup();
    Settings::save("lptdata", "FullPressPina", "2");
    Settings::save("Serialdata", "ComPort", "COM5");
    Settings::save("DSUSB", "Enabled", "1");
    c.setupOpen = true;
    c.FullPressPin = 6;
    c.ComPort = "/dev/ttyUSB0";
    DSLRControl::InitShutterPort();
    EXPECT_EQ(c.FullPressPin, 6);
    EXPECT_EQ(c.ComPort, "/dev/ttyUSB0");
    EXPECT_EQ(c.oDSUSB(), nullptr);  // switched off in the open window
    c.setupOpen = false;
    DSLRControl::InitShutterPort();
    EXPECT_EQ(c.FullPressPin, 2);
    EXPECT_EQ(c.ComPort, "COM5");
}

}  // namespace

namespace {

// What the capture window uses: the box's state and reports, press and release.
TEST_F(DispatchTest, TheCaptureWindowFollowsTheBoxAndWorksTheShutterThroughTheInterface) {
    ShutterCable::setInstance(std::make_shared<CableShutter>());
    ShutterCable& cable = ShutterCable::instance();
    std::vector<bool> heard;
    cable.setDSUSBListener([&](bool present) { heard.push_back(present); });
    cable.CheckState();  // no box object yet: nothing happens
    plugBox();
    cableSetup().createDSUSB();
    state().bDSUSBEnabled = true;
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_TRUE(cable.dsusbConnected());
    cable.CheckState();
    testenv::vclock().advance(dsusb::kPollMs);
    hid->unplug("/dev/hidraw0");
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_EQ(heard, (std::vector<bool>{true, true, false}));
    EXPECT_FALSE(cable.dsusbConnected());
    cable.setDSUSBListener({});
    plugBox();
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_EQ(heard.size(), 3u);

    state().bDSUSBEnabled = false;
    cable.PressShutter();
    EXPECT_EQ(bus->dataLatch(0x378), 1);
    cable.ReleaseShutter();
    EXPECT_EQ(bus->dataLatch(0x378), 0);
    bus->out(0x378, 0xF0);
    cable.ClearDataPort();
    EXPECT_EQ(bus->dataLatch(0x378), 0);
}

}  // namespace

#include "cables/DSLRControl.h"

#include "cables/CableSetup.h"
#include "cables/PPUtils.h"
#include "cables/PPortControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::cables::DSLRControl {

namespace {

void trace(const char* text) {
    Globals::WriteLogLine(QString::fromLatin1(text));
}

// A parallel operation needs a port the program may drive: with none selected
// (base 0) nothing is read or written, not even the register's value.
bool parallelPortUsable() {
    const std::uint16_t base = cableSetup().BaseAddress;
    if (validBaseAddress(base)) return true;
    Globals::WriteLogLine(QStringLiteral("No parallel port selected (address ") +
                          QString::number(base, 16).toUpper() +
                          QStringLiteral("h): shutter line not driven"));
    return false;
}

}  // namespace

QString cableProblem() {
    const ProgramState& s = state();
    if (s.bDSUSBEnabled || s.bSerialEnabled) return {};
    return validBaseAddress(cableSetup().BaseAddress) ? QString() : kNoCableText;
}

bool PressShutter() {
    ProgramState& s = state();
    CableSetup& c = cableSetup();
    c.pressed = true;
    bool closed = false;
    if (s.bDSUSBEnabled) {
        if (c.oDSUSB() && s.bDSUSBConnected) {
            guarded([] { trace("--Triggering DSUSB Shutter--"); });
            closed = guarded([&] { c.oDSUSB()->pressShutter(); });
            guarded([] { trace("--DSUSB Shutter Triggered --"); });
        }
    } else if (s.bSerialEnabled) {
        guarded([] { trace("--Triggering Serial Shutter--"); });
        guarded([&] { closed = SerialPort::SerialPress(); });
        guarded([] { trace("--Serial Shutter Triggered--"); });
    } else {
        guarded([] { trace("--Pressing Parallel Shutter--"); });
        guarded([&] { closed = ParallelPress(); });
        guarded([] { trace("--Parallel Shutter Pressed--"); });
    }
    return closed;
}

namespace {

void release(bool atOnce) {
    ProgramState& s = state();
    CableSetup& c = cableSetup();
    c.pressed = false;
    if (s.bDSUSBEnabled) {
        if (!c.oDSUSB()) return;
        // The release is sent even when the box was last seen absent (a stale
        // flag must not leave the relay closed); the command finds the box
        // itself and is dropped when it is not there. The trace follows the flag.
        const bool traced = s.bDSUSBConnected;
        if (traced) guarded([] { trace("--Releasing DSUSB shutter--"); });
        guarded([&] { c.oDSUSB()->releaseshutter(); });
        guarded([&] {
            if (c.oDSUSB()) c.oDSUSB()->RedLedOn();
        });
        if (traced) guarded([] { trace("-- DSUSB shutter Released--"); });
    } else if (s.bSerialEnabled) {
        guarded([] { trace("--Releasing Serial shutter--"); });
        guarded([&] { SerialPort::SerialRelease(atOnce); });
        if (!atOnce) guarded([&] { platform::passEvents(); });
        guarded([&] { SerialPort::SerialRelease(atOnce); });
        guarded([] { trace("--Serial shutter Released--"); });
    } else {
        guarded([] { trace("--Releasing Parallel shutter--"); });
        guarded([&] { ParallelRelease(atOnce); });
        guarded([] { trace("--Parallel shutter released--"); });
    }
}

}  // namespace

void ReleaseShutter() {
    release(false);
}

void ReleaseShutterAtOnce() {
    release(true);
}

void ClearDataPort() {
    CableSetup& c = cableSetup();
    ++c.parallelReleaseCount;
    c.parallelHeld = false;
    if (validBaseAddress(c.BaseAddress)) PPUtils::WriteDataPort(c.BaseAddress, 0);
    Globals::WriteLogLine(QStringLiteral("Ports Cleared. D0 - D7 = 0"));
}

bool ParallelPress() {
    ProgramState& s = state();
    CableSetup& c = cableSetup();
    s.bReleaseInProgress = true;
    if (!parallelPortUsable()) return false;
    const std::uint64_t mine = ++c.parallelPressCount;
    const std::uint64_t releases = c.parallelReleaseCount;
    const std::uint16_t base = c.BaseAddress;
    std::int32_t v = PPUtils::ReadDataPort(base);
    QString message;
    if (PPUtils::LogBitState(v, c.FullPressPin) == 0) {
        PPUtils::ToggleBit(v, c.FullPressPin);
        PPUtils::WriteDataPort(base, v);
        c.parallelHeld = true;
        platform::passEvents();
        // A release (a Stop) handled in that pass has cleared the line: the
        // second write must not put the old value back.
        if (c.parallelReleaseCount == releases && c.parallelPressCount == mine)
            PPUtils::WriteDataPort(base, v);
        message = QStringLiteral("Shutter Pressed - Port = 0");
    } else {
        c.parallelHeld = true;
        message = QStringLiteral("Shutter Not Pressed - Port <> 0");
    }
    Globals::WriteLogLine(message);
    platform::passEvents();
    s.bReleaseInProgress = true;
    return true;
}

void ParallelRelease(bool atOnce) {
    ProgramState& s = state();
    CableSetup& c = cableSetup();
    s.bReleaseInProgress = true;
    if (!parallelPortUsable()) {
        s.bReleaseInProgress = false;
        return;
    }
    const std::uint64_t mine = ++c.parallelReleaseCount;
    const std::uint64_t presses = c.parallelPressCount;
    const std::uint16_t base = c.BaseAddress;
    std::int32_t v = PPUtils::ReadDataPort(base);
    QString message;
    if (PPUtils::LogBitState(v, c.FullPressPin) == 1) {
        PPUtils::ToggleBit(v, c.FullPressPin);
        PPUtils::WriteDataPort(base, v);
        c.parallelHeld = false;
        if (!atOnce) platform::passEvents();
        if (c.parallelPressCount == presses && c.parallelReleaseCount == mine)
            PPUtils::WriteDataPort(base, v);
        message = QStringLiteral("Shutter released - Port = 1");
    } else {
        c.parallelHeld = false;
        message = QStringLiteral("Shutter NOT released Port <> 1");
    }
    Globals::WriteLogLine(message);
    if (!atOnce) platform::passEvents();
    s.bReleaseInProgress = false;
}

void InitShutterPort() {
    ProgramState& s = state();
    CableSetup& c = cableSetup();
    // With the set-up window open, its unsaved edits are the set-up in force.
    if (!c.setupOpen) guarded([] { SerialPort::LoadSerialSettings(); });
    // The saved DSUSB choice holds whichever cable path follows (the window's
    // switch, while it is open).
    if (!c.setupOpen)
        guarded([&] {
            const bool armed = Settings::getInt(QStringLiteral("DSUSB"), QStringLiteral("Enabled"),
                                                QStringLiteral("0")) != 0;
            if (armed) {
                s.bDSUSBEnabled = true;
                if (!c.oDSUSB())
                    c.createDSUSB();
                else
                    c.oDSUSB()->CheckState();
            }
        });
    if (s.bSerialEnabled) {
        guarded([&] { s.bComPortOpen = SerialPort::OpenComPort(); });
        // A failed open has given its warning; a release on it would give a second one.
        if (s.bComPortOpen) guarded([] { SerialPort::SerialRelease(); });
    } else {
        guarded([] { LoadParallelSetup(); });
        guarded([] { ClearDataPort(); });
    }
}

void LoadParallelSetup() {
    CableSetup& c = cableSetup();
    if (!c.setupOpen) guarded([] { PPortControl::LoadPortSettings(); });
    guarded([&] { c.selectPort(c.IndexOfSelectedPort); });
}

void SavePortSetup() {
    PPortControl::SavePortSettings();
}

}  // namespace zelmora::cables::DSLRControl

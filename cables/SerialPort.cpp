#include "cables/SerialPort.h"

#include "cables/CableSetup.h"
#include "platform/os/Dialogs.h"
#include "platform/ports/SerialLines.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::cables::SerialPort {

namespace {

const QString kSection = QStringLiteral("Serialdata");

void warnNotAvailable() {
    // The dialog service brackets the box with bMsgBoxShowing.
    platform::Dialogs::msgBox(
        QStringLiteral("Com Port ") + cableSetup().ComPort +
            QStringLiteral(" not available. Check your serial port settings."),
        platform::Msg::Exclamation);
}

// The port fails: the one warning, then closed and known to be closed.
void failAndClose() {
    warnNotAvailable();
    CloseComPort();
}

bool portOpen() {
    const CableSetup& c = cableSetup();
    return state().bComPortOpen && c.serial && c.serial->isOpen();
}

// The port to use for a press or release: the open one, or opened now.
bool ensureOpen() {
    if (portOpen()) return true;
    state().bComPortOpen = false;
    return OpenComPort();
}

}  // namespace

void LoadSerialSettings() {
    CableSetup& c = cableSetup();
    guarded([&] {
        c.ComPort = Settings::get(kSection, QStringLiteral("ComPort"), QStringLiteral("COM2:"));
    });
    guarded([&] {
        c.ShutterSignal =
            Settings::get(kSection, QStringLiteral("ShutterSignal"), QStringLiteral("RTS"));
    });
    guarded([&] {
        c.ShutterSignalValue = Conv::parseInt32(
            Settings::get(kSection, QStringLiteral("ShutterSignalValue"), QStringLiteral("1")));
    });
    // "True"/"False" in any case, or a number; anything else is False.
    bool enabled = false;
    guarded([&] {
        enabled = Conv::parseBool(
            Settings::get(kSection, QStringLiteral("SerialEnabled"), QStringLiteral("False")));
    });
    state().bSerialEnabled = enabled;
}

void SaveSerialSettings() {
    CableSetup& c = cableSetup();
    Settings::save(kSection, QStringLiteral("ComPort"), c.ComPort);
    Settings::save(kSection, QStringLiteral("ShutterSignal"), c.ShutterSignal);
    Settings::saveInt(kSection, QStringLiteral("ShutterSignalValue"), c.ShutterSignalValue);
    Settings::saveBool(kSection, QStringLiteral("SerialEnabled"), state().bSerialEnabled);
}

bool OpenComPort() {
    CableSetup& c = cableSetup();
    if (state().bComPortOpen) return true;
    state().bComPortOpen = false;
    bool ok = false;
    const bool ran = guarded([&] {
        if (!c.serial) throw AppError(AppError::kPathNotFound, "SerialPort", "No serial port");
        switch (c.serial->open(c.ComPort.toStdString())) {
            case ports::SerialLines::Status::Ok:
                ok = true;
                break;
            case ports::SerialLines::Status::StateFailed:
                c.serial->close();
                break;
            case ports::SerialLines::Status::OpenFailed:
            case ports::SerialLines::Status::SetFailed:
                c.serial->close();
                warnNotAvailable();
                break;
        }
    });
    if (!ran) warnNotAvailable();
    state().bComPortOpen = ok;
    return ok;
}

bool SerialPress() {
    CableSetup& c = cableSetup();
    if (!ensureOpen()) return false;  // the open gave its own warning
    bool dtr = false, rts = false;
    if (c.ShutterSignal == QLatin1String("RTS"))
        rts = true;
    else if (c.ShutterSignal == QLatin1String("DTR"))
        dtr = true;
    else {
        failAndClose();  // an unknown line fails as a port failure does
        return false;
    }
    if (!c.serial->setLines(dtr, rts)) {
        failAndClose();
        return false;
    }
    Globals::WriteLogLine(QStringLiteral("Shutter Triggered via serial"));
    return true;
}

void SerialRelease(bool atOnce) {
    CableSetup& c = cableSetup();
    // At once, a port that is not open stays closed: closing it dropped its lines.
    if (atOnce ? !portOpen() : !ensureOpen()) return;
    if (!c.serial->setLines(false, false)) {
        if (!atOnce) return failAndClose();
        Globals::WriteLogLine(QStringLiteral("Com Port ") + c.ComPort +
                              QStringLiteral(" not available: shutter line not dropped"));
        return CloseComPort();
    }
    Globals::WriteLogLine(QStringLiteral("Shutter Released via serial"));
}

void CloseComPort() {
    state().bComPortOpen = false;
    CloseComHandle();
}

void CloseComHandle() {
    CableSetup& c = cableSetup();
    if (c.serial) c.serial->close();
}

}  // namespace zelmora::cables::SerialPort

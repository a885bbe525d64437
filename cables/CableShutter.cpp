#include "cables/CableShutter.h"

#include "cables/CableSetup.h"
#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "platform/core/AppError.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::cables {

void CableShutter::InitShutterPort() {
    DSLRControl::InitShutterPort();
}

void CableShutter::SavePortSetup() {
    DSLRControl::SavePortSetup();
}

void CableShutter::CloseComPort() {
    SerialPort::CloseComPort();
}

void CableShutter::releaseToIdle() {
    CableSetup& c = cableSetup();
    // The program is closing around this: nothing may run under it.
    if (c.pressed || c.parallelHeld) guarded([] { DSLRControl::ReleaseShutterAtOnce(); });
}

bool CableShutter::hasDSUSB() const {
    return cableSetup().oDSUSB() != nullptr;
}

void CableShutter::releaseDSUSB() {
    cableSetup().dropDSUSB();
}

bool CableShutter::dsusbConnected() const {
    return state().bDSUSBConnected;
}

void CableShutter::CheckState() {
    if (dsusb* box = cableSetup().oDSUSB()) box->CheckState();
}

void CableShutter::setDSUSBListener(std::function<void(bool connected)> listener) {
    cableSetup().dsusbListener = std::move(listener);
}

QString CableShutter::cableProblem() const {
    return DSLRControl::cableProblem();
}

void CableShutter::setSetupListener(std::function<void()> listener) {
    QObject::disconnect(setupListener_);
    setupListener_ = {};
    if (listener) setupListener_ = QObject::connect(&cableSetup(), &CableSetup::changed, listener);
}

void CableShutter::PressShutter() {
    if (DSLRControl::PressShutter()) return;
    const ProgramState& s = state();
    QString why = DSLRControl::cableProblem();
    if (why.isEmpty())
        why = s.bDSUSBEnabled    ? QStringLiteral("the DSUSB box is not connected")
              : s.bSerialEnabled ? QStringLiteral("the serial port could not be driven")
                                 : QStringLiteral("the parallel port could not be driven");
    Globals::WriteLogLine(QStringLiteral("Shutter not pressed: ") + why);
    throw AppError(AppError::kInvalidProcedureCall, QStringLiteral("PressShutter"), why);
}

void CableShutter::ReleaseShutter() {
    DSLRControl::ReleaseShutter();
}

void CableShutter::ClearDataPort() {
    DSLRControl::ClearDataPort();
}

void CableShutter::releaseAtOnce() {
    DSLRControl::ReleaseShutterAtOnce();
}

void installCables() {
    cableSetup().useSimulated(simulatedCablesChoice());
    ShutterCable::setInstance(std::make_shared<CableShutter>());
}

}  // namespace zelmora::cables

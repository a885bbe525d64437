#include "cables/CableShutter.h"

#include "cables/CableSetup.h"
#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "shell/Errors.h"
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
    if (c.pressed || c.parallelHeld) guarded([] { DSLRControl::ReleaseShutter(); });
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

void CableShutter::PressShutter() {
    DSLRControl::PressShutter();
}

void CableShutter::ReleaseShutter() {
    DSLRControl::ReleaseShutter();
}

void CableShutter::ClearDataPort() {
    DSLRControl::ClearDataPort();
}

void installCables() {
    cableSetup().useSimulated(simulatedCablesChoice());
    ShutterCable::setInstance(std::make_shared<CableShutter>());
}

}  // namespace zelmora::cables

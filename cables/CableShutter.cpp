#include "cables/CableShutter.h"

#include "cables/CableSetup.h"
#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "shell/Errors.h"

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

void installCables() {
    cableSetup().useSimulated(simulatedCablesChoice());
    ShutterCable::setInstance(std::make_shared<CableShutter>());
}

}  // namespace zelmora::cables

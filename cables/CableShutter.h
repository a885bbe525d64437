#pragma once

#include "shell/Neighbours.h"

namespace zelmora::cables {

// The cables as the rest of the program calls them.
class CableShutter : public ShutterCable {
public:
    void InitShutterPort() override;
    void SavePortSetup() override;
    void CloseComPort() override;
    void releaseToIdle() override;
    bool hasDSUSB() const override;
    void releaseDSUSB() override;
};

// Installs the cables at program start: the hardware chosen (real or
// simulated) and this program's ShutterCable.
void installCables();

}  // namespace zelmora::cables

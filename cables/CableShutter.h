#pragma once

#include <QMetaObject>

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
    bool dsusbConnected() const override;
    void CheckState() override;
    void setDSUSBListener(std::function<void(bool connected)> listener) override;
    QString cableProblem() const override;
    void setSetupListener(std::function<void()> listener) override;
    // Raises AppError, saying why, when no contact closed.
    void PressShutter() override;
    void ReleaseShutter() override;
    void ClearDataPort() override;
    void releaseAtOnce() override;

private:
    QMetaObject::Connection setupListener_;
};

// Installs the cables at program start: the hardware chosen (real or
// simulated) and this program's ShutterCable.
void installCables();

}  // namespace zelmora::cables

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace zelmora::ports {
class PortIo;
class SerialLines;
class HidTransport;
class SimParallelBus;
class SimulatedDsusb;
}  // namespace zelmora::ports

namespace zelmora::cables {

class dsusb;

// One slot of the parallel port table ("LPT1", "LPT2", "LPT3", "User").
struct PortSlot {
    std::uint16_t Address = 0;  // 0: no port
    QString Type;               // "ECP", "EPP", "PS/2", "SPP" or ""
    QString EcpModeName;
    std::int16_t EcpMode = 0;
    bool Enabled = false;
};

// Base addresses the program drives: above the system board's devices, and
// low enough that the extended control register (base + 0x402) is a 16-bit address.
constexpr std::uint16_t kMinBaseAddress = 0x100;
constexpr std::uint16_t kMaxBaseAddress = 0xFBFD;
bool validBaseAddress(long long address);

// The cable set-up: the hardware in use, the port table, the chosen lines and
// the DSUSB box object. One instance, owned by the program; the set-up windows
// are views of it. The program-wide flags (bSerialEnabled, bDSUSBEnabled,
// bDSUSBConnected, bComPortOpen, bReleaseInProgress) stay in ProgramState.
class CableSetup : public QObject {
    Q_OBJECT
public:
    CableSetup();
    ~CableSetup() override;

    // Hardware. By default the simulated devices, wired to the simulated camera.
    std::shared_ptr<ports::PortIo> io;
    std::shared_ptr<ports::SerialLines> serial;
    std::shared_ptr<ports::HidTransport> hid;
    bool simulated() const { return simulated_; }
    // Switches between the real devices and the simulated ones, letting go of
    // the shutter and closing what the old ones held first.
    void useSimulated(bool on);
    // The simulated devices of the last useSimulated(true).
    std::shared_ptr<ports::SimParallelBus> simBus() const { return simBus_; }
    std::shared_ptr<ports::SimulatedDsusb> simBox() const { return simBox_; }

    // Parallel port.
    std::array<PortSlot, 4> PortTable{};
    std::int16_t IndexOfSelectedPort = 0;
    std::uint16_t BaseAddress = 0;
    std::uint16_t EcrAddress = 0;
    std::uint16_t EcrData = 0;
    std::int16_t FullPressPin = 0;
    std::int16_t HalfPressPin = 1;
    // Chooses slot i as the port in use (the port option's click).
    void selectPort(int i);
    // Changes the shutter line; refused (false) while the shutter is held on the
    // old line, which would otherwise stay high.
    bool setFullPressPin(int pin);

    // Serial port.
    QString ComPort = QStringLiteral("COM2:");
    QString ShutterSignal = QStringLiteral("RTS");
    std::int32_t ShutterSignalValue = 1;

    // The DSUSB box object (oDSUSB), from the moment the box is enabled.
    dsusb* oDSUSB() const { return box_.get(); }
    dsusb* createDSUSB();
    void dropDSUSB();

    // The one outside listener to the box's reports (the capture window):
    // true for connected, false for disconnected.
    std::function<void(bool connected)> dsusbListener;

    // The press in force: which lines the program holds now.
    bool parallelHeld = false;
    bool pressed = false;
    // Bumped by every parallel press, release and clear: a write held over a
    // message pass is not repeated once another one has run in between.
    std::uint64_t parallelPressCount = 0;
    std::uint64_t parallelReleaseCount = 0;

    // The set-up window is open and may hold edits not saved yet.
    bool setupOpen = false;

    // Views refresh on these.
    void notifyChanged() { emit changed(); }

signals:
    void changed();
    void connected();
    void disconnected();

private:
    bool simulated_ = false;
    std::shared_ptr<ports::SimParallelBus> simBus_;
    std::shared_ptr<ports::SimulatedDsusb> simBox_;
    std::unique_ptr<dsusb> box_;
};

// The program's cable set-up (made on first use, new for every test).
CableSetup& cableSetup();

// Which hardware the program starts with: "DSLRControl"/"SimulatedCables" when
// stored, otherwise the simulated cables unless a real one is found (a usable
// /dev/port, a DSUSB box, a USB serial adapter).
bool simulatedCablesChoice();

}  // namespace zelmora::cables

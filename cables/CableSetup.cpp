#include "cables/CableSetup.h"

#include "cables/DSLRControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "platform/os/SettingsStore.h"
#include "platform/ports/HidrawTransport.h"
#include "platform/ports/PortIo.h"
#include "platform/ports/PortsTrace.h"
#include "platform/ports/PosixSerialLines.h"
#include "platform/ports/SerialLines.h"
#include "platform/ports/SimContact.h"
#include "platform/ports/SimParallelBus.h"
#include "platform/ports/SimulatedDsusb.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora::cables {

bool validBaseAddress(long long address) {
    return address >= kMinBaseAddress && address <= kMaxBaseAddress;
}

namespace {

void installDevices(CableSetup& c, bool simulated, std::shared_ptr<ports::SimParallelBus>& bus,
                    std::shared_ptr<ports::SimulatedDsusb>& box) {
    if (simulated) {
        bus = ports::SimParallelBus::standard([&c] { return int(c.FullPressPin); },
                                              ports::skyContact());
        box = std::make_shared<ports::SimulatedDsusb>(ports::skyContact());
        c.io = bus;
        c.serial = std::make_shared<ports::SimSerialLines>(ports::skyContact());
        c.hid = box;
    } else {
        bus.reset();
        box.reset();
        c.io = std::make_shared<ports::DevPortIo>();
        c.serial = std::make_shared<ports::PosixSerialLines>();
        c.hid = std::make_shared<ports::HidrawTransport>();
    }
}

}  // namespace

CableSetup::CableSetup() {
    simulated_ = true;
    installDevices(*this, true, simBus_, simBox_);
}

CableSetup::~CableSetup() {
    box_.reset();
    if (serial) serial->close();
}

void CableSetup::useSimulated(bool on) {
    if (pressed) guarded([] { DSLRControl::ReleaseShutter(); });
    guarded([] { SerialPort::CloseComPort(); });
    if (box_) {
        box_->disconnect();
        box_->CheckState();
    }
    simulated_ = on;
    installDevices(*this, on, simBus_, simBox_);
    Globals::WriteLogLine(on ? QStringLiteral("Shutter cables: simulated")
                             : QStringLiteral("Shutter cables: hardware"));
    emit changed();
}

void CableSetup::selectPort(int i) {
    if (i < 0 || i > 3) return;
    IndexOfSelectedPort = std::int16_t(i);
    BaseAddress = PortTable[std::size_t(i)].Address;
    EcrAddress = std::uint16_t(BaseAddress + 0x402u);
    emit changed();
}

bool CableSetup::setFullPressPin(int pin) {
    if (pin < 0 || pin > 7) return false;
    if (pin != FullPressPin && parallelHeld) return false;
    FullPressPin = std::int16_t(pin);
    return true;
}

dsusb* CableSetup::createDSUSB() {
    box_ = std::make_unique<dsusb>([this] { return hid.get(); });
    QObject::connect(box_.get(), &dsusb::connected, this, [this] {
        state().bDSUSBConnected = true;
        emit connected();
        if (dsusbListener) {
            auto listener = dsusbListener;  // it may replace itself
            listener(true);
        }
    });
    QObject::connect(box_.get(), &dsusb::disconnected, this, [this] {
        state().bDSUSBConnected = false;
        emit disconnected();
        if (dsusbListener) {
            auto listener = dsusbListener;
            listener(false);
        }
    });
    return box_.get();
}

void CableSetup::dropDSUSB() {
    if (!box_) return;
    box_->QObject::disconnect(this);
    box_.reset();
    state().bDSUSBConnected = false;
}

namespace {
std::unique_ptr<CableSetup>& setupSlot() {
    static std::unique_ptr<CableSetup> slot;
    return slot;
}
}  // namespace

CableSetup& cableSetup() {
    static const bool hooked = [] {
        ports::setTraceSink(
            [](const std::string& line) { Globals::WriteLogLine(QString::fromStdString(line)); });
        addResetHook([] { setupSlot().reset(); });
        return true;
    }();
    (void)hooked;
    if (!setupSlot()) setupSlot() = std::make_unique<CableSetup>();
    return *setupSlot();
}

bool simulatedCablesChoice() {
    const QString key = QStringLiteral("SimulatedCables");
    if (platform::settings().contains(kAppName, QStringLiteral("DSLRControl"), key)) {
        bool on = true;
        if (guarded([&] {
                on = Settings::getBool(QStringLiteral("DSLRControl"), key, QStringLiteral("True"));
            }))
            return on;
    }
    const bool hardware = ports::DevPortIo::available() ||
                          ports::HidrawTransport().present(dsusb::kVendor, dsusb::kProduct) ||
                          !ports::usbSerialDevices().empty();
    return !hardware;
}

}  // namespace zelmora::cables

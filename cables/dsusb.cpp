#include "cables/dsusb.h"

namespace zelmora::cables {

dsusb::dsusb(std::function<ports::HidTransport*()> transport, QObject* parent)
    : QObject(parent), transport_(std::move(transport)) {
    connect(&oTimer, &platform::Timer::timeout, this, &dsusb::oTimer_Timer);
    oTimer.setInterval(kPollMs);
    oTimer.setEnabled(true);
    PollState_ = -1;
}

dsusb::~dsusb() {
    oTimer.setEnabled(false);
    disconnect();
}

void dsusb::disconnect() {
    // The handle goes; a later command finds the box afresh instead of using it.
    HIDHandle.reset();
    DeviceFound_ = false;
}

void dsusb::lose() {
    HIDHandle.reset();
    DeviceFound_ = false;
}

void dsusb::pressShutter() {
    CommandBytes = {0x21, 0x01};
    SendCommand();
}

void dsusb::releaseshutter() {
    CommandBytes = {0x00, 0x00};
    SendCommand();
}

void dsusb::RedLedOn() {
    CommandBytes = {0x30, 0x30};
    SendCommand();
}

void dsusb::CheckState() {
    PollState_ = -1;
}

void dsusb::RedLedOff() {
    CommandBytes = {0x00, 0x30};
    SendCommand();
}

void dsusb::GreenLedOn() {
    CommandBytes = {0x20, 0x00};
    SendCommand();
}

void dsusb::GreenLedoff() {
    CommandBytes = {0x00, 0x20};
    SendCommand();
}

void dsusb::SendCommand() {
    if (!DeviceFound_) DeviceFound_ = FindDevice();
    if (!DeviceFound_) return;
    OutputReportData.fill(0);
    OutputReportData[0] = CommandBytes[0];
    OutputReportData[1] = CommandBytes[1];
    if (WriteOutputReport()) ReadInputReport();
}

bool dsusb::FindDevice() {
    ports::HidTransport* t = transport_ ? transport_() : nullptr;
    if (!t) {
        lose();
        return false;
    }
    const auto devices = t->enumerate();
    // The box already open and still listed with its numbers: keep its handle
    // rather than opening another one on every poll.
    if (DeviceFound_ && HIDHandle) {
        for (const auto& d : devices)
            if (d.path == DevicePathName_ && d.vendor == kVendor && d.product == kProduct)
                return true;
    }
    lose();
    for (const auto& d : devices) {
        if (d.vendor != kVendor || d.product != kProduct) continue;
        auto handle = t->open(d.path);
        if (!handle) continue;  // cannot be opened: not taken for the box
        std::uint16_t vendor = 0, product = 0;
        if (!handle->attributes(vendor, product)) continue;
        if (vendor != kVendor || product != kProduct) continue;
        HIDHandle = std::move(handle);
        DevicePathName_ = d.path;
        ReadCapabilities();
        DeviceFound_ = true;
        return true;
    }
    return false;
}

void dsusb::ReadCapabilities() {
    Capabilities_ = HIDHandle ? HIDHandle->caps() : ports::HidCaps{};
}

bool dsusb::WriteOutputReport() {
    const int length = Capabilities_.outputReportByteLength;
    // A box without an output report cannot take a command: nothing to wait for either.
    if (length <= 0 || !HIDHandle) return false;
    std::vector<std::uint8_t> report(std::size_t(length), 0);
    for (int i = 1; i < length && i - 1 < int(OutputReportData.size()); ++i)
        report[i] = OutputReportData[i - 1];
    // Reports longer than the payload are padded with zeros.
    if (HIDHandle->write(report)) return true;
    lose();
    return false;
}

void dsusb::ReadInputReport() {
    if (!HIDHandle) return;
    switch (HIDHandle->read(Capabilities_.inputReportByteLength, kReadTimeoutMs)) {
        case ports::HidReadResult::Ok:
            break;
        case ports::HidReadResult::Timeout:
        case ports::HidReadResult::Error:
            lose();
            break;
    }
}

void dsusb::oTimer_Timer() {
    const bool found = FindDevice();
    if (found) {
        if (PollState_ != 0) {
            PollState_ = 0;
            emit connected();
        }
    } else {
        if (PollState_ != 1) {
            PollState_ = 1;
            emit disconnected();
        }
    }
}

}  // namespace zelmora::cables

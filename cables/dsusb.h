#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ports/HidTransport.h"
#include "platform/time/Timer.h"

namespace zelmora::cables {

// The DSUSB box: a USB HID device with a shutter relay and a red and a green
// lamp. Each command finds the box when needed, writes one output report and
// waits up to 6 s for one input report back, without running any other event
// (the poll must not run in the middle of a command). Every 2 s a poll looks
// for the box and raises connected or disconnected when its presence changed,
// or after CheckState.
class dsusb : public QObject {
    Q_OBJECT
public:
    static constexpr std::uint16_t kVendor = 0x134A;
    static constexpr std::uint16_t kProduct = 0x9021;
    static constexpr int kPollMs = 2000;
    static constexpr int kReadTimeoutMs = 6000;

    // The transport is asked for on every discovery, so it follows the set-up.
    explicit dsusb(std::function<ports::HidTransport*()> transport, QObject* parent = nullptr);
    ~dsusb() override;

    void disconnect();
    void pressShutter();
    void releaseshutter();
    void RedLedOn();
    void CheckState();
    void RedLedOff();
    void GreenLedOn();
    void GreenLedoff();

    // The poll (the timer's handler); tests call it directly.
    void oTimer_Timer();

    bool DeviceFound() const { return DeviceFound_; }
    int PollState() const { return PollState_; }
    const std::string& DevicePathName() const { return DevicePathName_; }
    const ports::HidCaps& Capabilities() const { return Capabilities_; }
    platform::Timer& timer() { return oTimer; }

signals:
    void connected();
    void disconnected();

private:
    void SendCommand();
    bool FindDevice();
    void ReadCapabilities();
    bool WriteOutputReport();
    void ReadInputReport();
    // Closes the box's handle; whenever the box is no longer known, nothing of it stays open.
    void lose();

    std::function<ports::HidTransport*()> transport_;
    std::unique_ptr<ports::HidDevice> HIDHandle;
    ports::HidCaps Capabilities_;
    std::string DevicePathName_;
    bool DeviceFound_ = false;
    std::array<std::uint8_t, 2> CommandBytes{};
    std::array<std::uint8_t, 8> OutputReportData{};
    int PollState_ = -1;
    platform::Timer oTimer;  // on the program clock
};

}  // namespace zelmora::cables

#pragma once

#include <cstdint>

#include "platform/ports/HidTransport.h"
#include "platform/ports/SimContact.h"

namespace zelmora::ports {

// The DSUSB box simulated: a HID device with the box's numbers whose relay
// (command 0x21 0x01 closes it, 0x00 0x00 opens it) drives the contact and
// whose two lamps follow their commands. It answers every report at once.
class SimulatedDsusb : public HidTransport {
public:
    static constexpr std::uint16_t kVendor = 0x134A;
    static constexpr std::uint16_t kProduct = 0x9021;
    static constexpr const char* kPath = "sim:dsusb";

    explicit SimulatedDsusb(ContactSink sink) : sink_(std::move(sink)) {}

    void setPresent(bool present);
    bool present() const { return present_; }
    bool relayClosed() const { return relay_; }
    bool redLamp() const { return red_; }
    bool greenLamp() const { return green_; }

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;

private:
    friend class SimulatedDsusbDevice;
    void command(std::uint8_t a, std::uint8_t b);

    ContactSink sink_;
    bool present_ = true;
    bool relay_ = false;
    bool red_ = false;
    bool green_ = false;
};

}  // namespace zelmora::ports

#include "platform/ports/SimulatedDsusb.h"

namespace zelmora::ports {

class SimulatedDsusbDevice : public HidDevice {
public:
    explicit SimulatedDsusbDevice(SimulatedDsusb& box) : box_(box) {}
    bool attributes(std::uint16_t& vendor, std::uint16_t& product) override {
        if (!box_.present_) return false;
        vendor = SimulatedDsusb::kVendor;
        product = SimulatedDsusb::kProduct;
        return true;
    }
    HidCaps caps() override { return {9, 9, 0}; }
    bool write(const std::vector<std::uint8_t>& report) override {
        if (!box_.present_ || report.size() < 3) return false;
        box_.command(report[1], report[2]);
        return true;
    }
    HidReadResult read(int, int) override {
        return box_.present_ ? HidReadResult::Ok : HidReadResult::Error;
    }

private:
    SimulatedDsusb& box_;
};

void SimulatedDsusb::setPresent(bool present) {
    present_ = present;
    // A box pulled out lets its relay go.
    if (!present && relay_) {
        relay_ = false;
        if (sink_) sink_(false);
    }
}

std::vector<HidDeviceInfo> SimulatedDsusb::enumerate() {
    if (!present_) return {};
    return {{kPath, kVendor, kProduct}};
}

std::unique_ptr<HidDevice> SimulatedDsusb::open(const std::string& path) {
    if (!present_ || path != kPath) return nullptr;
    return std::make_unique<SimulatedDsusbDevice>(*this);
}

void SimulatedDsusb::command(std::uint8_t a, std::uint8_t b) {
    bool relay = relay_;
    if (a == 0x21 && b == 0x01) relay = true;
    if (a == 0x00 && b == 0x00) relay = false;
    if (a == 0x30 && b == 0x30) red_ = true;
    if (a == 0x00 && b == 0x30) red_ = false;
    if (a == 0x20 && b == 0x00) green_ = true;
    if (a == 0x00 && b == 0x20) green_ = false;
    if (relay != relay_) {
        relay_ = relay;
        if (sink_) sink_(relay);
    }
}

}  // namespace zelmora::ports

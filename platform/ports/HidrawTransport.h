#pragma once

#include <set>

#include "platform/ports/HidTransport.h"

namespace zelmora::ports {

// HID devices through the kernel's hidraw nodes. Discovery reads each
// sysRoot/hidrawN/device/uevent (HID_ID=bus:vendor:product) and opens nothing;
// a node is opened only when asked for, and then confirms its identity itself.
class HidrawTransport : public HidTransport {
public:
    explicit HidrawTransport(std::string sysRoot = "/sys/class/hidraw",
                             std::string devRoot = "/dev");

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;

    // True when a device with these numbers is listed.
    bool present(std::uint16_t vendor, std::uint16_t product);

private:
    std::string sysRoot_;
    std::string devRoot_;
    std::set<std::string> refused_;  // told once each
};

}  // namespace zelmora::ports

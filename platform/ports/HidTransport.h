#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// USB human-interface devices as the DSUSB box needs them: find a device by its
// vendor and product numbers, write output reports, wait for one input report.
namespace zelmora::ports {

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// Report lengths in bytes, the report-number byte included; 0 when the device
// has no report of that kind.
struct HidCaps {
    int inputReportByteLength = 0;
    int outputReportByteLength = 0;
    int featureReportByteLength = 0;
    bool operator==(const HidCaps&) const = default;
};

enum class HidReadResult { Ok, Timeout, Error };

// One open device; closed when destroyed.
class HidDevice {
public:
    virtual ~HidDevice() = default;
    // The device's own vendor and product numbers; false when it does not answer.
    virtual bool attributes(std::uint16_t& vendor, std::uint16_t& product) = 0;
    virtual HidCaps caps() = 0;
    // Byte 0 is the report number (0 for a device without numbered reports).
    virtual bool write(const std::vector<std::uint8_t>& report) = 0;
    // Blocks (without running any event) until one input report arrives, the
    // time runs out, or the device fails or goes away.
    virtual HidReadResult read(int length, int timeoutMs) = 0;
};

class HidTransport {
public:
    virtual ~HidTransport() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    // nullptr when the device cannot be opened.
    virtual std::unique_ptr<HidDevice> open(const std::string& path) = 0;
};

}  // namespace zelmora::ports

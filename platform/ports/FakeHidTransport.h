#pragma once

#include <deque>
#include <map>

#include "platform/ports/HidTransport.h"

namespace zelmora::ports {

// Test double: devices come and go, each with its own report lengths and
// behaviour; every report written is logged and the open handles are counted.
class FakeHidTransport : public HidTransport {
public:
    struct Device {
        HidDeviceInfo info;
        HidCaps caps{9, 9, 0};
        bool opens = true;              // false: open fails
        bool answersAttributes = true;  // false: the identity query fails
        std::uint16_t realVendor = 0;   // what the open device reports (0: as listed)
        std::uint16_t realProduct = 0;
        std::deque<HidReadResult> reads;  // answers in order, then Ok
    };

    void plug(Device d);
    void unplug(const std::string& path);
    Device* device(const std::string& path);

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidDevice> open(const std::string& path) override;

    struct Write {
        std::string path;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Write> writes;
    std::vector<int> readTimeouts;  // time-out of every read, in order
    int openHandles = 0;
    int opens = 0;
    int enumerations = 0;

private:
    friend class FakeHidDevice;
    std::map<std::string, Device> devices_;
};

}  // namespace zelmora::ports

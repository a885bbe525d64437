#include "platform/ports/HidrawTransport.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/ports/HidReportDescriptor.h"
#include "platform/ports/PortsTrace.h"

namespace zelmora::ports {

namespace {

class HidrawDevice : public HidDevice {
public:
    explicit HidrawDevice(int fd) : fd_(fd) {}
    ~HidrawDevice() override { ::close(fd_); }

    bool attributes(std::uint16_t& vendor, std::uint16_t& product) override {
        hidraw_devinfo info{};
        if (::ioctl(fd_, HIDIOCGRAWINFO, &info) != 0) return false;
        // The kernel declares these as signed 16-bit numbers.
        vendor = static_cast<std::uint16_t>(info.vendor);
        product = static_cast<std::uint16_t>(info.product);
        return true;
    }

    HidCaps caps() override {
        int size = 0;
        if (::ioctl(fd_, HIDIOCGRDESCSIZE, &size) != 0 || size <= 0) return {};
        hidraw_report_descriptor desc{};
        desc.size = std::uint32_t(std::min(size, int(HID_MAX_DESCRIPTOR_SIZE)));
        if (::ioctl(fd_, HIDIOCGRDESC, &desc) != 0) return {};
        return parseReportDescriptor(std::vector<std::uint8_t>(desc.value, desc.value + desc.size));
    }

    bool write(const std::vector<std::uint8_t>& report) override {
        const ssize_t n = ::write(fd_, report.data(), report.size());
        return n == ssize_t(report.size());
    }

    HidReadResult read(int length, int timeoutMs) override {
        pollfd p{fd_, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r == 0) return HidReadResult::Timeout;
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return HidReadResult::Error;
        // hidraw leaves out the report number of unnumbered reports: the length varies.
        std::vector<std::uint8_t> buf(std::size_t(std::max(length, 64)));
        return ::read(fd_, buf.data(), buf.size()) < 0 ? HidReadResult::Error : HidReadResult::Ok;
    }

private:
    int fd_;
};

bool parseHidId(const std::string& text, std::uint16_t& vendor, std::uint16_t& product) {
    // HID_ID=0003:0000134A:00009021
    unsigned bus = 0, v = 0, p = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x", &bus, &v, &p) != 3) return false;
    vendor = std::uint16_t(v);
    product = std::uint16_t(p);
    return true;
}

int nodeNumber(const std::string& name) {
    try {
        return std::stoi(name.substr(6));
    } catch (...) {
        return -1;
    }
}

}  // namespace

HidrawTransport::HidrawTransport(std::string sysRoot, std::string devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}

std::vector<HidDeviceInfo> HidrawTransport::enumerate() {
    namespace fs = std::filesystem;
    std::vector<std::pair<int, HidDeviceInfo>> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sysRoot_, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("hidraw", 0) != 0) continue;
        std::ifstream uevent(e.path() / "device" / "uevent");
        std::string line;
        while (std::getline(uevent, line)) {
            if (line.rfind("HID_ID=", 0) != 0) continue;
            HidDeviceInfo info;
            if (!parseHidId(line.substr(7), info.vendor, info.product)) break;
            info.path = (fs::path(devRoot_) / name).string();
            found.push_back({nodeNumber(name), info});
            break;
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<HidDeviceInfo> out;
    for (auto& f : found) out.push_back(std::move(f.second));
    return out;
}

std::unique_ptr<HidDevice> HidrawTransport::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES && refused_.insert(path).second)
            trace("DSUSB: " + path + " is present but may not be opened (install the udev rule)");
        return nullptr;
    }
    return std::make_unique<HidrawDevice>(fd);
}

bool HidrawTransport::present(std::uint16_t vendor, std::uint16_t product) {
    for (const HidDeviceInfo& d : enumerate())
        if (d.vendor == vendor && d.product == product) return true;
    return false;
}

}  // namespace zelmora::ports

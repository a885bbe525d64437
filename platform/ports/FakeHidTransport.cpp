#include "platform/ports/FakeHidTransport.h"

namespace zelmora::ports {

class FakeHidDevice : public HidDevice {
public:
    FakeHidDevice(FakeHidTransport& t, std::string path) : t_(t), path_(std::move(path)) {
        ++t_.openHandles;
    }
    ~FakeHidDevice() override { --t_.openHandles; }

    bool attributes(std::uint16_t& vendor, std::uint16_t& product) override {
        auto* d = t_.device(path_);
        if (!d || !d->answersAttributes) return false;
        vendor = d->realVendor ? d->realVendor : d->info.vendor;
        product = d->realProduct ? d->realProduct : d->info.product;
        return true;
    }
    HidCaps caps() override {
        auto* d = t_.device(path_);
        return d ? d->caps : HidCaps{};
    }
    bool write(const std::vector<std::uint8_t>& report) override {
        if (!t_.device(path_)) return false;
        t_.writes.push_back({path_, report});
        return true;
    }
    HidReadResult read(int, int timeoutMs) override {
        t_.readTimeouts.push_back(timeoutMs);
        auto* d = t_.device(path_);
        if (!d) return HidReadResult::Error;  // unplugged
        if (d->reads.empty()) return HidReadResult::Ok;
        const HidReadResult r = d->reads.front();
        d->reads.pop_front();
        return r;
    }

private:
    FakeHidTransport& t_;
    std::string path_;
};

void FakeHidTransport::plug(Device d) {
    const std::string path = d.info.path;
    devices_[path] = std::move(d);
}

void FakeHidTransport::unplug(const std::string& path) {
    devices_.erase(path);
}

FakeHidTransport::Device* FakeHidTransport::device(const std::string& path) {
    auto it = devices_.find(path);
    return it == devices_.end() ? nullptr : &it->second;
}

std::vector<HidDeviceInfo> FakeHidTransport::enumerate() {
    ++enumerations;
    std::vector<HidDeviceInfo> out;
    for (const auto& [path, d] : devices_) out.push_back(d.info);
    return out;
}

std::unique_ptr<HidDevice> FakeHidTransport::open(const std::string& path) {
    auto* d = device(path);
    if (!d || !d->opens) return nullptr;
    ++opens;
    return std::make_unique<FakeHidDevice>(*this, path);
}

}  // namespace zelmora::ports

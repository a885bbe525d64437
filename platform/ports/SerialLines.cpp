#include "platform/ports/SerialLines.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace zelmora::ports {

std::string devicePath(const std::string& name) {
    std::string upper;
    for (char c : name) upper += char(std::toupper(static_cast<unsigned char>(c)));
    if (upper.size() > 3 && upper.compare(0, 3, "COM") == 0) {
        std::string digits = upper.substr(3);
        if (!digits.empty() && digits.back() == ':') digits.pop_back();
        const bool allDigits = !digits.empty() && digits.size() <= 3 &&
                               std::all_of(digits.begin(), digits.end(), [](char c) {
                                   return std::isdigit(static_cast<unsigned char>(c));
                               });
        if (allDigits) {
            const int n = std::stoi(digits);
            if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return name;
}

std::vector<std::string> usbSerialDevices(const std::string& devRoot) {
    namespace fs = std::filesystem;
    std::vector<std::string> byId, nodes;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec))
        byId.push_back(e.path().string());
    for (const auto& e : fs::directory_iterator(fs::path(devRoot), ec)) {
        const std::string n = e.path().filename().string();
        if (n.rfind("ttyUSB", 0) == 0 || n.rfind("ttyACM", 0) == 0)
            nodes.push_back(e.path().string());
    }
    std::sort(byId.begin(), byId.end());
    std::sort(nodes.begin(), nodes.end());
    byId.insert(byId.end(), nodes.begin(), nodes.end());
    return byId;
}

SerialLines::Status SimSerialLines::open(const std::string&) {
    open_ = true;
    drive(false);
    return Status::Ok;
}

bool SimSerialLines::setLines(bool dtr, bool rts) {
    if (!open_) return false;
    drive(dtr || rts);
    return true;
}

void SimSerialLines::close() {
    // Closing drops both lines, as the real port's hang-up does.
    if (open_) drive(false);
    open_ = false;
}

void SimSerialLines::drive(bool closed) {
    if (closed == closed_) return;
    closed_ = closed;
    if (sink_) sink_(closed);
}

SerialLines::Status FakeSerialLines::open(const std::string& name) {
    opened.push_back(name);
    Status s = Status::Ok;
    if (!openResults.empty()) {
        s = openResults.front();
        openResults.erase(openResults.begin());
    }
    if (s != Status::Ok) return s;
    open_ = true;
    current_ = {};
    history.push_back(current_);
    return s;
}

bool FakeSerialLines::setLines(bool dtr, bool rts) {
    if (!open_) {
        ++setCallsWhileClosed;
        return false;
    }
    if (failSetCount > 0) {
        --failSetCount;
        return false;
    }
    current_ = {dtr, rts};
    history.push_back(current_);
    return true;
}

void FakeSerialLines::close() {
    if (open_) ++closes;
    open_ = false;
    current_ = {};
}

}  // namespace zelmora::ports

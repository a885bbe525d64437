#include "platform/ports/PortsTrace.h"

namespace zelmora::ports {

namespace {
std::function<void(const std::string&)>& sinkSlot() {
    static std::function<void(const std::string&)> sink;
    return sink;
}
}  // namespace

void setTraceSink(std::function<void(const std::string&)> sink) {
    sinkSlot() = std::move(sink);
}

void trace(const std::string& line) {
    if (sinkSlot()) sinkSlot()(line);
}

}  // namespace zelmora::ports

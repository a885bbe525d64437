#include "platform/ports/SimParallelBus.h"

namespace zelmora::ports {

void SimParallelBus::addPort(std::uint16_t base, Kind kind, int ecpMode) {
    Port p;
    p.kind = kind;
    p.ecr = std::uint8_t(((ecpMode & 7) << 5) | 0x15);
    ports_[base] = p;
}

void SimParallelBus::removePort(std::uint16_t base) {
    ports_.erase(base);
}

void SimParallelBus::attachCable(std::uint16_t base, std::function<int()> line, ContactSink sink) {
    cableBase_ = base;
    cableLine_ = std::move(line);
    cableSink_ = std::move(sink);
    contactClosed_ = false;
}

bool SimParallelBus::bidirectional(const Port& p) const {
    switch (p.kind) {
        case Kind::SPP:
            return false;
        case Kind::PS2:
        case Kind::EPP:
            return true;
        case Kind::ECP: {
            const int mode = p.ecr >> 5;
            return mode == 1 || mode == 3 || mode == 4;
        }
    }
    return false;
}

std::uint8_t SimParallelBus::in(std::uint16_t addr) {
    for (auto& [base, p] : ports_) {
        if (addr == base) {
            if (bidirectional(p) && (p.control & 0x20)) return 0xFF;  // reading the open lines
            return p.data;
        }
        if (addr == base + 1) return std::uint8_t(p.status | (p.eppTimeout ? 0x01 : 0x00));
        if (addr == base + 2) return p.control;
        if (addr == base + 3 && p.kind == Kind::EPP) return p.epp;
        if (p.kind == Kind::ECP && addr == base + 0x402) return std::uint8_t((p.ecr & 0xFC) | 0x01);
    }
    return 0xFF;
}

void SimParallelBus::out(std::uint16_t addr, std::uint8_t value) {
    for (auto& [base, p] : ports_) {
        if (addr == base) {
            p.data = value;
            driveCable(base);
            return;
        }
        if (addr == base + 1) {
            p.eppTimeout = false;
            return;
        }
        if (addr == base + 2) {
            p.control = value;
            return;
        }
        if (addr == base + 3 && p.kind == Kind::EPP) {
            p.epp = value;
            return;
        }
        if (p.kind == Kind::ECP && addr == base + 0x402) {
            p.ecr = value;
            return;
        }
    }
}

void SimParallelBus::driveCable(std::uint16_t base) {
    if (!cableSink_ || base != cableBase_) return;
    const int line = cableLine_ ? cableLine_() : 0;
    const bool closed = line >= 0 && line <= 7 && (ports_[base].data >> line) & 1;
    if (closed == contactClosed_) return;
    contactClosed_ = closed;
    cableSink_(closed);
}

std::uint8_t SimParallelBus::dataLatch(std::uint16_t base) const {
    auto it = ports_.find(base);
    return it == ports_.end() ? 0xFF : it->second.data;
}

std::uint8_t SimParallelBus::rawControl(std::uint16_t base) const {
    auto it = ports_.find(base);
    return it == ports_.end() ? 0xFF : it->second.control;
}

std::uint8_t SimParallelBus::ecr(std::uint16_t base) const {
    auto it = ports_.find(base);
    return it == ports_.end() ? 0xFF : it->second.ecr;
}

void SimParallelBus::setEppTimeout(std::uint16_t base, bool on) {
    auto it = ports_.find(base);
    if (it != ports_.end()) it->second.eppTimeout = on;
}

std::shared_ptr<SimParallelBus> SimParallelBus::standard(std::function<int()> cableLine,
                                                         ContactSink sink) {
    auto bus = std::make_shared<SimParallelBus>();
    bus->addPort(0x378, Kind::ECP, 1);
    bus->attachCable(0x378, std::move(cableLine), std::move(sink));
    return bus;
}

}  // namespace zelmora::ports

#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "platform/ports/PortIo.h"
#include "platform/ports/SimContact.h"

namespace zelmora::ports {

// Parallel ports on a simulated I/O bus, with the hardware's quirks that the
// detection relies on:
//  - a read where no port answers gives 0xFF, a write there goes nowhere;
//  - status bit 7 and control bits 0, 1 and 3 are inverted by the hardware
//    (the raw registers are held here; callers do the inversion);
//  - control bit 5 turns the data lines round on bidirectional ports (PS/2, EPP,
//    and ECP in a bidirectional mode): the data register then reads the
//    external lines, which float high;
//  - EPP ports echo their EPP data register (base + 3); status bit 0 is the EPP
//    time-out, cleared by a write to the status register;
//  - ECP ports have an extended control register at base + 0x402: mode in bits
//    7..5, bit 0 (FIFO empty) reads 1 and bit 1 (FIFO full) reads 0.
// One port may carry a cable: a chosen data line closes the camera's contact.
class SimParallelBus : public PortIo {
public:
    enum class Kind { SPP, PS2, EPP, ECP };

    void addPort(std::uint16_t base, Kind kind, int ecpMode = 0);
    void removePort(std::uint16_t base);
    void clear() { ports_.clear(); }

    // The cable on the port at base: the data line numbered by line() drives
    // the contact (asked on every write, so it follows the set-up).
    void attachCable(std::uint16_t base, std::function<int()> line, ContactSink sink);

    std::uint8_t in(std::uint16_t addr) override;
    void out(std::uint16_t addr, std::uint8_t value) override;

    // What the port drives now (tests).
    std::uint8_t dataLatch(std::uint16_t base) const;
    std::uint8_t rawControl(std::uint16_t base) const;
    std::uint8_t ecr(std::uint16_t base) const;
    void setEppTimeout(std::uint16_t base, bool on);

    // The bus the program simulates: one ECP port at 0x378 in "PS/2" mode.
    static std::shared_ptr<SimParallelBus> standard(std::function<int()> cableLine,
                                                    ContactSink sink);

private:
    struct Port {
        Kind kind = Kind::SPP;
        std::uint8_t data = 0;
        std::uint8_t control = 0x04;  // raw: strobe, autofeed, select-in inactive, init high
        std::uint8_t status = 0x7E;   // raw: busy inverted, nothing pending
        std::uint8_t epp = 0;
        std::uint8_t ecr = 0x15;
        bool eppTimeout = false;
    };
    bool bidirectional(const Port& p) const;
    void driveCable(std::uint16_t base);

    std::map<std::uint16_t, Port> ports_;
    std::uint16_t cableBase_ = 0;
    std::function<int()> cableLine_;
    ContactSink cableSink_;
    bool contactClosed_ = false;
};

}  // namespace zelmora::ports

#include "cables/PPUtils.h"

#include "cables/CableSetup.h"
#include "platform/ports/PortIo.h"
#include "shell/Globals.h"

namespace zelmora::cables::PPUtils {

namespace {
std::uint8_t in(std::uint32_t addr) {
    auto& io = cableSetup().io;
    if (!io || addr > 0xFFFF) return 0xFF;
    return io->in(std::uint16_t(addr));
}
void out(std::uint32_t addr, std::int32_t value) {
    auto& io = cableSetup().io;
    if (!io || addr > 0xFFFF) return;
    io->out(std::uint16_t(addr), std::uint8_t(value & 0xFF));
}
}  // namespace

std::int32_t ReadDataPort(std::uint16_t port) {
    return in(port);
}

void WriteDataPort(std::uint16_t port, std::int32_t value) {
    out(port, value);
}

std::int32_t ReadStatusPort(std::uint16_t base) {
    return in(base + 1u) ^ 0x80;
}

std::int32_t ReadControlPort(std::uint16_t base) {
    return in(base + 2u) ^ 0x0B;
}

void WriteControlPort(std::uint16_t base, std::int32_t value) {
    out(base + 2u, value ^ 0x0B);
}

int BitValue(std::int32_t value, int bit) {
    return (value >> bit) & 1;
}

int LogBitState(std::int32_t value, int bit) {
    const int b = BitValue(value, bit);
    Globals::WriteLogLine(QStringLiteral("Parallel Port State Bit") + QString::number(bit) +
                          QStringLiteral(":") + QString::number(b));
    return b;
}

void ToggleBit(std::int32_t& value, int bit) {
    value ^= (1 << bit);
}

QString EcpModeName(int mode) {
    switch (mode) {
        case 0:
            return QStringLiteral("SPP");
        case 1:
            return QStringLiteral("PS/2");
        case 2:
            return QStringLiteral("Fast Centronics");
        case 3:
            return QStringLiteral("ECP");
        case 4:
            return QStringLiteral("EPP");
        case 6:
            return QStringLiteral("Test");
        case 7:
            return QStringLiteral("Configuration");
        default:
            return {};
    }
}

int ReadEcpMode(std::uint16_t base) {
    CableSetup& c = cableSetup();
    c.EcrAddress = std::uint16_t(base + 0x402u);
    c.EcrData = in(base + 0x402u);
    return (c.EcrData >> 5) & 7;
}

int ClearEppTimeout(std::uint16_t base) {
    const int before = BitValue(ReadStatusPort(base), 0);
    out(base + 1u, 1);
    out(base + 1u, 0);
    return before;
}

}  // namespace zelmora::cables::PPUtils

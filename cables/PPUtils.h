#pragma once

#include <QString>
#include <cstdint>

// Register access and bit operations of a parallel port, through the I/O of
// the cable set-up. The hardware inverts status bit 7 and control bits 0, 1
// and 3, which the register functions undo.
namespace zelmora::cables::PPUtils {

std::int32_t ReadDataPort(std::uint16_t port);
void WriteDataPort(std::uint16_t port, std::int32_t value);  // the low byte goes out
std::int32_t ReadStatusPort(std::uint16_t base);
std::int32_t ReadControlPort(std::uint16_t base);
void WriteControlPort(std::uint16_t base, std::int32_t value);
int BitValue(std::int32_t value, int bit);
// The bit's state, traced as "Parallel Port State Bit<n>:<d>".
int LogBitState(std::int32_t value, int bit);
void ToggleBit(std::int32_t& value, int bit);
QString EcpModeName(int mode);
// Reads the extended control register at base + 0x402 (kept in EcrAddress and EcrData).
int ReadEcpMode(std::uint16_t base);
// Status bit 0 (the EPP time-out) as it was, then clears it with 1 and 0 written.
int ClearEppTimeout(std::uint16_t base);

}  // namespace zelmora::cables::PPUtils

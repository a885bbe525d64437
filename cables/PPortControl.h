#pragma once

#include <cstdint>

// Detection of a parallel port's kind and ECP mode, the port table and its
// settings (section "lptdata"), on the cable set-up.
namespace zelmora::cables::PPortControl {

void SetEcpMode(int mode);
bool TestEcp(std::uint16_t base);
bool TestEpp(std::uint16_t base);
bool TestSpp(std::uint16_t base);
bool TestPs2(std::uint16_t base);
// Detects the kind of the port at the slot's address; an address the program
// does not drive, or no answer, empties the slot. The data lines are left as
// they were found.
bool DetectPortType(int slot);
// Reads the ECP mode of every ECP slot and tells the views.
void ShowPortTable();
// Stored values out of range are refused with a trace line and the value in
// force is kept, as for a key that is missing.
void LoadPortSettings();
void SavePortSettings();

}  // namespace zelmora::cables::PPortControl

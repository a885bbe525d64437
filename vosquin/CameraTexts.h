#pragma once

#include <cstdint>
#include <string>

// The texts the control shows and hands to its host for the camera's setting codes.
// Several are quirky on purpose: the host's own tables and the user's stored
// settings use exactly these texts.
namespace zelmora::vosquin::texts {

std::string isoText(std::uint16_t code);
// The shooting-mode list and the ShootingMode property name some modes differently.
std::string modeListText(std::uint16_t code);
std::string modePropertyText(std::uint16_t code);
std::string tvText(std::uint16_t code);
std::string avText(std::uint16_t code);
// Quality and size as the quality list shows them ("Fine" + "\Large").
std::string qualityListText(std::uint16_t quality);
std::string sizeListText(std::uint16_t size);
// Quality and size as the ImageQuality and ImageSize properties read them (low 8 bits).
std::string qualityPropertyText(std::uint16_t quality);
std::string sizePropertyText(std::uint16_t size);
// Battery level from device property 15 (low 4 bits).
std::string batteryText(std::uint32_t property15);

// The ISO and Tv tables' own text for a code read as signed (-1 for the library's
// 0xFFFF), or nullptr where the table has no row; the host's windows share them.
const char* findIsoText(std::int32_t code);
const char* findTvText(std::int32_t code);
// The one table of shooting-mode names (the ShootingMode property's), or nullptr
// for a code it does not know. The host's camera information and the modes its
// list has no text of its own for (109 to 114) read it.
const char* findModeName(std::uint16_t code);

// "0x" and eight upper-case hexadecimal digits, as the log writes library codes.
std::string hex8(std::uint32_t code);
// "Error:" and the code as a signed decimal number, as events report failures.
std::string errorText(std::uint32_t code);

}  // namespace zelmora::vosquin::texts

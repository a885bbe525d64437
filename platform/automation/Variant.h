#pragma once

#include "platform/core/Api.h"

#include <cstdint>
#include <string>
#include <variant>

ZELMORA_API_BEGIN

// The values that cross the automation boundary: nothing (empty), a boolean, a
// 16-bit or 32-bit integer, or a text (UTF-8). A text handed out belongs to the
// receiver; the sender keeps its own.
namespace zelmora::automation {

using Variant = std::variant<std::monostate, bool, std::int16_t, std::int32_t, std::string>;

enum class VarType { Empty, Bool, I2, I4, Text };

VarType typeOf(const Variant& v);
const char* typeName(VarType t);

// Conversions as automation makes them: integers widen freely and narrow only
// when the value fits (else overflow, 6); True is -1 as a number and any
// non-zero number is True; texts hold decimal numbers or "True"/"False" (any
// case); numbers and booleans become their decimal text or "True"/"False";
// empty becomes False, 0 or "". Anything else is a type mismatch (13).
// Failures throw AutomationError with the given source.
Variant coerce(const Variant& v, VarType to, const char* source = "Automation");
bool toBool(const Variant& v);
std::int16_t toI2(const Variant& v);
std::int32_t toI4(const Variant& v);
std::string toText(const Variant& v);

}  // namespace zelmora::automation

ZELMORA_API_END

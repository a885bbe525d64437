#include "platform/automation/Variant.h"

#include <strings.h>
#include <charconv>
#include <limits>

#include "platform/automation/AutomationError.h"

namespace zelmora::automation {

AutomationError::~AutomationError() = default;

VarType typeOf(const Variant& v) {
    return static_cast<VarType>(v.index());
}

const char* typeName(VarType t) {
    switch (t) {
        case VarType::Empty:
            return "Empty";
        case VarType::Bool:
            return "Boolean";
        case VarType::I2:
            return "Integer";
        case VarType::I4:
            return "Long";
        case VarType::Text:
            return "String";
    }
    return "?";
}

namespace {

[[noreturn]] void mismatch(const char* source) {
    throw AutomationError(AutomationError::kTypeMismatch, source, QStringLiteral("Type mismatch"));
}

[[noreturn]] void overflow(const char* source) {
    throw AutomationError(AutomationError::kOverflow, source, QStringLiteral("Overflow"));
}

// The value as a 64-bit number, for the integer targets.
std::int64_t number(const Variant& v, const char* source) {
    switch (typeOf(v)) {
        case VarType::Empty:
            return 0;
        case VarType::Bool:
            return std::get<bool>(v) ? -1 : 0;
        case VarType::I2:
            return std::get<std::int16_t>(v);
        case VarType::I4:
            return std::get<std::int32_t>(v);
        case VarType::Text: {
            const std::string& s = std::get<std::string>(v);
            if (strcasecmp(s.c_str(), "True") == 0) return -1;
            if (strcasecmp(s.c_str(), "False") == 0) return 0;
            std::size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
            if (b == std::string::npos) mismatch(source);
            const char* first = s.data() + b;
            const char* last = s.data() + e + 1;
            // from_chars takes no plus sign; skip one, but not before a minus.
            if (*first == '+' && first + 1 < last && first[1] != '-') ++first;
            std::int64_t n = 0;
            auto [ptr, ec] = std::from_chars(first, last, n);
            if (ec == std::errc::result_out_of_range) overflow(source);
            if (ec != std::errc() || ptr != last) mismatch(source);
            return n;
        }
    }
    mismatch(source);
}

}  // namespace

Variant coerce(const Variant& v, VarType to, const char* source) {
    if (typeOf(v) == to) return v;
    switch (to) {
        case VarType::Empty:
            return std::monostate{};
        case VarType::Bool:
            return number(v, source) != 0;
        case VarType::I2: {
            const std::int64_t n = number(v, source);
            if (n < std::numeric_limits<std::int16_t>::min() ||
                n > std::numeric_limits<std::int16_t>::max())
                overflow(source);
            return std::int16_t(n);
        }
        case VarType::I4: {
            const std::int64_t n = number(v, source);
            if (n < std::numeric_limits<std::int32_t>::min() ||
                n > std::numeric_limits<std::int32_t>::max())
                overflow(source);
            return std::int32_t(n);
        }
        case VarType::Text:
            switch (typeOf(v)) {
                case VarType::Empty:
                    return std::string();
                case VarType::Bool:
                    return std::string(std::get<bool>(v) ? "True" : "False");
                case VarType::I2:
                    return std::to_string(std::get<std::int16_t>(v));
                case VarType::I4:
                    return std::to_string(std::get<std::int32_t>(v));
                case VarType::Text:
                    return v;
            }
    }
    mismatch(source);
}

bool toBool(const Variant& v) {
    return std::get<bool>(coerce(v, VarType::Bool));
}
std::int16_t toI2(const Variant& v) {
    return std::get<std::int16_t>(coerce(v, VarType::I2));
}
std::int32_t toI4(const Variant& v) {
    return std::get<std::int32_t>(coerce(v, VarType::I4));
}
std::string toText(const Variant& v) {
    return std::get<std::string>(coerce(v, VarType::Text));
}

}  // namespace zelmora::automation

#include <gtest/gtest.h>

#include "platform/automation/AutomationError.h"
#include "platform/automation/Variant.h"

using namespace zelmora::automation;

namespace {

TEST(VariantTest, ConversionsAsAutomationMakesThem) {
    struct Case {
        Variant in;
        VarType to;
        Variant out;
    };
    const std::vector<Case> cases = {
        {std::int16_t(-7), VarType::I4, std::int32_t(-7)},
        {std::int32_t(32767), VarType::I2, std::int16_t(32767)},
        {true, VarType::I2, std::int16_t(-1)},
        {false, VarType::I4, std::int32_t(0)},
        {std::int32_t(5), VarType::Bool, true},
        {std::int16_t(0), VarType::Bool, false},
        {std::string("true"), VarType::Bool, true},
        {std::string("FALSE"), VarType::Bool, false},
        {std::string(" 42 "), VarType::I2, std::int16_t(42)},
        {std::string("-3"), VarType::I4, std::int32_t(-3)},
        {std::string("+7"), VarType::I2, std::int16_t(7)},
        {std::int32_t(123), VarType::Text, std::string("123")},
        {true, VarType::Text, std::string("True")},
        {std::monostate{}, VarType::Text, std::string()},
        {std::monostate{}, VarType::I2, std::int16_t(0)},
        {std::string("M31"), VarType::Text, std::string("M31")},
    };
    for (const Case& c : cases) EXPECT_EQ(coerce(c.in, c.to), c.out) << typeName(c.to);
}

TEST(VariantTest, ImpossibleConversionsFailWithMismatchOrOverflow) {
    struct Case {
        Variant in;
        VarType to;
        int number;
    };
    const std::vector<Case> cases = {
        {std::string("abc"), VarType::I2, AutomationError::kTypeMismatch},
        {std::string("12x"), VarType::I4, AutomationError::kTypeMismatch},
        {std::string(""), VarType::Bool, AutomationError::kTypeMismatch},
        {std::string("1.5"), VarType::I4, AutomationError::kTypeMismatch},
        {std::string("+-5"), VarType::I4, AutomationError::kTypeMismatch},
        {std::int32_t(40000), VarType::I2, AutomationError::kOverflow},
        {std::string("99999999999"), VarType::I4, AutomationError::kOverflow},
    };
    for (const Case& c : cases) {
        try {
            coerce(c.in, c.to, "Test");
            ADD_FAILURE() << "converted " << toText(c.in);
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.number(), c.number) << toText(c.in);
            EXPECT_EQ(e.source(), "Test");
        }
    }
}

}  // namespace

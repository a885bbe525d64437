#include <gtest/gtest.h>

#include "shell/Globals.h"
#include "testing/TestEnv.h"

using namespace zelmora;

TEST(SettingsTest, BooleansAndIntegersAsStoredTexts) {
    struct Case {
        QString stored;
        bool isBool;
        std::int32_t expect;  // bool as 0/1
        bool error;
    };
    const std::vector<Case> cases = {
        {"True", true, 1, false},   {"true", true, 1, false},       {"FALSE", true, 0, false},
        {"false", true, 0, false},  {"0", true, 0, false},          {"-1", true, 1, false},
        {"yes", true, 0, true},     {"0", false, 0, false},         {"-15", false, -15, false},
        {" 42 ", false, 42, false}, {"40000", false, 40000, false}, {"abc", false, 0, true},
    };
    for (const auto& c : cases) {
        Settings::save("Options", "Value", c.stored);
        try {
            const std::int32_t got = c.isBool
                                         ? (Settings::getBool("Options", "Value", "False") ? 1 : 0)
                                         : Settings::getInt("Options", "Value", "0");
            EXPECT_FALSE(c.error) << c.stored.toStdString();
            EXPECT_EQ(got, c.expect) << c.stored.toStdString();
        } catch (const AppError& e) {
            EXPECT_TRUE(c.error) << c.stored.toStdString();
            EXPECT_EQ(e.number(), 13);
        }
    }
}

TEST(SettingsTest, DefaultsAreReadNotWritten) {
    testenv::memSettings().clearWrites();
    EXPECT_EQ(Settings::getInt("Options", "Color", "192"), 192);
    EXPECT_FALSE(Settings::getBool("XhairType", "BullsEye", "false"));
    EXPECT_TRUE(testenv::memSettings().writes().empty());
    Settings::saveBool("XhairType", "BullsEye", true);
    EXPECT_EQ(Settings::get("XhairType", "BullsEye", ""), "True");
    Settings::saveApp("Moonphase", "Location", "TimeZone", "+11");
    EXPECT_EQ(Settings::getApp("Moonphase", "Location", "TimeZone", ""), "+11");
    EXPECT_EQ(Settings::get("Location", "TimeZone", "none"), "none");
}

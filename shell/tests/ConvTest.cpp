#include <gtest/gtest.h>

#include <QDir>
#include <limits>
#include <optional>
#include "platform/core/AppError.h"

#include "shell/AppPaths.h"
#include "shell/Conv.h"

using namespace zelmora;

TEST(ConvTest, RoundsHalfToEven) {
    const std::vector<std::pair<double, double>> cases = {{0.5, 0},   {1.5, 2},    {2.5, 2},
                                                          {3.5, 4},   {-0.5, 0},   {-1.5, -2},
                                                          {-2.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (auto [in, out] : cases) EXPECT_EQ(Conv::roundHalfEven(in), out) << in;
}

TEST(ConvTest, TextToWholeNumbers) {
    struct Case {
        QString text;
        std::int32_t value;  // when error == 0
        int error;
    };
    const std::vector<Case> cases = {
        {"0", 0, 0},      {"-15", -15, 0},  {" 42 ", 42, 0},      {"40000", 40000, 0},
        {"2.5", 2, 0},    {"3.5", 4, 0},    {"abc", 0, 13},       {"", 0, 13},
        {"12abc", 0, 13}, {"1e3", 1000, 0}, {"2147483648", 0, 6}, {"-2147483648", INT32_MIN, 0},
    };
    for (const auto& c : cases) {
        if (c.error == 0) {
            EXPECT_EQ(Conv::parseInt32(c.text), c.value) << c.text.toStdString();
        } else {
            try {
                Conv::parseInt32(c.text);
                ADD_FAILURE() << "no error for " << c.text.toStdString();
            } catch (const AppError& e) {
                EXPECT_EQ(e.number(), c.error) << c.text.toStdString();
            }
        }
    }
    EXPECT_THROW(Conv::parseInt16("40000"), AppError);
    EXPECT_EQ(Conv::parseInt16("-32768"), -32768);
}

TEST(ConvTest, TextToBoolean) {
    const std::vector<std::pair<QString, bool>> ok = {
        {"True", true}, {"true", true}, {"FALSE", false}, {"false", false},
        {"0", false},   {"-1", true},   {" True ", true}, {"2", true}};
    for (const auto& [text, value] : ok)
        EXPECT_EQ(Conv::parseBool(text), value) << text.toStdString();
    for (const QString bad : {"yes", "", "Truee"})
        EXPECT_THROW(Conv::parseBool(bad), AppError) << bad.toStdString();
    EXPECT_EQ(Conv::boolText(true), "True");
    EXPECT_EQ(Conv::boolText(false), "False");
}

TEST(ConvTest, NumberTexts) {
    const std::vector<std::pair<double, QString>> cases = {{0, "0"},
                                                           {-37.8136, "-37.8136"},
                                                           {144.9999, "144.9999"},
                                                           {0.0001, "0.0001"},
                                                           {0.00001, "1E-05"},
                                                           {1.5e16, "1.5E+16"},
                                                           {123456789012345.0, "123456789012345"},
                                                           {0.1 + 0.2, "0.3"},
                                                           {-0.5, "-0.5"},
                                                           {1e15, "1E+15"}};
    for (const auto& [x, text] : cases) EXPECT_EQ(Conv::numberText(x), text) << x;
    EXPECT_EQ(Conv::fixed(2.345, 2), "2.35");
    EXPECT_EQ(Conv::fixed(-0.001, 2), "0.00");
    EXPECT_EQ(Conv::parseDouble(Conv::numberText(-37.8136)), -37.8136);
}

// Plain decimal text: the same digits, never the exponent form.
TEST(ConvTest, PlainNumberTexts) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, QString>> cases = {{-37.8136, "-37.8136"},
                                                           {144.9631, "144.9631"},
                                                           {0, "0"},
                                                           {-0.0, "0"},
                                                           {1e-05, "0.00001"},
                                                           {-1.5e-7, "-0.00000015"},
                                                           {10, "10"},
                                                           {1.0 / 3, "0.333333333333333"},
                                                           {151.25, "151.25"},
                                                           {1.5e16, "15000000000000000"},
                                                           {nan, "0"},
                                                           {inf, "0"}};
    for (const auto& [x, text] : cases) EXPECT_EQ(Conv::plainNumberText(x), text) << x;
}

TEST(ConvTest, WholeNumbersAsTyped) {
    const std::vector<std::pair<QString, std::optional<int>>> cases = {
        {"0", 0},    {"+11", 11}, {" -12 ", -12},  {"999999", 999999}, {"1234567", {}},
        {"1.5", {}}, {"1e3", {}}, {"", {}},        {" ", {}},          {"+", {}},
        {"--1", {}}, {"1 2", {}}, {"\t-05\t", -5}, {"x1", {}}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Conv::wholeNumber(text), value) << text.toStdString();
}

TEST(ConvTest, ColoursAreBgr) {
    EXPECT_EQ(Conv::colorFromBgr(192), QColor(192, 0, 0));
    EXPECT_EQ(Conv::colorFromBgr(0x580030), QColor(48, 0, 88));
    EXPECT_EQ(Conv::bgrFromColor(QColor(48, 0, 88)), 0x580030u);
    EXPECT_EQ(Conv::pixelsToTwips(100), 1500);
    EXPECT_EQ(Conv::twipsToPixels(1500), 100);
    EXPECT_EQ(Conv::twipsToPixels(-70), -5);
}

TEST(ConvTest, PathJoin) {
    EXPECT_EQ(AppPaths::join("/app", "DataFiles"), "/app/DataFiles");
    EXPECT_EQ(AppPaths::join("/app/", "/DataFiles"), "/app/DataFiles");
    EXPECT_EQ(AppPaths::join("/app", "Thumbs", "a.jpg"), "/app/Thumbs/a.jpg");
    EXPECT_EQ(AppPaths::join("/app", "Medium\\Normal"), "/app/Medium\\Normal");
    EXPECT_EQ(AppPaths::join("", "x"), "x");
}

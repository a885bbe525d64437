#include <gtest/gtest.h>

#include "capture/ExposureCalculation.h"

using namespace zelmora::capture;

TEST(ExposureCalcTest, WorkedValues) {
    struct Case {
        QString m, s, p, ff, n;
        double seconds;
        QString label;
        int minutes;
        double boxSeconds;
    };
    const auto& B = ExposureCalculation::brightnessList();
    const auto& R = ExposureCalculation::recipFailList();
    const auto& F = ExposureCalculation::filterFactorList();
    const std::vector<Case> cases = {
        // Outer corona: 100 x 1 / (100 x 1) = 1 s.
        {B[15], "100", R[6], F[0], "10", 1, "1 Secs ", 0, 1},
        // Galaxy outskirts at f/4: 2525.199 s = 42 min 5 s.
        {B[28], "400", R[6], F[0], "4", 2525.199, "42 Min 5 Secs", 42, 5},
        // Severe reciprocity failure: 1 s becomes 2^(1/0.6) - 1.
        {B[15], "100", R[0], F[0], "10", 2.1748, "2.1748 Secs ", 0, 2.1748},
        // A typed bare factor is taken whole.
        {B[15], "100", R[6], "2", "10", 2, "2 Secs ", 0, 2},
    };
    for (const auto& c : cases) {
        const ExposureCalculation r = ExposureCalculation::calculate(c.m, c.s, c.p, c.ff, c.n);
        ASSERT_TRUE(r.ok) << c.label.toStdString();
        EXPECT_NEAR(r.seconds, c.seconds, 1e-9) << c.label.toStdString();
        EXPECT_EQ(r.label, c.label);
        EXPECT_EQ(r.boxMinutes, c.minutes);
        EXPECT_NEAR(r.boxSeconds, c.boxSeconds, 1e-9);
    }
}

TEST(ExposureCalcTest, EmptyZeroOrNonNumericGiveNoResult) {
    const auto& B = ExposureCalculation::brightnessList();
    const QString ok[5] = {B[15], "100", "1.00   (x)", "1.0   x", "10"};
    for (int i = 0; i < 5; ++i) {
        for (const QString bad : {QString(), QString("0"), QString("abc")}) {
            if (i == 0 && !bad.isEmpty()) continue;  // any brightness is a magnitude
            QString in[5] = {ok[0], ok[1], ok[2], ok[3], ok[4]};
            in[i] = bad;
            const ExposureCalculation r =
                ExposureCalculation::calculate(in[0], in[1], in[2], in[3], in[4]);
            EXPECT_FALSE(r.ok) << i << " " << bad.toStdString();
            EXPECT_EQ(r.message, "Please ensure all drop down boxes have a valid value!");
        }
    }
}

TEST(ExposureCalcTest, ListsAndParameters) {
    EXPECT_EQ(ExposureCalculation::brightnessList().size(), 35);
    EXPECT_EQ(ExposureCalculation::filmSpeedList().size(), 11);
    EXPECT_EQ(ExposureCalculation::recipFailList().size(), 7);
    EXPECT_EQ(ExposureCalculation::filterFactorList().size(), 43);
    EXPECT_EQ(ExposureCalculation::fRatioList().size(), 23);
    EXPECT_EQ(ExposureCalculation::getParameter("-10.8      Sun, full disk"), -10.8);
    EXPECT_EQ(ExposureCalculation::getParameter("0.85   (Kodak T-Max 100, 400)"), 0.85);
    EXPECT_EQ(ExposureCalculation::getParameter("1000000 Sun filter"), 1000000);
    EXPECT_EQ(ExposureCalculation::getParameter("x2"), 0);
}

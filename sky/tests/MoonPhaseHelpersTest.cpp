#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QLocale>

#include "platform/core/AppError.h"
#include "shell/AppPaths.h"
#include "sky/MoonPhaseHelpers.h"
#include "sky/clsLocation.h"
#include "sky/clsMoonCalc.h"

using namespace zelmora;
using namespace zelmora::sky;
namespace h = zelmora::sky::MoonPhaseHelpers;

TEST(MoonPhaseHelpersTest, PictureNumberRoundsTiesToEvenAndNeverZero) {
    struct Case {
        float age;
        int n;
    } cases[] = {{0.0f, 1}, {0.4f, 1},      {0.5f, 1},      {1.5f, 2},   {2.5f, 2},
                 {3.5f, 4}, {14.0869f, 14}, {19.6175f, 20}, {29.5f, 30}, {29.53f, 30}};
    for (const Case& c : cases) EXPECT_EQ(h::pictureNumber(c.age), c.n) << c.age;
}

// Every age the calculator can give has its picture beside the program, and
// Qt's GIF reader loads it.
TEST(MoonPhaseHelpersTest, EveryAgeHasItsPicture) {
    AppPaths::setResourceDir(QStringLiteral(ZELMORA_APP_FOLDER));
    const clsMoonCalc calc;
    for (double day = 0; day < 60; day += 0.05) {
        const int n = h::pictureNumber(calc.MoonAge(36000 + day));
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 30);
    }
    for (int n = 1; n <= 30; ++n) {
        const QImage image(h::picturePath(n));
        ASSERT_FALSE(image.isNull()) << h::picturePath(n).toStdString();
        EXPECT_EQ(image.size(), QSize(160, 160));
    }
}

// The pictures show what their number says: the lit part grows to full at
// day 15 and a waxing moon is lit on the right.
TEST(MoonPhaseHelpersTest, PicturesAreLitByAge) {
    AppPaths::setResourceDir(QStringLiteral(ZELMORA_APP_FOLDER));
    auto brightness = [](int n, int fromX, int toX) {
        const QImage image = QImage(h::picturePath(n)).convertToFormat(QImage::Format_Grayscale8);
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < toX; ++x) sum += image.pixelColor(x, y).value();
        return sum;
    };
    EXPECT_LT(brightness(1, 0, 160), brightness(4, 0, 160));
    EXPECT_LT(brightness(4, 0, 160), brightness(8, 0, 160));
    EXPECT_LT(brightness(8, 0, 160), brightness(15, 0, 160));
    EXPECT_GT(brightness(15, 0, 160), brightness(22, 0, 160));
    EXPECT_GT(brightness(8, 80, 160), 3 * brightness(8, 0, 80));    // first quarter: right
    EXPECT_GT(brightness(22, 0, 80), 3 * brightness(22, 80, 160));  // last quarter: left
}

TEST(MoonPhaseHelpersTest, SouthOfTheEquatorRotates) {
    EXPECT_TRUE(h::rotatesPicture(-37));
    EXPECT_TRUE(h::rotatesPicture(-0.0001));
    EXPECT_FALSE(h::rotatesPicture(0));
    EXPECT_FALSE(h::rotatesPicture(51.5));
}

TEST(MoonPhaseHelpersTest, ZoneArrowsStopOnlyFromInsideTheRange) {
    struct Case {
        const char* text;
        const char* up;  // nullptr: unchanged
        const char* down;
    } cases[] = {
        {"12", nullptr, "11"},     {"-12", "-11", nullptr},   {"13", "14", "12"},
        {"-13", "-12", "-14"},     {"0", "1", "-1"},          {"+3", "4", "2"},
        {" 5 ", "6", "4"},         {"abc", nullptr, nullptr}, {"", nullptr, nullptr},
        {"2.5", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto up = h::zoneStepUp(c.text);
        const auto down = h::zoneStepDown(c.text);
        if (c.up)
            EXPECT_EQ(up.value_or("<none>"), c.up);
        else
            EXPECT_FALSE(up.has_value());
        if (c.down)
            EXPECT_EQ(down.value_or("<none>"), c.down);
        else
            EXPECT_FALSE(down.has_value());
    }
}

TEST(MoonPhaseHelpersTest, EditorAndSummaryTexts) {
    struct Case {
        double lon, lat;
        const char *longDeg, *longMin, *latDeg, *latMin, *eastWest, *northSouth;
    } cases[] = {
        {144.9631, -37.8136, "144", "58", "37", "49", "East", "South"},
        {-74.006, 40.7128, "74", "0", "40", "43", "West", "North"},
        {144.9999, -0.9999, "145", "0", "1", "0", "East", "South"},  // 60' carried
        {0, 0, "0", "0", "0", "0", "West", "South"},                 // 0 is West and South
        {-0.5, 0.25, "0", "30", "0", "15", "West", "North"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lon << " " << c.lat);
        clsLocation l;
        l.setLocation("Here", -4, c.lon, c.lat);
        const auto e = h::editorTexts(l);
        EXPECT_EQ(e.longDegree, c.longDeg);
        EXPECT_EQ(e.longMinutes, c.longMin);
        EXPECT_EQ(e.latDegree, c.latDeg);
        EXPECT_EQ(e.latMinutes, c.latMin);
        EXPECT_EQ(e.hoursEastWest, c.eastWest);
        EXPECT_EQ(e.eastWestIndex, QString(c.eastWest) == "East" ? 0 : 1);
        EXPECT_EQ(e.northSouthIndex, QString(c.northSouth) == "North" ? 0 : 1);
        EXPECT_EQ(e.utcOffset, "-4");
        const auto s = h::summaryTexts(l, QLocale::c());
        EXPECT_EQ(s.eastWest, c.eastWest);
        EXPECT_EQ(s.northSouth, c.northSouth);
        EXPECT_EQ(s.timeZone, "-4");
    }
    clsLocation l;
    l.setLocation("Melbourne", 11, 144.9631, -37.8136);
    const auto german = h::summaryTexts(l, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.longitude, "144,9631");
    EXPECT_EQ(german.latitude, "-37,8136");
    EXPECT_EQ(h::summaryTexts(l, QLocale::c()).longitude, "144.9631");
}

TEST(MoonPhaseHelpersTest, EditorInputIsValidated) {
    const h::EditorInput good{"Home", "33", "30", "South", "151", "15", "East", "10"};
    const h::EditedLocation l = h::readEditor(good);
    EXPECT_EQ(l.name, "Home");
    EXPECT_EQ(l.zone, 10);
    EXPECT_DOUBLE_EQ(l.latitude, -33.5);
    EXPECT_DOUBLE_EQ(l.longitude, 151.25);
    EXPECT_DOUBLE_EQ(
        h::readEditor({"Pole", "90", "0", "North", "180", "0", "West", "14"}).longitude, -180);
    EXPECT_EQ(h::readEditor({"Far", "0", "0", "North", "0", "0", "East", "-12"}).zone, -12);

    struct Bad {
        h::EditorInput input;
        const char* message;
    } bad[] = {
        {{"", "33", "30", "South", "151", "15", "East", "10"}, "enter a name"},
        {{"A;B", "33", "30", "South", "151", "15", "East", "10"}, "cannot contain"},
        {{"Two\nlines", "33", "30", "South", "151", "15", "East", "10"}, "cannot contain"},
        {{"Home", "x", "30", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "33.5", "0", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "91", "0", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "90", "1", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "33", "60", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "-33", "30", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "33", "", "South", "151", "15", "East", "10"}, "latitude"},
        {{"Home", "33", "30", "South", "181", "15", "East", "10"}, "longitude"},
        {{"Home", "33", "30", "South", "151", "75", "East", "10"}, "longitude"},
        {{"Home", "33", "30", "South", "151", "15", "East", "15"}, "UTC offset"},
        {{"Home", "33", "30", "South", "151", "15", "East", "-13"}, "UTC offset"},
        {{"Home", "33", "30", "South", "151", "15", "East", "ten"}, "UTC offset"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.message);
        try {
            h::readEditor(b.input);
            ADD_FAILURE() << "accepted";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.description().contains(b.message)) << e.description().toStdString();
        }
    }
}

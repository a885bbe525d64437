#include <gtest/gtest.h>

#include <QDate>
#include <cmath>
#include <cstdio>

#include "sky/MoonMath.h"
#include "sky/tests/Reference.h"

using namespace zelmora::sky::MoonMath;

namespace {
double hms(int h, int m, double s) {
    return h + m / 60.0 + s / 3600.0;
}
double arcmin(double degrees) {
    return degrees * 60.0;
}
}  // namespace

// Calendar dates to MJD across the switch from the Julian to the Gregorian
// calendar; 4 and 15 October 1582 are consecutive days.
TEST(MoonMathTest, CalendarToMjdAcrossTheCalendarSwitch) {
    struct Case {
        int y, m, d;
        double mjd;
    } cases[] = {
        {2000, 1, 1, 51544},  {1858, 11, 17, 0},   {1987, 4, 10, 46895},   {1992, 10, 13, 48908},
        {2024, 2, 29, 60369}, {1900, 3, 1, 15079}, {1582, 10, 4, -100841}, {1582, 10, 15, -100840},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
        EXPECT_EQ(CalendarToMjd(c.y, c.m, c.d, 0), c.mjd);
    }
    EXPECT_DOUBLE_EQ(CalendarToMjd(2000, 1, 1, 18), 51544.75);
}

// The same against independent day counts: reference.txt (Python's calendar
// and a day-by-day Julian count) and Qt's proleptic Gregorian day numbers.
TEST(MoonMathTest, CalendarToMjdAgreesWithIndependentDayCounts) {
    const auto rows = referenceRows("mjd");
    ASSERT_GE(rows.size(), 10u);
    for (const QStringList& r : rows) {
        SCOPED_TRACE(r.join(' ').toStdString());
        EXPECT_EQ(CalendarToMjd(r[1].toInt(), r[2].toInt(), r[3].toInt(), 0), r[4].toDouble());
    }
    for (QDate d(1582, 10, 15); d.year() < 2101; d = d.addDays(97)) {
        SCOPED_TRACE(d.toString(Qt::ISODate).toStdString());
        ASSERT_EQ(CalendarToMjd(d.year(), d.month(), d.day(), 0), d.toJulianDay() - 2400001);
    }
}

TEST(MoonMathTest, MjdToCalendarText) {
    EXPECT_EQ(MjdToCalendar(51135), " 18 11 1998");
    EXPECT_EQ(MjdToCalendar(51544.75), " 1 1 2000");
    EXPECT_EQ(MjdToCalendar(-100841), " 4 10 1582");
    EXPECT_EQ(MjdToCalendar(-100840), " 15 10 1582");
}

// Sidereal time against the textbook's worked examples; the longitude of the
// series is west positive.
TEST(MoonMathTest, LocalSiderealTimeMatchesTextbook) {
    struct Case {
        double mjd, lonWest, lst;
    } cases[] = {
        {46895, 0, hms(13, 10, 46.3668)},
        {46895 + (19 + 21 / 60.0) / 24, 0, hms(8, 34, 57.0896)},
        {51544.5, 0, 18.697374558},
        // West positive: an eastern place is later in sidereal time.
        {46895, -144.9631, hms(13, 10, 46.3668) + 144.9631 / 15},
        {46895, -240, hms(13, 10, 46.3668) + 16 - 24},  // wraps past 24 h
        {46895, 74.006, hms(13, 10, 46.3668) - 74.006 / 15},
    };
    double worst = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mjd << " lon " << c.lonWest);
        const double lst = LocalSiderealTime(c.mjd, c.lonWest);
        worst = std::max(worst, std::fabs(lst - c.lst) * 3600);
        EXPECT_NEAR(lst, c.lst, 0.2e-3 / 3600);  // 0.2 ms
    }
    RecordProperty("LargestDifferenceSeconds", std::to_string(worst));
}

// The short series against the textbook's apparent positions: the Sun within
// 1', the Moon within 2'.
TEST(MoonMathTest, SeriesPositionsMatchTextbookValues) {
    const double tSun = (CalendarToMjd(1992, 10, 13, 0) - 51544.5) / 36525;
    const Equatorial sun = SunPosition(tSun);
    EXPECT_NEAR(arcmin(sun.ra * 15 - 198.38083), 0, 1.0);
    EXPECT_NEAR(arcmin(sun.dec - -7.78507), 0, 1.0);

    const double tMoon = (CalendarToMjd(1992, 4, 12, 0) - 51544.5) / 36525;
    const Equatorial moon = MoonPosition(tMoon);
    EXPECT_NEAR(arcmin(moon.ra * 15 - 134.688470), 0, 2.0);
    EXPECT_NEAR(arcmin(moon.dec - 13.768368), 0, 2.0);

    // The published series values themselves (transcription check).
    EXPECT_NEAR(sun.ra * 15, 198.38336, 1e-5);
    EXPECT_NEAR(sun.dec, -7.78590, 1e-5);
    EXPECT_NEAR(moon.ra * 15, 134.67890, 1e-5);
    EXPECT_NEAR(moon.dec, 13.77263, 1e-5);
    EXPECT_NEAR(SunPosition(0).ra, 18.75299, 1e-5);
    EXPECT_NEAR(SunPosition(0).dec, -23.03325, 1e-5);
    EXPECT_NEAR(MoonPosition(0).ra, 14.82996, 1e-5);
    EXPECT_NEAR(MoonPosition(0).dec, -10.90363, 1e-5);
}

// The Sun against a more accurate solar algorithm (reference.txt) over the
// year: equinoxes, solstice, epoch.
TEST(MoonMathTest, SunSeriesWithinOneArcminuteOfApparentPosition) {
    const auto rows = referenceRows("sun");
    ASSERT_GE(rows.size(), 5u);
    double worst = 0;
    for (const QStringList& r : rows) {
        SCOPED_TRACE(r.join(' ').toStdString());
        const double mjd = CalendarToMjd(r[1].toInt(), r[2].toInt(), r[3].toInt(), r[4].toDouble());
        const Equatorial s = SunPosition((mjd - 51544.5) / 36525);
        double dra = std::fabs(s.ra * 15 - r[5].toDouble());
        dra = std::min(dra, 360 - dra) * std::cos(s.dec * kDegToRad);
        const double ddec = std::fabs(s.dec - r[6].toDouble());
        worst = std::max({worst, arcmin(dra), arcmin(ddec)});
        EXPECT_LT(arcmin(dra), 1.0);
        EXPECT_LT(arcmin(ddec), 1.0);
    }
    RecordProperty("LargestDifferenceArcmin", std::to_string(worst));
    // Solstice: the series reaches the obliquity.
    const double solstice = CalendarToMjd(2000, 6, 21, 1.8);
    EXPECT_NEAR(SunPosition((solstice - 51544.5) / 36525).dec, 23.4395, 1e-4);
}

// The Moon against an independent ephemeris (reference.txt, from PyEphem): the
// short series holds to a few arcminutes, which is a few seconds of rise time.
TEST(MoonMathTest, MoonSeriesAgreesWithAnIndependentEphemeris) {
    const auto rows = referenceRows("moon");
    ASSERT_GE(rows.size(), 5u);
    double worst = 0;
    for (const QStringList& r : rows) {
        SCOPED_TRACE(r.join(' ').toStdString());
        const double mjd = CalendarToMjd(r[1].toInt(), r[2].toInt(), r[3].toInt(), r[4].toDouble());
        const Equatorial m = MoonPosition((mjd - 51544.5) / 36525);
        double dra = std::fabs(m.ra * 15 - r[5].toDouble());
        dra = std::min(dra, 360 - dra) * std::cos(m.dec * kDegToRad);
        const double ddec = std::fabs(m.dec - r[6].toDouble());
        worst = std::max({worst, arcmin(dra), arcmin(ddec)});
        EXPECT_LT(arcmin(dra), 5.0);
        EXPECT_LT(arcmin(ddec), 5.0);
    }
    RecordProperty("LargestDifferenceArcmin", std::to_string(worst));
    std::printf("moon: largest difference %.2f arcmin\n", worst);
}

TEST(MoonMathTest, QuadInterpolateCases) {
    struct Case {
        double ym, y0, yp;
        int nz;
        double z1, z2, ye;  // NAN = not checked
    } cases[] = {
        {1, -1, 1, 2, -0.707107, 0.707107, -1},
        {-1, 1, -1, 2, -0.707107, 0.707107, 1},
        {1, 2, 4, 0, NAN, NAN, NAN},
        {-0.5, 0.2, 0.3, 1, -0.387426, NAN, NAN},
        {-3, -1, 2, 1, 0.372281, 0.372281, NAN},  // z1 outside: takes z2
        {-1, 0, 1, 1, 0, NAN, NAN},               // straight line through 0
        {-1, -0.5, 0, 1, 1, NAN, NAN},            // straight line, root on the edge
        {-2, -1, 0, 1, 1, NAN, NAN},
        {1, 2, 3, 0, NAN, NAN, NAN},        // straight line, root outside
        {0.5, 0.5, 0.5, 0, NAN, NAN, NAN},  // flat
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ym << ", " << c.y0 << ", " << c.yp);
        const Parabola p = QuadInterpolate(c.ym, c.y0, c.yp);
        EXPECT_EQ(p.nz, c.nz);
        EXPECT_FALSE(std::isnan(p.z1) || std::isnan(p.z2) || std::isnan(p.ye));
        if (!std::isnan(c.z1)) {
            EXPECT_NEAR(p.z1, c.z1, 1e-6);
        }
        if (!std::isnan(c.z2)) {
            EXPECT_NEAR(p.z2, c.z2, 1e-6);
        }
        if (!std::isnan(c.ye)) {
            EXPECT_NEAR(p.ye, c.ye, 1e-6);
        }
    }
}

TEST(MoonMathTest, HoursToHhmmRoundsToTheMinute) {
    struct Case {
        double hours;
        int hhmm;
    } cases[] = {
        {hms(6, 34, 0), 634},
        {hms(0, 5, 0), 5},
        {hms(12, 10, 0), 1210},
        {hms(0, 34, 0), 34},
        {0, 0},
        {hms(23, 59, 40), 2400},
        {hms(23, 59, 29), 2359},
        {hms(6, 34, 30), 635},
        {hms(6, 34, 29.9), 634},
        {hms(9, 59, 31), 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hours);
        EXPECT_EQ(HoursToHhmm(c.hours), c.hhmm);
    }
}

TEST(MoonMathTest, SmallHelpers) {
    EXPECT_DOUBLE_EQ(FracPart(2.25), 0.25);
    EXPECT_DOUBLE_EQ(FracPart(-2.25), 0.75);
    EXPECT_DOUBLE_EQ(IntPart(-2.75), -2);
    EXPECT_DOUBLE_EQ(IntPart(2.75), 2);
    EXPECT_DOUBLE_EQ(FloatMod(0, 29.5), 1);  // the published rule for exactly 0
    EXPECT_DOUBLE_EQ(FloatMod(-1, 10), 9);
    EXPECT_DOUBLE_EQ(FloatMod(31, 10), 1);
    EXPECT_NEAR(SinDeg(30), 0.5, 1e-12);
    EXPECT_NEAR(CosDeg(60), 0.5, 1e-12);
}

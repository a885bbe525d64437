#include <gtest/gtest.h>

#include <QDateTime>
#include <cmath>
#include <numbers>

#include "platform/astro/Astro.h"

using namespace zelmora;

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

double hms(int h, int m, double s) {
    return h + m / 60.0 + s / 3600.0;
}

// Freezes "now" for one test and puts the program clock back afterwards.
class FrozenClock {
public:
    explicit FrozenClock(const QDateTime& at) {
        astro::setClock([at] { return at; });
    }
    ~FrozenClock() { astro::setClock({}); }
};

// The calling pattern of the telescope control: ra - lst is passed as the hour
// angle and the azimuth is mirrored on the way out and in.
void raDecToAltAz(double raHours, double decDeg, double latDeg, double lonDeg, double& azDeg,
                  double& altDeg) {
    const double lst = astro::now_lst(lonDeg * kDeg);
    double a = 0, z = 0;
    astro::hadec_aa(latDeg * kDeg, (raHours - lst) * std::numbers::pi / 12.0, decDeg * kDeg, a, z);
    altDeg = a / kDeg;
    azDeg = 360.0 - z / kDeg;
}

void altAzToRaDec(double azDeg, double altDeg, double latDeg, double lonDeg, double& raHours,
                  double& decDeg) {
    double h = 0, e = 0;
    astro::aa_hadec(latDeg * kDeg, altDeg * kDeg, (360.0 - azDeg) * kDeg, h, e);
    raHours = h * 12.0 / std::numbers::pi + astro::now_lst(lonDeg * kDeg);
    if (raHours < 0) raHours += 24;
    if (raHours >= 24) raHours -= 24;
    decDeg = e / kDeg;
}

// Difference of two azimuths, the short way round.
double azDiff(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

}  // namespace

// Mean sidereal time against the textbook's worked examples (to 0.1 ms of time).
TEST(AstroTest, GreenwichSiderealTimeMatchesTextbookExamples) {
    struct Case {
        QDateTime at;
        double gmst;
    } cases[] = {
        {utc(1987, 4, 10), hms(13, 10, 46.3668)},
        {utc(1987, 4, 10, 19, 21), hms(8, 34, 57.0896)},
        {utc(2000, 1, 1, 12), 18.697374558},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at.toString(Qt::ISODate).toStdString());
        EXPECT_NEAR(astro::gmstHours(c.at), c.gmst, 1e-4 / 3600.0);
    }
}

// Longitude is east positive in radians; the result wraps into 0..24 h.
TEST(AstroTest, LocalSiderealTimeAddsEastLongitude) {
    const QDateTime at = utc(1987, 4, 10, 19, 21);
    const FrozenClock frozen(at);
    const double gmst = hms(8, 34, 57.0896);
    struct Case {
        double lonDeg;
        double lst;
    } cases[] = {
        {0.0, gmst},
        {15.0, gmst + 1.0},
        {144.9631, gmst + 144.9631 / 15.0},
        {240.0, gmst + 16.0 - 24.0},  // wraps past 24 h
        {-74.006, gmst - 74.006 / 15.0},
        {-135.0, gmst - 9.0 + 24.0},  // wraps below 0 h
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lonDeg);
        const double lst = astro::now_lst(c.lonDeg * kDeg);
        EXPECT_NEAR(lst, c.lst, 1e-4 / 3600.0);
        EXPECT_GE(lst, 0.0);
        EXPECT_LT(lst, 24.0);
    }
}

TEST(AstroTest, NowFollowsTheProgramClockUnlessFrozen) {
    // Unfrozen, "now" is the program clock (virtual in tests).
    const QDateTime programNow = astro::nowUtc();
    EXPECT_TRUE(programNow.isValid());
    {
        const FrozenClock frozen(utc(2000, 1, 1, 12));
        EXPECT_EQ(astro::nowUtc(), utc(2000, 1, 1, 12));
    }
    EXPECT_EQ(astro::nowUtc(), programNow);
}

// The textbook's worked example: hour angle 64.352133 deg, declination
// -6.719892 deg at latitude +38 55' 17" gives altitude 15.1249 deg and azimuth
// 68.0337 deg from the south, which is 248.0337 deg from the north.
TEST(AstroTest, HorizontalFromHourAngleMatchesTextbookExample) {
    const double lat = (38 + 55 / 60.0 + 17 / 3600.0) * kDeg;
    double alt = 0, az = 0;
    astro::hadec_aa(lat, 64.352133 * kDeg, -6.719892 * kDeg, alt, az);
    EXPECT_NEAR(alt / kDeg, 15.1249, 1e-4);
    EXPECT_NEAR(az / kDeg, 248.0337, 1e-4);

    double ha = 0, dec = 0;
    astro::aa_hadec(lat, alt, az, ha, dec);
    EXPECT_NEAR(ha / kDeg, 64.352133, 1e-9);
    EXPECT_NEAR(dec / kDeg, -6.719892, 1e-9);
}

// Geometry at a local sidereal time of 5 h, in the telescope control's calling
// pattern. Expected values: tests/reference/horizontal.txt, made by a rotation
// matrix rather than the trigonometric formulas.
TEST(AstroTest, TelescopeCallingPatternGivesStandardAzimuth) {
    const FrozenClock frozen(utc(2024, 3, 1, 20, 15));
    const double lstNow = astro::now_lst(0.0);
    struct Case {
        double ra, dec, lat, az, alt;
    } cases[] = {
        {5, 0, 0, 0, 90},  // zenith: azimuth not checked
        {11, 0, 0, 90, 0},
        {23, 0, 0, 270, 0},
        {5, 20, 50, 180, 60},
        {5, 80, 50, 0, 60},
        {5, -10, -37, 0, 63},
        {3, 45, 45, 280.728583122, 68.909418821},
        {7.5, -60, -33.9, 148.544296865, 54.318111093},
    };
    double worst = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ra << "h " << c.dec << " lat " << c.lat);
        // Shift RA so that the table's LST of 5 h holds at the frozen instant.
        const double ra = std::fmod(c.ra - 5.0 + lstNow + 24.0, 24.0);
        double az = 0, alt = 0;
        raDecToAltAz(ra, c.dec, c.lat, 0.0, az, alt);
        EXPECT_NEAR(alt, c.alt, 1e-6);
        worst = std::max(worst, std::fabs(alt - c.alt));
        if (c.alt < 89.999) {
            EXPECT_LT(azDiff(az, c.az), 1e-6);
            worst = std::max(worst, azDiff(az, c.az));
        }
    }
    RecordProperty("LargestDifferenceDeg", std::to_string(worst));
}

// Both conversions are inverse to each other, also through the mirrored
// calling pattern, in every quadrant and both hemispheres.
TEST(AstroTest, RoundTripsInEveryQuadrant) {
    const FrozenClock frozen(utc(2024, 6, 21, 1, 48));
    double worst = 0;
    for (double lat : {-89.0, -60.0, -33.9, 0.0, 10.0, 51.4769, 89.0}) {
        for (double ra = 0.25; ra < 24.0; ra += 1.5) {
            for (double dec : {-80.0, -45.0, -5.0, 0.0, 5.0, 45.0, 80.0}) {
                for (double lon : {-150.0, 0.0, 144.9631}) {
                    double az = 0, alt = 0, ra2 = 0, dec2 = 0;
                    raDecToAltAz(ra, dec, lat, lon, az, alt);
                    altAzToRaDec(az, alt, lat, lon, ra2, dec2);
                    double dra = std::fabs(ra2 - ra);
                    dra = std::min(dra, 24.0 - dra);
                    // RA is undefined at the poles; its error scales with 1/cos(dec).
                    const double err =
                        std::max(dra * 15.0 * std::cos(dec * kDeg), std::fabs(dec2 - dec));
                    worst = std::max(worst, err);
                    ASSERT_LT(err, 1e-9)
                        << "lat " << lat << " ra " << ra << " dec " << dec << " lon " << lon;
                }
            }
        }
    }
    RecordProperty("LargestRoundTripErrorDeg", std::to_string(worst));
}

// Results stay in range where rounding could push them out: the poles, the
// zenith and hour angles just below zero.
TEST(AstroTest, OutputsStayInRange) {
    struct Case {
        double lat, ha, dec;
    } cases[] = {{90, 0, 90}, {-90, 0, -90}, {45, -1e-15, 45}, {0, 0, 0}, {10, 3.14159, -89.9999}};
    for (const Case& c : cases) {
        double alt = 0, az = 0, ha = 0, dec = 0;
        astro::hadec_aa(c.lat * kDeg, c.ha, c.dec * kDeg, alt, az);
        EXPECT_FALSE(std::isnan(alt) || std::isnan(az));
        EXPECT_GE(az, 0.0);
        EXPECT_LT(az, 2 * std::numbers::pi);
        astro::aa_hadec(c.lat * kDeg, alt, az, ha, dec);
        EXPECT_GE(ha, 0.0);
        EXPECT_LT(ha, 2 * std::numbers::pi);
        EXPECT_FALSE(std::isnan(dec));
    }
}

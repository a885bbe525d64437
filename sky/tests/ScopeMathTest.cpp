#include <gtest/gtest.h>

#include <cmath>

#include "platform/astro/Astro.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "shell/ProgramState.h"
#include "sky/CoordParser.h"
#include "sky/ScopeDriver.h"
#include "sky/modScope.h"
#include "sky/tests/FakeTelescope.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::sky;
using zelmora::sky::testing::FakeTelescope;

namespace {

constexpr double kRad = M_PI / 180.0;

// The hour-angle difference in degrees, taking the wrap at 24 h into account.
double raDiffDegrees(double a, double b) {
    double d = std::fmod(a - b, 24.0);
    if (d > 12) d -= 24;
    if (d < -12) d += 24;
    return d * 15.0;
}

void setSite(double lat, double lon) {
    ScopeState& s = scopeState();
    s.dSiteLatitude = lat;
    s.dSiteLongitude = lon;
    s.bSiteKnown = true;
}

double lstAt(double lonDegrees) {
    return astro::now_lst(lonDegrees * kRad);
}

}  // namespace

TEST(DegToDMS, Table) {
    struct Case {
        double value;
        bool force;
        const char* text;
    } cases[] = {
        {12.25, false, "12:15:00"},
        {12.25, true, "+12:15:00"},
        {-12.25, true, "-12:15:00"},
        {-0.5, false, "-00:30:00"},
        {245.5, false, "245:30:00"},
        {100.0, false, "100:00:00"},
        {0.0, false, "00:00:00"},
        {0.0, true, "+00:00:00"},
        {10.2, false, "10:12:00"},
        {0.1, false, "00:06:00"},
        {1.0 / 3600 * 59.9999, false, "00:00:59"},
        {23.9999999, false, "23:59:59"},  // never rounded up to 24:00:00
        {359.99999, false, "359:59:59"},
        {-70.3833333, true, "-70:22:59"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(modScope::DegToDMS(c.value, c.force), QString::fromLatin1(c.text))
            << c.value << " " << c.force;
    EXPECT_EQ(modScope::DegToDMS(std::nan(""), true), QString());
    EXPECT_EQ(modScope::DegToDMS(INFINITY, false), QString());
}

TEST(CoordParser, ReadsTheFormsOfTheCatalogueAndTheBoxes) {
    struct Case {
        QString text;
        double value;
    } cases[] = {
        {"16h 46m 30.00s", 16.775},
        {"16:46:30", 16.775},
        {"16 46 30", 16.775},
        {"16.775", 16.775},
        {"16h46m30s", 16.775},
        {"  12h  ", 12.0},
        {"05h 34m 31.9s", 5 + 34 / 60.0 + 31.9 / 3600},
        {QString::fromUtf8("+70\xC2\xB0"
                           "23'00.0"),
         70 + 23 / 60.0},
        {QString::fromLatin1("+70\xB0"
                             "23'00.0"),
         70 + 23 / 60.0},  // a file in the ANSI code page
        {QString::fromUtf8("+70\xC2\xB0"
                           "23'00\""),
         70 + 23 / 60.0},
        {"70:23:00", 70 + 23 / 60.0},
        {"-05 23 00", -(5 + 23 / 60.0)},
        {"-00 30 00", -0.5},  // the sign of a zero degree part counts
        {"- 0:30", -0.5},
        {"70d 23m", 70 + 23 / 60.0},
        {"+90", 90.0},
    };
    for (const Case& c : cases) {
        const auto h = CoordParser::hoursFromText(c.text);
        const auto d = CoordParser::degreesFromText(c.text);
        ASSERT_TRUE(h.has_value()) << c.text.toStdString();
        ASSERT_TRUE(d.has_value()) << c.text.toStdString();
        EXPECT_NEAR(*h, c.value, 1e-12) << c.text.toStdString();
        EXPECT_NEAR(*d, c.value, 1e-12) << c.text.toStdString();
    }
}

TEST(CoordParser, RefusesWhatIsNoCoordinate) {
    const QString bad[] = {"",
                           "   ",
                           "--h--m--s",
                           QString::fromUtf8("--\xC2\xB0--'--.-"),
                           "abc",
                           "12h 60m",
                           "12 30 61",
                           "1 2 3 4",
                           "12.5 30",
                           "+-5",
                           "12h 30m 15s junk",
                           ".",
                           "1e5",
                           "12,5",
                           "12h 3x",
                           QString::fromUtf8("\xD9\xA1\xD9\xA2")};  // digits of another script
    for (const QString& t : bad) {
        EXPECT_FALSE(CoordParser::hoursFromText(t).has_value()) << t.toStdString();
        EXPECT_FALSE(CoordParser::degreesFromText(t).has_value()) << t.toStdString();
    }
}

TEST(ScopeConversions, KnownPlacesInTheSky) {
    setSite(50, 8);
    const double lst = lstAt(8);
    struct Case {
        double haHours, dec, alt, az;
    } cases[] = {
        {0, 60, 80, 0},    // culminating north of the zenith: due north is 0, never 360
        {0, 20, 60, 180},  // culminating south
        {-6, 0, 0, 90},    // rising due east
        {6, 0, 0, 270},    // setting due west
        {12, 80, 40, 0},   // below the pole
    };
    for (const Case& c : cases) {
        double az = -1, alt = -1;
        modScope::RaDecToAltAz(lst - c.haHours, c.dec, az, alt);
        EXPECT_NEAR(alt, c.alt, 1e-5) << c.haHours << " " << c.dec;
        const double dAz = std::remainder(az - c.az, 360.0);
        EXPECT_NEAR(dAz, 0, 1e-5) << c.haHours << " " << c.dec << " az " << az;
        EXPECT_GE(az, 0);
        EXPECT_LT(az, 360);
    }
}

TEST(ScopeConversions, LongitudeIsEastPositive) {
    // 15 degrees east is one sidereal hour ahead of Greenwich.
    setSite(40, 15);
    const double gmst = astro::gmstHours(astro::nowUtc());
    double az = 0, alt = 0;
    modScope::RaDecToAltAz(std::fmod(gmst + 1.0, 24.0), 10, az, alt);
    EXPECT_NEAR(az, 180, 1e-5);
    EXPECT_NEAR(alt, 60, 1e-5);
}

TEST(ScopeConversions, RoundTripsAndAgreesWithTheSimulator) {
    for (double lat : {50.0, -33.9, 0.5}) {
        setSite(lat, 8);
        drivers::TelescopeSimulator::Config config;
        config.latitude = lat;
        config.longitude = 8;
        config.slewRate = 0;
        drivers::TelescopeSimulator sim(config);
        sim.setConnected(true);
        for (double ra = 0.25; ra < 24; ra += 1.7) {
            for (double dec = -75; dec <= 75; dec += 15) {
                double az = 0, alt = 0;
                modScope::RaDecToAltAz(ra, dec, az, alt);
                sim.setPointing(ra, dec);
                EXPECT_NEAR(alt, sim.Altitude(), 1e-6) << ra << " " << dec;
                // Compared on the sky: azimuth itself is ill-conditioned near the zenith.
                EXPECT_NEAR(std::remainder(az - sim.Azimuth(), 360.0) * std::cos(alt * kRad), 0,
                            1e-6)
                    << ra << " " << dec;
                if (std::fabs(alt) > 85) continue;  // azimuth is ill-defined near the zenith
                double ra2 = 0, dec2 = 0;
                modScope::AltAzToRaDec(az, alt, ra2, dec2);
                EXPECT_NEAR(raDiffDegrees(ra2, ra) * std::cos(dec * kRad), 0, 1e-6)
                    << ra << " " << dec;
                EXPECT_NEAR(dec2, dec, 1e-6);
                EXPECT_GE(ra2, 0);
                EXPECT_LT(ra2, 24);
            }
        }
    }
}

TEST(ScopeConversions, InputsBelowTheirBoundsGiveZero) {
    struct Case {
        double lat, lon, a, b;
        bool toHorizontal;
    } cases[] = {
        {-90.5, 8, 5, 10, true},  {50, -361, 5, 10, true},    {50, 8, -24.5, 10, true},
        {50, 8, 5, -90.5, true},  {-90.5, 8, 100, 10, false}, {50, -361, 100, 10, false},
        {50, 8, -361, 10, false}, {50, 8, 100, -90.5, false},
    };
    for (const Case& c : cases) {
        setSite(c.lat, c.lon);
        double x = 7, y = 7;
        if (c.toHorizontal)
            modScope::RaDecToAltAz(c.a, c.b, x, y);
        else
            modScope::AltAzToRaDec(c.a, c.b, x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    }
    // Just inside the bounds a value is computed.
    setSite(-90, -360);
    double az = 0, alt = 0;
    modScope::RaDecToAltAz(-24, -90, az, alt);
    EXPECT_NEAR(alt, 90, 1e-5);
}

// Each button on each mount, reversed or not, in each hemisphere.
TEST(ScopeJog, EquatorialTable) {
    const double step = 1.0;  // degrees
    const double ra0 = 10, dec0 = 20;
    const double dRa = step / (15 * std::cos(dec0 * modScope::kDegToRad));
    struct Case {
        int button;
        bool reversed;
        bool south;
        double ra, dec;
    } cases[] = {
        {1, false, false, ra0, 21},         {1, false, true, ra0, 19},
        {1, true, false, ra0, 19},          {1, true, true, ra0, 21},
        {2, false, false, ra0, 19},         {2, false, true, ra0, 21},
        {2, true, false, ra0, 21},          {2, true, true, ra0, 19},
        {3, false, false, ra0 + dRa, dec0}, {3, true, false, ra0 - dRa, dec0},
        {4, false, false, ra0 - dRa, dec0}, {4, true, true, ra0 + dRa, dec0},
        {3, false, true, ra0 + dRa, dec0},
    };
    for (const Case& c : cases) {
        ScopeState& s = scopeState();
        s = ScopeState{};
        s.lAlignmentMode = 2;
        s.dScopeRA = ra0;
        s.dScopeDec = dec0;
        s.dSiteLatitude = c.south ? -30 : 50;
        s.bReverseNS = c.button <= 2 && c.reversed;
        s.bReverseEW = c.button >= 3 && c.reversed;
        double ra = 0, dec = 0;
        ASSERT_TRUE(modScope::jogTarget(c.button, step, ra, dec));
        EXPECT_NEAR(ra, c.ra, 1e-12) << c.button << c.reversed << c.south;
        EXPECT_NEAR(dec, c.dec, 1e-12) << c.button << c.reversed << c.south;
    }
    double ra = 0, dec = 0;
    EXPECT_FALSE(modScope::jogTarget(5, step, ra, dec));
    EXPECT_FALSE(modScope::jogTarget(0, step, ra, dec));
}

TEST(ScopeJog, WrapsClampsAndFloorsTheFactor) {
    struct Case {
        int button;
        double minutes, ra0, dec0, ra, dec;
    } cases[] = {
        {3, 3600, 23.5, 0, 3.5, 0},                              // 60 degrees east past 24 h
        {3, 30, 10, 60, 10 + 0.5 / 7.5, 60},                     // 30' east at Dec 60
        {4, 30, 0.01, 0, 24 - 0.0233333333333, 0},               // west past 0 h
        {3, 5, 4, 90, std::fmod(4 + 5 / 60.0 / 0.001, 24), 90},  // the factor's floor at the pole
        {1, 60, 4, 89.5, 4, 90},                                 // stops at the pole
        {2, 60, 4, -89.5, 4, -90},
    };
    for (const Case& c : cases) {
        ScopeState& s = scopeState();
        s = ScopeState{};
        s.lAlignmentMode = 1;
        s.dSiteLatitude = 50;
        s.dScopeRA = c.ra0;
        s.dScopeDec = c.dec0;
        double ra = 0, dec = 0;
        ASSERT_TRUE(modScope::jogTarget(c.button, c.minutes / 60, ra, dec));
        EXPECT_NEAR(ra, c.ra, 1e-9) << c.ra0 << " " << c.dec0;
        EXPECT_NEAR(dec, c.dec, 1e-9);
        EXPECT_GE(ra, 0);
        EXPECT_LT(ra, 24);
    }
}

TEST(ScopeJog, AltAzMountMovesOneHorizontalAxis) {
    struct Case {
        int button;
        bool reversed;
        double dAlt, dAz;
    } cases[] = {
        {1, false, 1, 0}, {2, false, -1, 0}, {3, false, 0, 1}, {4, false, 0, -1},
        {1, true, -1, 0}, {2, true, 1, 0},   {3, true, 0, -1}, {4, true, 0, 1},
    };
    for (const Case& c : cases) {
        ScopeState& s = scopeState();
        s = ScopeState{};
        setSite(50, 8);
        s.lAlignmentMode = 0;
        s.dScopeAz = 130;
        s.dScopeAlt = 35;
        s.bReverseNS = c.reversed;
        s.bReverseEW = c.reversed;
        double ra = 0, dec = 0;
        ASSERT_TRUE(modScope::jogTarget(c.button, 1.0, ra, dec));
        double az = 0, alt = 0;
        modScope::RaDecToAltAz(ra, dec, az, alt);
        EXPECT_NEAR(alt, 35 + c.dAlt, 1e-6) << c.button << c.reversed;
        EXPECT_NEAR(az, 130 + c.dAz, 1e-6) << c.button << c.reversed;
    }
}

namespace {

// The poll's host: a press to deliver and what was shown.
struct Host : ScopePollHost {
    std::int16_t press = 0;
    int minutes = 60;
    QStringList shown;
    double ra = -1, dec = -1, az = -1, alt = -1;
    std::int16_t ButtonState() override { return std::exchange(press, 0); }
    int jogArcMinutes() const override { return minutes; }
    void setRightAscension(double v) override { ra = v, shown << "ra"; }
    void setDeclination(double v) override { dec = v, shown << "dec"; }
    void setAzimuth(double v) override { az = v, shown << "az"; }
    void setAltitude(double v) override { alt = v, shown << "alt"; }
    void blankEquatorial() override { shown << "blank ra/dec"; }
    void blankHorizontal() override { shown << "blank az/alt"; }
};

class ScopePollTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake = std::make_shared<FakeTelescope>();
        sky::scope() = fake;
        state().bScopeLinked = true;
        ScopeState& s = scopeState();
        s.bCanReadRaDec = s.bCanReadAltAz = s.bCanSlew = s.bCanSlewAsync = true;
        s.lAlignmentMode = 2;
        setSite(50, 8);
    }
    std::shared_ptr<FakeTelescope> fake;
    Host host;
};

}  // namespace

TEST_F(ScopePollTest, HaltAbortsAndRefreshesWithoutASlew) {
    host.press = 5;
    modScope::ScopePoll(host);
    EXPECT_EQ(fake->calls,
              QStringList({"AbortSlew", "RightAscension", "Declination", "Azimuth", "Altitude"}));
    EXPECT_EQ(host.shown, QStringList({"ra", "dec", "az", "alt"}));
    EXPECT_EQ(host.ra, 6);
    EXPECT_EQ(host.alt, 40);
}

TEST_F(ScopePollTest, AJogAbortsThenSlewsFromTheLastPosition) {
    scopeState().dScopeRA = 6;
    scopeState().dScopeDec = 20;
    host.press = 1;
    modScope::ScopePoll(host);
    EXPECT_EQ(fake->calls.mid(0, 2), QStringList({"AbortSlew", "SlewToCoordinatesAsync"}));
    EXPECT_DOUBLE_EQ(fake->slewDec, 21);
    EXPECT_DOUBLE_EQ(fake->slewRa, 6);
    // The press is consumed: the next poll only refreshes.
    fake->clear();
    modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("SlewToCoordinatesAsync"));
}

TEST_F(ScopePollTest, NothingIsSentWithoutAsynchronousSlewsOrALink) {
    host.press = 3;
    scopeState().bCanSlewAsync = false;
    modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("SlewToCoordinatesAsync"));
    EXPECT_FALSE(fake->calls.contains("SlewToCoordinates"));

    fake->clear();
    host.shown.clear();
    scopeState().bCanSlewAsync = true;
    state().bScopeLinked = false;
    host.press = 3;
    modScope::ScopePoll(host);
    EXPECT_TRUE(fake->calls.isEmpty()) << fake->calls.join(",").toStdString();
    EXPECT_EQ(host.shown.size(), 4);  // the last values are still shown
}

TEST_F(ScopePollTest, AnOutOfRangeTargetRaises) {
    EXPECT_THROW(modScope::SlewToTargetAsync(24.5, 0), AppError);
    EXPECT_THROW(modScope::SlewToTargetAsync(1, 91), AppError);
    EXPECT_THROW(modScope::SlewToTargetAsync(std::nan(""), 0), AppError);
    EXPECT_TRUE(fake->calls.isEmpty());
    modScope::SlewToTargetAsync(24, -90);
    EXPECT_EQ(fake->calls, QStringList({"SlewToCoordinatesAsync"}));
}

TEST_F(ScopePollTest, OnePairIsDerivedFromTheOther) {
    // Horizontal only: RA/Dec come from the site and the sidereal time.
    scopeState().bCanReadRaDec = false;
    fake->az = 180;
    fake->alt = 60;
    modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("RightAscension"));
    EXPECT_NEAR(host.dec, 20, 1e-5);
    EXPECT_NEAR(raDiffDegrees(host.ra, lstAt(8)), 0, 1e-5);

    // Equatorial only.
    scopeState().bCanReadRaDec = true;
    scopeState().bCanReadAltAz = false;
    fake->ra = lstAt(8);
    fake->dec = 60;
    fake->clear();
    modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("Azimuth"));
    EXPECT_NEAR(host.alt, 80, 1e-5);
    EXPECT_NEAR(std::remainder(host.az, 360.0), 0, 1e-5);
    EXPECT_LT(host.az, 360);
}

TEST_F(ScopePollTest, WithoutASiteTheDerivedPairStaysBlank) {
    testenv::enableTrace();
    scopeState().bSiteKnown = false;
    scopeState().bCanReadAltAz = false;
    modScope::ScopePoll(host);
    modScope::ScopePoll(host);
    EXPECT_EQ(host.shown, QStringList({"ra", "dec", "blank az/alt", "ra", "dec", "blank az/alt"}));
    int warnings = 0;
    for (const QString& l : testenv::traceLines()) warnings += l.contains("reports no site");
    EXPECT_EQ(warnings, 1);

    // An alt-az mount without a site is not jogged to a guessed place.
    scopeState().lAlignmentMode = 0;
    scopeState().bCanReadAltAz = true;
    host.press = 1;
    fake->clear();
    modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("SlewToCoordinatesAsync"));
}

TEST_F(ScopePollTest, AFailingReadEndsTheRefreshButTheDisplayFollows) {
    testenv::enableTrace();
    fake->failing = {"Declination"};
    scopeState().dScopeDec = -12;
    for (int i = 0; i < 3; ++i) modScope::ScopePoll(host);
    EXPECT_FALSE(fake->calls.contains("Azimuth"));
    EXPECT_EQ(host.dec, -12);
    EXPECT_EQ(host.ra, 6);
    EXPECT_EQ(host.shown.size(), 12);
    int traced = 0;
    for (const QString& l : testenv::traceLines()) traced += l.contains("Declination failed");
    EXPECT_EQ(traced, 1) << "a repeating failure is traced once";
}

TEST_F(ScopePollTest, AbortIgnoresFailures) {
    fake->failing = {"AbortSlew", "SlewToCoordinatesAsync"};
    host.press = 2;
    EXPECT_NO_THROW(modScope::ScopePoll(host));
    EXPECT_EQ(host.shown.size(), 4);
    sky::scope().reset();
    EXPECT_NO_THROW(modScope::AbortScopeSlew());
}

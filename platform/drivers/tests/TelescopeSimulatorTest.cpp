#include <cmath>

#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/SimulatorSettings.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "platform/drivers/tests/DriverTestEnv.h"

using namespace zelmora;
using namespace zelmora::drivers;
using zelmora::drivers::testing::DriverTest;
using zelmora::drivers::testing::errorNumber;

namespace {

class TelescopeSimulatorTest : public DriverTest {
protected:
    // A connected mount at 2 deg/s, pointing at RA 10 h, Dec 0.
    std::shared_ptr<TelescopeSimulator> mount(double rate = 2.0) {
        TelescopeSimulator::Config c;
        c.slewRate = rate;
        auto t = std::make_shared<TelescopeSimulator>(c);
        t->setPointing(10.0, 0.0);
        t->setConnected(true);
        return t;
    }
};

}  // namespace

TEST_F(TelescopeSimulatorTest, AsyncSlewReachesItsTargetOnVirtualTime) {
    auto t = mount();
    // 1 h of RA is 15 deg, 10 deg of Dec: both axes move at 2 deg/s, 7.5 s in all.
    t->SlewToCoordinatesAsync(11.0, 10.0);
    EXPECT_TRUE(t->Slewing());
    EXPECT_DOUBLE_EQ(t->TargetRightAscension(), 11.0);
    EXPECT_DOUBLE_EQ(t->TargetDeclination(), 10.0);
    testenv::vclock().advance(3750);
    EXPECT_TRUE(t->Slewing());
    EXPECT_NEAR(t->RightAscension(), 10.5, 1e-9);
    EXPECT_NEAR(t->Declination(), 5.0, 1e-9);
    testenv::vclock().advance(3750);
    EXPECT_FALSE(t->Slewing());
    EXPECT_DOUBLE_EQ(t->RightAscension(), 11.0);
    EXPECT_DOUBLE_EQ(t->Declination(), 10.0);
    testenv::vclock().advance(60'000);
    EXPECT_DOUBLE_EQ(t->RightAscension(), 11.0) << "the mount tracks: RA and Dec stay";
}

TEST_F(TelescopeSimulatorTest, AbortSlewStopsWhereTheMountStands) {
    auto t = mount();
    t->SlewToCoordinatesAsync(10.0, 20.0);  // 10 s
    testenv::vclock().advance(2500);
    t->AbortSlew();
    EXPECT_FALSE(t->Slewing());
    EXPECT_NEAR(t->Declination(), 5.0, 1e-9);
    testenv::vclock().advance(30'000);
    EXPECT_NEAR(t->Declination(), 5.0, 1e-9);
    t->AbortSlew();  // nothing to stop: no failure
}

TEST_F(TelescopeSimulatorTest, SlewTakesTheShortWayRoundInRightAscension) {
    auto t = mount();
    t->setPointing(23.5, 0);
    t->SlewToCoordinatesAsync(0.5, 0);  // through 0 h: 1 h = 15 deg = 7.5 s
    testenv::vclock().advance(3750);
    EXPECT_NEAR(t->RightAscension(), 0.0, 1e-9);
    testenv::vclock().advance(3750);
    EXPECT_FALSE(t->Slewing());
    EXPECT_DOUBLE_EQ(t->RightAscension(), 0.5);
}

TEST_F(TelescopeSimulatorTest, SynchronousSlewWaitsAndCanBeAbortedFromInsideTheWait) {
    auto t = mount();
    t->SlewToCoordinates(10.0, 20.0);
    EXPECT_EQ(now(), 10'000);
    EXPECT_FALSE(t->Slewing());
    EXPECT_DOUBLE_EQ(t->Declination(), 20.0);

    testenv::vclock().scheduleIn(4'000, [&] { t->AbortSlew(); });
    t->SlewToCoordinates(10.0, 0.0);
    EXPECT_EQ(now(), 14'000) << "the abort ended the wait";
    EXPECT_NEAR(t->Declination(), 12.0, 1e-9);

    std::weak_ptr<TelescopeSimulator> weak = t;
    testenv::vclock().scheduleIn(1'000, [&] { t.reset(); });  // the program lets go of it
    weak.lock()->SlewToCoordinates(10.0, 20.0);
    EXPECT_TRUE(weak.expired());
}

TEST_F(TelescopeSimulatorTest, SyncAndInstantSlews) {
    auto t = mount(0);
    t->SlewToCoordinatesAsync(5.0, -30.0);
    EXPECT_FALSE(t->Slewing());
    EXPECT_DOUBLE_EQ(t->RightAscension(), 5.0);
    EXPECT_EQ(errorNumber([&] { TelescopeSimulator().TargetDeclination(); }),
              DriverErrors::kValueNotSet);
    t->setTargetDeclination(45.0);
    t->setTargetRightAscension(6.0);
    t->SyncToTarget();
    EXPECT_DOUBLE_EQ(t->RightAscension(), 6.0);
    EXPECT_DOUBLE_EQ(t->Declination(), 45.0);
}

TEST_F(TelescopeSimulatorTest, HorizontalCoordinatesFollowTheSiteAndTheClock) {
    TelescopeSimulator::Config c;
    c.latitude = 50.0;
    auto t = std::make_shared<TelescopeSimulator>(c);  // starts on the meridian at Dec 0
    t->setConnected(true);
    EXPECT_NEAR(t->Altitude(), 40.0, 1e-6);
    EXPECT_NEAR(t->Azimuth(), 180.0, 1e-6) << "south, from north through east";
    testenv::vclock().advance(3'600'000);  // an hour later the star has moved west
    EXPECT_LT(t->Altitude(), 40.0);
    EXPECT_GT(t->Azimuth(), 180.0);
    EXPECT_DOUBLE_EQ(t->SiteLatitude(), 50.0);
    EXPECT_EQ(t->AlignmentMode(), 2);
}

TEST_F(TelescopeSimulatorTest, StoredSettingsThatAreNoNumbersGiveTheDefaults) {
    const TelescopeSimulator::Config defaults;
    for (const char* stored : {"", "north", "nan", "inf", "-inf"}) {
        SCOPED_TRACE(stored);
        for (const char* key : {"AlignmentMode", "Latitude", "Longitude", "SlewRate"})
            testenv::memSettings().save(SimulatorSettings::kApp, kSimTelescopeId, key, stored);
        const auto c = TelescopeSimulator::loadConfig();
        EXPECT_EQ(c.alignmentMode, defaults.alignmentMode);
        EXPECT_EQ(c.latitude, defaults.latitude);
        EXPECT_EQ(c.longitude, defaults.longitude);
        EXPECT_EQ(c.slewRate, defaults.slewRate);
    }
}

TEST_F(TelescopeSimulatorTest, CapabilitiesSwitchedOffFailAsNotImplemented) {
    struct Case {
        const char* name;
        void (*off)(TelescopeSimulator::Capabilities&);
        void (*use)(TelescopeSimulator&);
    };
    const Case cases[] = {
        {"RA/Dec", [](auto& c) { c.readRaDec = false; }, [](auto& t) { t.Declination(); }},
        {"Alt/Az", [](auto& c) { c.readAltAz = false; }, [](auto& t) { t.Azimuth(); }},
        {"site", [](auto& c) { c.readSite = false; }, [](auto& t) { t.SiteLongitude(); }},
        {"mode", [](auto& c) { c.readAlignmentMode = false; }, [](auto& t) { t.AlignmentMode(); }},
        {"slew", [](auto& c) { c.slew = false; }, [](auto& t) { t.SlewToCoordinates(1, 1); }},
        {"async", [](auto& c) { c.slewAsync = false; },
         [](auto& t) { t.SlewToCoordinatesAsync(1, 1); }},
        {"sync", [](auto& c) { c.sync = false; }, [](auto& t) { t.SyncToTarget(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelescopeSimulator::Config config;
        c.off(config.can);
        TelescopeSimulator t(config);
        t.setConnected(true);
        t.setTargetRightAscension(1);
        t.setTargetDeclination(1);
        EXPECT_EQ(errorNumber([&] { c.use(t); }), DriverErrors::kNotImplemented);
        EXPECT_EQ(t.CanSlew(), config.can.slew);
        EXPECT_EQ(t.CanSlewAsync(), config.can.slewAsync);
    }
}

TEST_F(TelescopeSimulatorTest, FaultsAndBadInput) {
    struct Case {
        const char* name;
        void (*inject)(TelescopeSimulator::Config&);
        bool connectedReads;
        int connectError;
        int slewError;
    };
    const Case cases[] = {
        {"refused", [](auto& c) { c.refuseConnect = true; }, false, -1,
         DriverErrors::kNotConnected},
        {"fails", [](auto& c) { c.connectFails = true; }, false, DriverErrors::kDeviceFault,
         DriverErrors::kNotConnected},
        {"slew fails", [](auto& c) { c.slewFails = true; }, true, -1, DriverErrors::kDeviceFault},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelescopeSimulator::Config config;
        c.inject(config);
        TelescopeSimulator t(config);
        EXPECT_EQ(errorNumber([&] { t.setConnected(true); }), c.connectError);
        EXPECT_EQ(t.connected(), c.connectedReads);
        EXPECT_EQ(errorNumber([&] { t.SlewToCoordinatesAsync(2, 2); }), c.slewError);
        EXPECT_FALSE(t.Slewing());
    }
    auto t = mount();
    for (auto [ra, dec] :
         {std::pair{-0.1, 0.0}, {24.1, 0.0}, {1.0, 90.5}, {1.0, -91.0}, {NAN, 0.0}})
        EXPECT_EQ(errorNumber([&] { t->SlewToCoordinatesAsync(ra, dec); }),
                  DriverErrors::kInvalidValue)
            << ra << " " << dec;
    EXPECT_FALSE(t->Slewing());
}

#include <gtest/gtest.h>

#include <cmath>

#include "platform/drivers/TelescopeSimulator.h"
#include "platform/time/Timer.h"
#include "shell/ProgramState.h"
#include "sky/CoordParser.h"
#include "sky/ScopeControlModel.h"
#include "sky/ScopeDriver.h"
#include "sky/modScope.h"
#include "sky/tests/FakeTelescope.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using namespace zelmora::sky;
using drivers::TelescopeSimulator;
using zelmora::sky::testing::FakeTelescope;
using M = ScopeControlModel;

namespace {

struct View : ScopeView {
    int minutes = 60;
    QString ra, dec, az, alt;
    std::uint32_t lamp = 0xFFFFFFFF;
    std::vector<std::uint32_t> lamps;
    std::array<QString, 4> captions;
    int jogArcMinutes() const override { return minutes; }
    void showRightAscension(const QString& t) override { ra = t; }
    void showDeclination(const QString& t) override { dec = t; }
    void showAzimuth(const QString& t) override { az = t; }
    void showAltitude(const QString& t) override { alt = t; }
    void showLamp(std::uint32_t bgr) override {
        lamp = bgr;
        lamps.push_back(bgr);
    }
    void showJogCaptions(const std::array<QString, 4>& c) override { captions = c; }
};

std::array<QString, 4> caps(const char* a, const char* b, const char* c, const char* d) {
    return {QString::fromLatin1(a), QString::fromLatin1(b), QString::fromLatin1(c),
            QString::fromLatin1(d)};
}

int traced(const QString& part) {
    int n = 0;
    for (const QString& l : testenv::traceLines()) n += l.contains(part);
    return n;
}

class ScopeControlTest : public ::testing::Test {
protected:
    std::shared_ptr<TelescopeSimulator> simulator(TelescopeSimulator::Config c = {}) {
        auto sim = std::make_shared<TelescopeSimulator>(c);
        sky::scope() = sim;
        return sim;
    }
    void probe() {
        model = std::make_unique<M>(view);
        model->ProbeScope();
    }
    void advance(qint64 ms) { testenv::vclock().advance(ms); }

    View view;
    std::unique_ptr<M> model;
};

}  // namespace

TEST_F(ScopeControlTest, ButtonStateIsReadOnce) {
    M m(view);
    EXPECT_EQ(m.ButtonState(), 0);
    m.cmdSlew_MouseDown(3);
    EXPECT_EQ(m.ButtonState(), 3);
    EXPECT_EQ(m.ButtonState(), 0);
    // A click released before any poll is still delivered (then cleared).
    m.cmdSlew_MouseDown(2);
    m.cmdSlew_MouseUp();
    EXPECT_EQ(m.ButtonState(), 2);
    EXPECT_EQ(m.ButtonState(), 0);
}

TEST_F(ScopeControlTest, JogCaptionsTable) {
    EXPECT_EQ(M::jogCaptions(0, false), caps("U", "D", "R", "L"));
    EXPECT_EQ(M::jogCaptions(0, true), caps("U", "D", "R", "L"));
    EXPECT_EQ(M::jogCaptions(1, true), caps("S", "N", "E", "W"));
    EXPECT_EQ(M::jogCaptions(2, false), caps("N", "S", "E", "W"));
    EXPECT_EQ(M::jogCaptions(-1, false), caps("N", "S", "E", "W"));
    M m(view);
    m.setSouthernHemisphere(true);
    EXPECT_EQ(view.captions, caps("S", "N", "E", "W"));
    m.setAlignMode(0);
    EXPECT_EQ(view.captions, caps("U", "D", "R", "L"));
}

TEST_F(ScopeControlTest, ProbeUnderEachCapability) {
    struct Case {
        const char* name;
        bool noDriver = false;
        bool refuse = false;
        bool raDec = true, altAz = true, site = true, mode = true;
        double latitude = 50;
        int alignment = 2;
        // expected
        bool linked = true;
        const char* message = nullptr;
        std::array<QString, 4> captions = caps("N", "S", "E", "W");
        std::int32_t lMode = 2;
        bool siteKnown = true;
    };
    const Case cases[] = {
        {.name = "no driver", .noDriver = true, .linked = false},
        {.name = "link refused",
         .refuse = true,
         .linked = false,
         .message = "Error connecting to telescope."},
        {.name = "alt-az only", .raDec = false},
        {.name = "equatorial only", .altAz = false},
        {.name = "neither pair",
         .raDec = false,
         .altAz = false,
         .linked = false,
         .message = "Scope driver not capable of providing Equatorial or Alt/Az coordinates, "
                    "disconnecting"},
        {.name = "southern site", .latitude = -33.9, .captions = caps("S", "N", "E", "W")},
        {.name = "alt-az mount",
         .latitude = -33.9,
         .alignment = 0,
         .captions = caps("U", "D", "R", "L"),
         .lMode = 0},
        {.name = "site unreadable", .site = false, .latitude = -33.9, .siteKnown = false},
        {.name = "mode unreadable", .mode = false, .alignment = 0, .lMode = -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetProgramState();
        testenv::dialogs().clear();
        view = View{};
        TelescopeSimulator::Config config;
        config.latitude = c.latitude;
        config.alignmentMode = c.alignment;
        config.refuseConnect = c.refuse;
        config.can.readRaDec = c.raDec;
        config.can.readAltAz = c.altAz;
        config.can.readSite = c.site;
        config.can.readAlignmentMode = c.mode;
        std::shared_ptr<TelescopeSimulator> sim;
        if (!c.noDriver) sim = simulator(config);
        if (c.message) testenv::dialogs().expectMsgBox(QString::fromLatin1(c.message));
        model = std::make_unique<M>(view);
        model->setSouthernHemisphere(false);
        model->setAlignMode(1);
        model->ProbeScope();
        model->SetJogCaptions();
        EXPECT_TRUE(testenv::dialogs().allUsed());
        if (c.message) {
            ASSERT_EQ(testenv::dialogs().shown().size(), 1u);
            EXPECT_EQ(testenv::dialogs().shown()[0].text, QString::fromLatin1(c.message));
            EXPECT_EQ(testenv::dialogs().shown()[0].style, platform::Msg::Exclamation);
        } else {
            EXPECT_TRUE(testenv::dialogs().shown().empty());
        }
        EXPECT_EQ(state().bScopeLinked, c.linked);
        EXPECT_EQ(model->timer().isRunning(), c.linked);
        if (sim && !c.linked) {
            EXPECT_FALSE(sim->connected());
        }
        if (!c.linked) continue;
        const ScopeState& s = scopeState();
        EXPECT_EQ(s.bCanReadRaDec, c.raDec);
        EXPECT_EQ(s.bCanReadAltAz, c.altAz);
        EXPECT_EQ(s.bSiteKnown, c.siteKnown);
        EXPECT_EQ(s.lAlignmentMode, c.lMode);
        EXPECT_TRUE(s.bCanSlew);
        EXPECT_TRUE(s.bCanSlewAsync);
        EXPECT_EQ(view.captions, c.captions);
        if (c.siteKnown) EXPECT_EQ(s.dSiteLatitude, c.latitude);
        if (!c.siteKnown) EXPECT_FALSE(model->SouthernHemisphere());
    }
}

// Each jog button on the simulator and the virtual clock: the mount ends one
// step away on the expected axis, in the expected direction.
TEST_F(ScopeControlTest, JogTableOnTheSimulator) {
    struct Case {
        int button;
        bool reversed;
        double latitude;
        int mode;
        double dRaDeg, dDec, dAlt, dAz;  // expected change (dRaDeg on the sky at the equator)
    } cases[] = {
        {1, false, 50, 2, 0, 1, 0, 0},   {2, false, 50, 2, 0, -1, 0, 0},
        {3, false, 50, 2, 1, 0, 0, 0},   {4, false, 50, 2, -1, 0, 0, 0},
        {1, true, 50, 2, 0, -1, 0, 0},   {3, true, 50, 2, -1, 0, 0, 0},
        {1, false, -30, 2, 0, -1, 0, 0}, {2, false, -30, 2, 0, 1, 0, 0},
        {1, true, -30, 2, 0, 1, 0, 0},   {4, true, -30, 2, 1, 0, 0, 0},
        {1, false, 50, 0, 0, 0, 1, 0},   {2, true, 50, 0, 0, 0, 1, 0},
        {3, false, 50, 0, 0, 0, 0, 1},   {4, false, 50, 0, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.button << " rev " << c.reversed << " lat "
                                          << c.latitude << " mode " << c.mode);
        resetProgramState();
        TelescopeSimulator::Config config;
        config.latitude = c.latitude;
        config.alignmentMode = c.mode;
        config.slewRate = 0;  // so the sky does not turn between the jog and the check
        auto sim = simulator(config);
        model = std::make_unique<M>(view);
        model->ProbeScope();
        scopeState().bReverseNS = scopeState().bReverseEW = c.reversed;
        advance(200);  // one poll: the position is known
        const double ra0 = sim->RightAscension(), dec0 = sim->Declination();
        const double alt0 = sim->Altitude(), az0 = sim->Azimuth();
        model->cmdSlew_MouseDown(static_cast<std::int16_t>(c.button));
        advance(50);
        model->cmdSlew_MouseUp();  // a 50 ms click, released before the next poll
        advance(150);
        if (c.mode != 0) {
            const double dRa = std::remainder(sim->RightAscension() - ra0, 24.0) * 15.0;
            EXPECT_NEAR(dRa, c.dRaDeg, 1e-6);
            EXPECT_NEAR(sim->Declination() - dec0, c.dDec, 1e-6);
        } else {
            EXPECT_NEAR(sim->Altitude() - alt0, c.dAlt, 1e-5);
            EXPECT_NEAR(std::remainder(sim->Azimuth() - az0, 360.0), c.dAz, 1e-5);
        }
    }
}

TEST_F(ScopeControlTest, AHeldButtonJogsOnce) {
    TelescopeSimulator::Config config;
    config.slewRate = 0;
    auto sim = simulator(config);
    probe();
    advance(200);
    const double dec0 = sim->Declination();
    model->cmdSlew_MouseDown(1);
    advance(1000);  // five polls while held
    model->cmdSlew_MouseUp();
    advance(400);
    EXPECT_NEAR(sim->Declination() - dec0, 1.0, 1e-9);
}

TEST_F(ScopeControlTest, SlewToACatalogueObjectWithTheLamp) {
    auto sim = simulator();  // 4 degrees a second
    probe();
    advance(200);
    EXPECT_EQ(view.lamp, M::kBrightGreen);
    // M42 from the default catalogue.
    const QString ra = QStringLiteral("05h 35m 17.3s");
    const QString dec = QString::fromUtf8(
        "-05\xC2\xB0"
        "23'28.0");
    model->cbSlew_Click(ra, dec);
    EXPECT_EQ(model->Timer2().interval(), 800);
    ASSERT_TRUE(sim->Slewing());
    // While slewing the lamp dims at every indicator tick and the poll brightens it.
    view.lamps.clear();
    advance(800);
    EXPECT_NE(std::find(view.lamps.begin(), view.lamps.end(), M::kGreen), view.lamps.end());
    for (int i = 0; i < 200 && sim->Slewing(); ++i) advance(200);
    ASSERT_FALSE(sim->Slewing());
    advance(800);
    EXPECT_EQ(model->Timer2().interval(), 0) << "the indicator stops with the slew";
    EXPECT_EQ(view.lamp, M::kBrightGreen);
    EXPECT_NEAR(sim->RightAscension(), *CoordParser::hoursFromText(ra), 1e-9);
    EXPECT_NEAR(sim->Declination(), *CoordParser::degreesFromText(dec), 1e-9);
    EXPECT_EQ(view.ra, QStringLiteral("05:35:17"));
    EXPECT_EQ(view.dec, QStringLiteral("-05:23:28"));
}

TEST_F(ScopeControlTest, HaltStopsASlewMidway) {
    auto sim = simulator();
    probe();
    advance(200);
    const double dec0 = sim->Declination();
    model->cbSlew_Click(QString::number(sim->RightAscension(), 'f', 6), QStringLiteral("+60"));
    advance(1000);
    ASSERT_TRUE(sim->Slewing());
    model->cmdSlew_MouseDown(5);
    model->cmdSlew_MouseUp();
    advance(200);
    EXPECT_FALSE(sim->Slewing());
    const double stopped = sim->Declination();
    EXPECT_GT(stopped, dec0 + 3);
    EXPECT_LT(stopped, 60 - 30);
    advance(5000);
    EXPECT_DOUBLE_EQ(sim->Declination(), stopped);
}

TEST_F(ScopeControlTest, SlewCommandCallOrder) {
    auto fake = std::make_shared<FakeTelescope>();
    sky::scope() = fake;
    M m(view);
    const QString ra = QStringLiteral("16h 46m 30.00s");
    const QString dec = QString::fromUtf8(
        "+70\xC2\xB0"
        "23'00.0");
    m.cbSlew_Click(ra, dec);
    EXPECT_EQ(fake->calls, QStringList({"setTargetDeclination", "setTargetRightAscension",
                                        "connected", "CanSlewAsync", "SlewToCoordinatesAsync"}));
    EXPECT_DOUBLE_EQ(fake->slewRa, 16.775);
    EXPECT_NEAR(fake->slewDec, 70.383333333, 1e-8);
    EXPECT_DOUBLE_EQ(fake->targetRa, 16.775);

    fake->clear();
    fake->canSlewAsync = false;
    m.cbSlew_Click(ra, dec);
    EXPECT_EQ(fake->calls,
              QStringList({"setTargetDeclination", "setTargetRightAscension", "connected",
                           "CanSlewAsync", "CanSlew", "SlewToCoordinates"}));
    // Failing steps are skipped and the next one runs.
    fake->clear();
    fake->canSlewAsync = true;
    fake->failing = {"setTargetDeclination", "setTargetRightAscension"};
    m.cbSlew_Click(ra, dec);
    EXPECT_TRUE(fake->calls.contains("SlewToCoordinatesAsync"));
    // Link down: the indicator starts, the targets are set, no slew.
    fake->clear();
    fake->failing.clear();
    fake->connected_ = false;
    m.Timer2().setInterval(0);
    m.cbSlew_Click(ra, dec);
    EXPECT_EQ(m.Timer2().interval(), 800);
    EXPECT_EQ(fake->calls,
              QStringList({"setTargetDeclination", "setTargetRightAscension", "connected"}));
}

TEST_F(ScopeControlTest, TargetTextsThatDoNotReadSendNothing) {
    auto fake = std::make_shared<FakeTelescope>();
    sky::scope() = fake;
    M m(view);
    const QString okRa = QStringLiteral("12h 00m 00s"), okDec = QStringLiteral("+10 00 00");
    const std::pair<QString, QString> cases[] = {
        {"", okDec},
        {M::kRaPlaceholder, okDec},
        {okRa, M::kDecPlaceholder},
        {okRa, ""},
        {"twelve", okDec},
        {okRa, "+10 00 00 junk"},
        {"24h 00m 01s", okDec},
        {"-0h 10m", okDec},
        {okRa, "+90 00 01"},
        {okRa, "-91"},
    };
    for (const auto& [ra, dec] : cases) {
        testenv::dialogs().expectMsgBox(M::kInvalidCoordinates);
        m.cbSlew_Click(ra, dec);
        EXPECT_TRUE(fake->calls.isEmpty()) << ra.toStdString() << " / " << dec.toStdString();
        EXPECT_EQ(m.Timer2().interval(), 0);
    }
    EXPECT_TRUE(testenv::dialogs().allUsed());
    for (const auto& shown : testenv::dialogs().shown()) {
        EXPECT_EQ(shown.text, M::kInvalidCoordinates);
        EXPECT_EQ(shown.style, platform::Msg::OKOnly);
    }
    EXPECT_EQ(M::kInvalidCoordinates,
              QString::fromUtf8("Invalid Co-Ordinates. Enter Valid Coordniates eg RA = 16h 46m "
                                "30.00s    Dec = +70\xC2\xB0"
                                "23'00.0"));
}

TEST_F(ScopeControlTest, ADriverThatFailsInTheTick) {
    testenv::enableTrace();
    auto fake = std::make_shared<FakeTelescope>();
    sky::scope() = fake;
    probe();
    ASSERT_TRUE(model->timer().isRunning());
    advance(200);
    EXPECT_EQ(view.lamp, M::kBrightGreen);

    fake->failing = {"connected"};
    advance(1000);
    EXPECT_EQ(view.lamp, M::kRed);
    EXPECT_EQ(traced("connected failed"), 1) << "traced once, not every 200 ms";
    fake->failing.clear();
    advance(200);
    EXPECT_EQ(view.lamp, M::kBrightGreen);
    fake->failing = {"connected"};
    advance(200);
    EXPECT_EQ(traced("connected failed"), 2) << "a new failure after a recovery is traced";

    // The slew indicator stops on a failing Slewing.
    fake->failing = {"Slewing"};
    model->Timer2().setInterval(800);
    advance(1600);
    EXPECT_EQ(model->Timer2().interval(), 0);
    EXPECT_EQ(traced("Slewing failed"), 1);

    // Sync and Settings... report their failures without a box.
    fake->failing = {"SyncToTarget", "SetupDialog"};
    model->Sync_Click();
    model->cmdSetup_Click();
    EXPECT_EQ(traced("SyncToTarget failed"), 1);
    EXPECT_EQ(traced("SetupDialog failed"), 1);
    EXPECT_TRUE(testenv::dialogs().shown().empty());

    // A driver let go (Terminate) turns the lamp red.
    fake->failing.clear();
    advance(200);
    EXPECT_EQ(view.lamp, M::kBrightGreen);
    sky::scope().reset();
    advance(200);
    EXPECT_EQ(view.lamp, M::kRed);
}

TEST_F(ScopeControlTest, SyncUsesTheStoredTarget) {
    TelescopeSimulator::Config config;
    config.slewRate = 0;
    auto sim = simulator(config);
    probe();
    sim->setTargetRightAscension(3.25);
    sim->setTargetDeclination(-12.5);
    model->Sync_Click();
    EXPECT_DOUBLE_EQ(sim->RightAscension(), 3.25);
    EXPECT_DOUBLE_EQ(sim->Declination(), -12.5);
}

TEST_F(ScopeControlTest, ProbeAsksInItsOrder) {
    auto fake = std::make_shared<FakeTelescope>();
    fake->connected_ = false;
    fake->failing = {"SiteLongitude"};  // the site stays unknown
    sky::scope() = fake;
    probe();
    EXPECT_EQ(fake->calls,
              QStringList({"setConnected", "connected", "Azimuth", "Altitude", "RightAscension",
                           "Declination", "SiteLatitude", "SiteLongitude", "AlignmentMode",
                           "CanSlew", "CanSlewAsync"}));
    EXPECT_FALSE(scopeState().bSiteKnown);
    EXPECT_EQ(scopeState().dSiteLatitude, 0);
    // A window opened while linked does not connect again.
    fake->clear();
    probe();
    EXPECT_EQ(fake->calls.mid(0, 2), QStringList({"connected", "Azimuth"}));
}

#include <QDialog>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/FocuserSimulator.h"
#include "platform/drivers/tests/DriverTestEnv.h"

using namespace zelmora;
using namespace zelmora::drivers;
using zelmora::drivers::testing::DriverTest;
using zelmora::drivers::testing::errorNumber;

namespace {

using Kind = FocuserSimulator::Kind;

std::shared_ptr<FocuserSimulator> linked(Kind kind, double stepsPerSecond) {
    auto f = std::make_shared<FocuserSimulator>(kind);
    auto c = f->config();
    c.stepsPerSecond = stepsPerSecond;
    f->setConfig(c);
    f->setLink(true);
    return f;
}

class FocuserSimulatorTest : public DriverTest {};

}  // namespace

// Each move starts at the sky's default position 5000; the focuser runs at
// 1000 steps per second, so a 200-step move takes 200 ms of virtual time.
TEST_F(FocuserSimulatorTest, MovesFollowVirtualTimeAndMoveTheSky) {
    struct Case {
        const char* name;
        Kind kind;
        int move;
        int skyHalfway;  // after half the move's time
        int skyAtEnd;
        qint64 durationMs;
    };
    const Case cases[] = {
        {"absolute out", Kind::Absolute, 5200, 5100, 5200, 200},
        {"absolute in", Kind::Absolute, 4000, 4500, 4000, 1000},
        {"relative out", Kind::Relative, 300, 5150, 5300, 300},
        {"relative in", Kind::Relative, -200, 4900, 4800, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimSky::instance().reset();
        auto f = linked(c.kind, 1000);
        const qint64 t0 = now();
        f->Move(c.move);
        EXPECT_TRUE(f->IsMoving());
        testenv::vclock().advance(c.durationMs / 2);
        EXPECT_TRUE(f->IsMoving());
        EXPECT_EQ(skyFocuser(), c.skyHalfway) << "the sky hears of the move while it runs";
        testenv::vclock().advance(c.durationMs / 2);
        EXPECT_FALSE(f->IsMoving());
        EXPECT_EQ(now() - t0, c.durationMs);
        EXPECT_EQ(skyFocuser(), c.skyAtEnd);
        if (c.kind == Kind::Absolute) {
            EXPECT_EQ(f->Position(), c.move);
        }
    }
}

TEST_F(FocuserSimulatorTest, InstantSpeedEndsEveryMoveAtOnce) {
    auto abs = linked(Kind::Absolute, 0);
    abs->Move(5120);
    EXPECT_FALSE(abs->IsMoving());
    EXPECT_EQ(abs->Position(), 5120);
    abs->Move(abs->Position() - 20);  // backlash: the position read at once is current
    EXPECT_EQ(abs->Position(), 5100);

    auto rel = linked(Kind::Relative, 0);
    rel->Move(120);
    rel->Move(-20);
    EXPECT_FALSE(rel->IsMoving());
    EXPECT_EQ(skyFocuser(), 5200) << "both focusers move the one sky focuser";
}

TEST_F(FocuserSimulatorTest, AMoveDuringAMoveStartsFromWhereTheFocuserStands) {
    auto f = linked(Kind::Absolute, 1000);
    f->Move(6000);
    testenv::vclock().advance(400);
    EXPECT_EQ(f->Position(), 5400);
    f->Move(5000);  // back in, from 5400: 400 ms
    testenv::vclock().advance(399);
    EXPECT_TRUE(f->IsMoving());
    testenv::vclock().advance(1);
    EXPECT_FALSE(f->IsMoving());
    EXPECT_EQ(f->Position(), 5000);
}

TEST_F(FocuserSimulatorTest, KindsDifferInWhatTheyReport) {
    auto abs = linked(Kind::Absolute, 0);
    auto rel = linked(Kind::Relative, 0);
    EXPECT_TRUE(abs->absolute());
    EXPECT_FALSE(rel->absolute());
    EXPECT_EQ(abs->MaxStep(), 10000);
    EXPECT_EQ(rel->MaxStep(), 5000);
    EXPECT_EQ(rel->stepsize(), 10.0) << "a relative focuser seeds the move amount from it";
    EXPECT_EQ(errorNumber([&] { rel->Position(); }), DriverErrors::kNotImplemented);
    EXPECT_EQ(errorNumber([&] { rel->ResetPositionTo(0); }), DriverErrors::kNotImplemented);
}

TEST_F(FocuserSimulatorTest, RangeChecksAndLinkRequired) {
    struct Case {
        const char* name;
        Kind kind;
        bool link;
        int move;
        int error;
    };
    const Case cases[] = {
        {"absolute below 0", Kind::Absolute, true, -1, DriverErrors::kInvalidValue},
        {"absolute above MaxStep", Kind::Absolute, true, 10001, DriverErrors::kInvalidValue},
        {"absolute at MaxStep", Kind::Absolute, true, 10000, -1},
        {"relative beyond MaxStep out", Kind::Relative, true, 5001, DriverErrors::kInvalidValue},
        {"relative beyond MaxStep in", Kind::Relative, true, -5001, DriverErrors::kInvalidValue},
        {"relative full move in", Kind::Relative, true, -5000, -1},
        {"not linked", Kind::Absolute, false, 5000, DriverErrors::kNotConnected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimSky::instance().reset();
        auto f = std::make_shared<FocuserSimulator>(c.kind);
        f->setLink(c.link);
        EXPECT_EQ(errorNumber([&] { f->Move(c.move); }), c.error);
        if (c.error != -1) {
            EXPECT_EQ(skyFocuser(), 5000) << "a refused move goes nowhere";
        }
    }
}

TEST_F(FocuserSimulatorTest, ResetPositionToDeclaresThePositionWithoutMoving) {
    auto f = linked(Kind::Absolute, 0);
    f->ResetPositionTo(1000);
    EXPECT_EQ(f->Position(), 1000);
    EXPECT_EQ(skyFocuser(), 5000);
    f->Move(1250);
    EXPECT_EQ(f->Position(), 1250);
    EXPECT_EQ(skyFocuser(), 5250);
}

TEST_F(FocuserSimulatorTest, InjectedFaults) {
    struct Case {
        const char* name;
        void (*inject)(FocuserSimulator::Config&);
        bool linkReads;       // after setLink(true)
        int linkError;        // raised by setLink(true)
        int moveError;        // raised by Move
        bool movingAfterEnd;  // IsMoving long after the move's time
    };
    const Case cases[] = {
        {"none", [](FocuserSimulator::Config&) {}, true, -1, -1, false},
        {"link refused", [](FocuserSimulator::Config& c) { c.refuseLink = true; }, false, -1,
         DriverErrors::kNotConnected, false},
        {"link fails", [](FocuserSimulator::Config& c) { c.linkFails = true; }, false,
         DriverErrors::kDeviceFault, DriverErrors::kNotConnected, false},
        {"move fails", [](FocuserSimulator::Config& c) { c.moveFails = true; }, true, -1,
         DriverErrors::kDeviceFault, false},
        {"IsMoving stuck", [](FocuserSimulator::Config& c) { c.movingStuck = true; }, true, -1, -1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimSky::instance().reset();
        auto f = std::make_shared<FocuserSimulator>(Kind::Absolute);
        auto config = f->config();
        c.inject(config);
        f->setConfig(config);
        EXPECT_EQ(errorNumber([&] { f->setLink(true); }), c.linkError);
        EXPECT_EQ(f->link(), c.linkReads);
        int moveError = -1;
        try {
            f->Move(5100);
        } catch (const AppError& e) {
            moveError = e.number();
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(moveError, c.moveError);
        testenv::vclock().advance(10'000);
        if (f->link()) {
            EXPECT_EQ(f->IsMoving(), c.movingAfterEnd);
            EXPECT_EQ(f->Position(), c.moveError == -1 ? 5100 : 5000);
        }
    }
}

TEST_F(FocuserSimulatorTest, SetupDialogSavesTheSimulatorsSettings) {
    auto f = std::make_shared<FocuserSimulator>(Kind::Relative);
    ui->setSetupAction([](QDialog& d) {
        d.findChild<QDoubleSpinBox*>("stepsPerSecond")->setValue(0);
        d.findChild<QSpinBox*>("maxStep")->setValue(800);
        return true;
    });
    f->SetupDialog();
    EXPECT_EQ(ui->setupDialogsShown(), 1);
    EXPECT_EQ(f->config().stepsPerSecond, 0);
    const auto next = FocuserSimulator(Kind::Relative).config();
    EXPECT_EQ(next.stepsPerSecond, 0) << "a new driver object reads what was saved";
    EXPECT_EQ(next.maxStep, 800);
    EXPECT_EQ(FocuserSimulator(Kind::Absolute).config().maxStep, 10000) << "each kind its own";

    ui->setSetupAction([](QDialog& d) {
        d.findChild<QSpinBox*>("maxStep")->setValue(5);
        return false;  // cancelled
    });
    f->SetupDialog();
    EXPECT_EQ(f->config().maxStep, 800);
}

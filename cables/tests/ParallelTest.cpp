#include "cables/DSLRControl.h"
#include "cables/PPUtils.h"
#include "cables/PPortControl.h"
#include "cables/tests/CableFixture.h"
#include "shell/Globals.h"

using namespace zelmora;
using namespace zelmora::cables;
using namespace zelmora::cables::test;
using Kind = ports::SimParallelBus::Kind;

namespace {

class ParallelTest : public CableTest {};

TEST_F(ParallelTest, RegisterAndBitHelpers) {
    bus->addPort(0x378, Kind::ECP, 0);
    bus->out(0x77A, 0x35);
    EXPECT_EQ(PPUtils::ReadEcpMode(0x378), 1);
    EXPECT_EQ(PPUtils::EcpModeName(1), "PS/2");
    EXPECT_EQ(cableSetup().EcrAddress, 0x77A);
    bus->out(0x77A, 0x75);
    EXPECT_EQ(PPUtils::ReadEcpMode(0x378), 3);
    EXPECT_EQ(PPUtils::EcpModeName(3), "ECP");
    EXPECT_EQ(PPUtils::EcpModeName(5), "");
    EXPECT_EQ(PPUtils::EcpModeName(9), "");

    rec->clear();
    PPUtils::WriteControlPort(0x378, 0x0F);
    EXPECT_EQ(rec->accesses(), (std::vector<Access>{wr(0x37A, 0x04)}));
    EXPECT_EQ(PPUtils::ReadControlPort(0x378), 0x0F);

    std::int32_t v = 0x81;
    PPUtils::ToggleBit(v, 3);
    EXPECT_EQ(v, 0x89);
    PPUtils::ToggleBit(v, 3);
    EXPECT_EQ(v, 0x81);
    newTrace();
    EXPECT_EQ(PPUtils::LogBitState(0x05, 2), 1);
    EXPECT_EQ(newTrace(), QStringList{"Parallel Port State Bit2:1"});
}

TEST_F(ParallelTest, ClearEppTimeoutReturnsTheBitAsItWasAndPulsesTheStatusRegister) {
    bus->addPort(0x378, Kind::EPP);
    bus->setEppTimeout(0x378, true);
    rec->clear();
    EXPECT_EQ(PPUtils::ClearEppTimeout(0x378), 1);
    EXPECT_EQ(rec->writes(), (std::vector<Access>{wr(0x379, 1), wr(0x379, 0)}));
    EXPECT_EQ(PPUtils::ClearEppTimeout(0x378), 0);
}

TEST_F(ParallelTest, SetEcpModeKeepsTheLowBitsAndNeverWritesWithoutAPort) {
    bus->addPort(0x378, Kind::ECP, 0);
    CableSetup& c = cableSetup();
    c.PortTable[0] = {0x378, "ECP", "SPP", 0, true};
    c.selectPort(0);
    bus->out(0x77A, 0x15);
    PPortControl::SetEcpMode(3);
    EXPECT_EQ(bus->ecr(0x378), 0x75);
    EXPECT_EQ(c.PortTable[0].EcpModeName, "ECP");
    PPortControl::SetEcpMode(6);
    EXPECT_EQ(bus->ecr(0x378) >> 5, 6);

    c.PortTable[1] = {};
    c.selectPort(1);  // base 0
    rec->clear();
    PPortControl::SetEcpMode(3);
    EXPECT_TRUE(rec->accesses().empty());
}

// Detection over every kind of port at every standard base, and on a card above 0x7FFF.
TEST_F(ParallelTest, DetectionFindsEachKindAndLeavesTheDataLinesAsFound) {
    struct Case {
        const char* what;
        bool present;
        Kind kind;
        int ecpMode;
        const char* expected;  // "" = nothing
    };
    const std::vector<Case> kinds = {
        {"no port", false, Kind::SPP, 0, ""},      {"SPP", true, Kind::SPP, 0, "SPP"},
        {"PS/2", true, Kind::PS2, 0, "PS/2"},      {"EPP", true, Kind::EPP, 0, "EPP"},
        {"ECP mode 0", true, Kind::ECP, 0, "ECP"}, {"ECP mode 1", true, Kind::ECP, 1, "ECP"},
        {"ECP mode 3", true, Kind::ECP, 3, "ECP"},
    };
    CableSetup& c = cableSetup();
    for (std::uint16_t base : {std::uint16_t(0x378), std::uint16_t(0x278), std::uint16_t(0x3BC),
                               std::uint16_t(0xD010)}) {
        for (const Case& k : kinds) {
            SCOPED_TRACE(std::string(k.what) + " at " + std::to_string(base));
            bus->clear();
            if (k.present) bus->addPort(base, k.kind, k.ecpMode);
            if (k.present) bus->out(base, 0x42);  // what the lines held before
            const std::uint8_t ecrBefore = bus->ecr(base);
            c.PortTable[1] = {base, "", "", 0, false};
            const bool found = PPortControl::DetectPortType(1);
            std::string expected = k.expected;
            if (base == 0x3BC && expected == "EPP") expected = "PS/2";  // EPP is never tried there
            EXPECT_EQ(found, !expected.empty());
            EXPECT_EQ(c.PortTable[1].Type.toStdString(), expected);
            EXPECT_EQ(c.PortTable[1].Enabled, found);
            EXPECT_EQ(c.PortTable[1].Address, found ? base : 0);
            if (!k.present) continue;
            EXPECT_EQ(bus->dataLatch(base), 0x42);
            if (k.kind == Kind::ECP) {
                EXPECT_EQ(c.PortTable[1].EcpMode, k.ecpMode);
                EXPECT_EQ(bus->ecr(base), ecrBefore);  // put back after the 0x34 probe
            }
            if (expected == "SPP" || expected == "PS/2")
                EXPECT_EQ(bus->rawControl(base), 0x0F ^ 0x0B);
        }
    }
}

TEST_F(ParallelTest, AnAddressTheProgramDoesNotDriveIsNeverProbed) {
    CableSetup& c = cableSetup();
    for (std::uint16_t a : {std::uint16_t(0), std::uint16_t(0x20), std::uint16_t(0xFF)}) {
        c.PortTable[0] = {a, "SPP", "", 0, true};
        rec->clear();
        EXPECT_FALSE(PPortControl::DetectPortType(0));
        EXPECT_TRUE(rec->accesses().empty()) << a;
        EXPECT_EQ(c.PortTable[0].Address, 0);
    }
}

TEST_F(ParallelTest, PortSettingsRoundTripAndOutOfRangeValuesAreRefused) {
    CableSetup& c = cableSetup();
    c.PortTable[0] = {0x378, "ECP", "", 0, true};
    c.PortTable[1] = {0xD010, "SPP", "", 0, true};
    c.PortTable[3] = {0x3BC, "", "", 0, false};
    c.IndexOfSelectedPort = 1;
    c.FullPressPin = 5;
    c.HalfPressPin = 6;
    PPortControl::SavePortSettings();
    EXPECT_EQ(Settings::get("lptdata", "Port0Address", ""), "888");
    EXPECT_EQ(Settings::get("lptdata", "Port1Address", ""), "53264");
    EXPECT_EQ(Settings::get("lptdata", "Port0Enabled", ""), "-1");
    EXPECT_EQ(Settings::get("lptdata", "Port3Enabled", ""), "0");
    EXPECT_EQ(Settings::get("lptdata", "IndexOfSelectedPort", ""), "1");

    c.PortTable = {};
    c.IndexOfSelectedPort = 0;
    c.FullPressPin = 0;
    c.HalfPressPin = 1;
    CableSetup& d = c;
    PPortControl::LoadPortSettings();
    EXPECT_EQ(d.PortTable[0].Address, 0x378);
    EXPECT_EQ(d.PortTable[1].Address, 0xD010);
    EXPECT_EQ(d.PortTable[1].Type, "SPP");
    EXPECT_TRUE(d.PortTable[1].Enabled);
    EXPECT_FALSE(d.PortTable[3].Enabled);
    EXPECT_EQ(d.IndexOfSelectedPort, 1);
    EXPECT_EQ(d.FullPressPin, 5);
    EXPECT_EQ(d.HalfPressPin, 6);

    // Out of range: the value in force stays, with a trace line each.
    Settings::save("lptdata", "FullPressPina", "9");
    Settings::save("lptdata", "HalfPressPinb", "-1");
    Settings::save("lptdata", "IndexOfSelectedPort", "5");
    Settings::save("lptdata", "Port0Address", "32");
    Settings::save("lptdata", "Port1Address", "-5");
    Settings::save("lptdata", "Port2Address", "65000");
    newTrace();
    PPortControl::LoadPortSettings();
    EXPECT_EQ(d.FullPressPin, 5);
    EXPECT_EQ(d.HalfPressPin, 6);
    EXPECT_EQ(d.IndexOfSelectedPort, 1);
    EXPECT_EQ(d.PortTable[0].Address, 0x378);
    EXPECT_EQ(d.PortTable[1].Address, 0xD010);
    EXPECT_EQ(d.PortTable[2].Address, 0);
    EXPECT_EQ(newTrace().size(), 6);
}

TEST_F(ParallelTest, MissingKeysKeepTheTableAndGiveTheDefaultLines) {
    CableSetup& c = cableSetup();
    c.FullPressPin = 4;
    c.HalfPressPin = 4;
    c.PortTable[1].Address = 0x278;
    PPortControl::LoadPortSettings();
    EXPECT_EQ(c.FullPressPin, 0);
    EXPECT_EQ(c.HalfPressPin, 1);
    EXPECT_EQ(c.PortTable[1].Address, 0x278);
}

using ParallelPressTest = SppCableTest;

TEST_F(ParallelPressTest, PressAndReleaseChangeOnlyTheShutterLineAndWriteTwice) {
    cableSetup().FullPressPin = 3;
    bus->out(0x378, 0x81);
    rec->clear();
    DSLRControl::ParallelPress();
    EXPECT_EQ(rec->accesses(),
              (std::vector<Access>{rd(0x378, 0x81), wr(0x378, 0x89), wr(0x378, 0x89)}));
    EXPECT_EQ(newTrace(),
              (QStringList{"Parallel Port State Bit3:0", "Shutter Pressed - Port = 0"}));
    EXPECT_TRUE(state().bReleaseInProgress);
    EXPECT_EQ(pumps, 2);

    rec->clear();
    DSLRControl::ParallelRelease();
    EXPECT_EQ(rec->accesses(),
              (std::vector<Access>{rd(0x378, 0x89), wr(0x378, 0x81), wr(0x378, 0x81)}));
    EXPECT_EQ(newTrace(),
              (QStringList{"Parallel Port State Bit3:1", "Shutter released - Port = 1"}));
    EXPECT_FALSE(state().bReleaseInProgress);
}

TEST_F(ParallelPressTest, ALineAlreadyInTheWantedStateIsNotWritten) {
    cableSetup().FullPressPin = 7;
    bus->out(0x378, 0x80);
    rec->clear();
    DSLRControl::ParallelPress();
    EXPECT_TRUE(rec->writes().empty());
    EXPECT_EQ(newTrace().last(), "Shutter Not Pressed - Port <> 0");
    EXPECT_TRUE(state().bReleaseInProgress);

    bus->out(0x378, 0x7F);
    rec->clear();
    DSLRControl::ParallelRelease();
    EXPECT_TRUE(rec->writes().empty());
    EXPECT_EQ(newTrace().last(), "Shutter NOT released Port <> 1");
    EXPECT_FALSE(state().bReleaseInProgress);

    DSLRControl::ParallelPress();
    EXPECT_EQ(bus->dataLatch(0x378), 0xFF);  // pin 7 on 0x7F: only the low byte goes out
}

TEST_F(ParallelPressTest, WithoutAPortNothingIsReadOrWritten) {
    cableSetup().PortTable[2] = {};
    cableSetup().selectPort(2);
    rec->clear();
    DSLRControl::ParallelPress();
    DSLRControl::ParallelRelease();
    DSLRControl::ClearDataPort();
    EXPECT_TRUE(rec->accesses().empty());
    const QStringList t = newTrace();
    EXPECT_EQ(t.size(), 3);
    EXPECT_TRUE(t[0].startsWith("No parallel port selected"));
    EXPECT_EQ(t[2], "Ports Cleared. D0 - D7 = 0");
}

TEST_F(ParallelPressTest, ClearDataPortDrivesEveryLineLow) {
    bus->out(0x378, 0xA5);
    rec->clear();
    DSLRControl::ClearDataPort();
    EXPECT_EQ(rec->accesses(), (std::vector<Access>{wr(0x378, 0)}));
    EXPECT_EQ(newTrace(), QStringList{"Ports Cleared. D0 - D7 = 0"});
}

// A Stop handled in the press's message pass releases the shutter; the
// press's second write must not hold it open again.
TEST_F(ParallelPressTest, AReleaseRunInsideThePressIsNotUndoneByItsSecondWrite) {
    bool ran = false;
    duringPump = [&] {
        DSLRControl::ReleaseShutter();
        ran = true;
    };
    DSLRControl::ParallelPress();
    ASSERT_TRUE(ran);
    EXPECT_EQ(bus->dataLatch(0x378) & 1, 0);
    EXPECT_FALSE(cableSetup().parallelHeld);

    // The other way round: a press inside the release's pass stays pressed.
    DSLRControl::ParallelPress();
    duringPump = [] { DSLRControl::ParallelPress(); };
    DSLRControl::ParallelRelease();
    EXPECT_EQ(bus->dataLatch(0x378) & 1, 1);
}

TEST_F(ParallelPressTest, TheShutterLineCannotChangeWhileItHoldsTheShutter) {
    CableSetup& c = cableSetup();
    DSLRControl::ParallelPress();
    EXPECT_FALSE(c.setFullPressPin(2));
    EXPECT_EQ(c.FullPressPin, 0);
    EXPECT_TRUE(c.setFullPressPin(0));
    DSLRControl::ParallelRelease();
    EXPECT_TRUE(c.setFullPressPin(2));
    EXPECT_FALSE(c.setFullPressPin(8));
    EXPECT_EQ(c.FullPressPin, 2);
}

}  // namespace

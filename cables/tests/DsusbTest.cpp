#include "cables/dsusb.h"
#include "cables/tests/CableFixture.h"

using namespace zelmora;
using namespace zelmora::cables;
using namespace zelmora::cables::test;
using Bytes = std::vector<std::uint8_t>;

namespace {

class DsusbTest : public CableTest {
protected:
    void SetUp() override {
        CableTest::SetUp();
        box = std::make_unique<dsusb>([this] { return hid.get(); });
        QObject::connect(box.get(), &dsusb::connected, [this] { events.push_back("connected"); });
        QObject::connect(box.get(), &dsusb::disconnected,
                         [this] { events.push_back("disconnected"); });
    }
    std::vector<Bytes> reports() const {
        std::vector<Bytes> r;
        for (const auto& w : hid->writes) r.push_back(w.bytes);
        return r;
    }
    std::unique_ptr<dsusb> box;
    std::vector<std::string> events;
};

TEST_F(DsusbTest, ThePollTellsPresenceChangesOnceAndAgainAfterCheckState) {
    EXPECT_EQ(box->PollState(), -1);
    EXPECT_EQ(box->timer().interval(), 2000);
    EXPECT_TRUE(box->timer().isRunning());
    plugBox();
    testenv::vclock().advance(1999);
    EXPECT_TRUE(events.empty());  // no poll at construction
    testenv::vclock().advance(1);
    EXPECT_EQ(events, std::vector<std::string>{"connected"});
    box->oTimer_Timer();
    EXPECT_EQ(events, std::vector<std::string>{"connected"});
    box->CheckState();
    EXPECT_EQ(box->PollState(), -1);
    box->oTimer_Timer();
    hid->unplug("/dev/hidraw0");
    box->oTimer_Timer();
    box->oTimer_Timer();
    EXPECT_EQ(events, (std::vector<std::string>{"connected", "connected", "disconnected"}));
    EXPECT_EQ(hid->openHandles, 0);
}

// The box stays open between polls instead of gaining a handle every 2 s.
TEST_F(DsusbTest, PollingKeepsOneHandleOpen) {
    plugBox();
    for (int i = 0; i < 20; ++i) box->oTimer_Timer();
    EXPECT_EQ(hid->openHandles, 1);
    EXPECT_EQ(hid->opens, 1);
    // Another box at another node, or the same node with other numbers, is found afresh.
    hid->unplug("/dev/hidraw0");
    plugBox("/dev/hidraw3");
    box->oTimer_Timer();
    EXPECT_EQ(hid->openHandles, 1);
    EXPECT_EQ(box->DevicePathName(), "/dev/hidraw3");
}

TEST_F(DsusbTest, ADeviceThatCannotBeOpenedOrQueriedIsNotTakenForTheBox) {
    ports::FakeHidTransport::Device locked;
    locked.info = {"/dev/hidraw1", 0x134A, 0x9021};
    locked.opens = false;
    hid->plug(locked);
    ports::FakeHidTransport::Device mute = locked;
    mute.info.path = "/dev/hidraw2";
    mute.opens = true;
    mute.answersAttributes = false;
    hid->plug(mute);
    ports::FakeHidTransport::Device other = mute;
    other.info.path = "/dev/hidraw4";
    other.answersAttributes = true;
    other.realProduct = 0x1234;  // listed with the box's numbers, answers others
    hid->plug(other);
    box->oTimer_Timer();
    EXPECT_EQ(events, std::vector<std::string>{"disconnected"});
    EXPECT_FALSE(box->DeviceFound());
    EXPECT_EQ(hid->openHandles, 0);
    plugBox("/dev/hidraw5");
    box->oTimer_Timer();
    EXPECT_EQ(box->DevicePathName(), "/dev/hidraw5");
}

TEST_F(DsusbTest, CommandBytesFollowTheReportNumber) {
    plugBox();
    box->pressShutter();
    box->releaseshutter();
    box->RedLedOn();
    box->RedLedOff();
    box->GreenLedOn();
    box->GreenLedoff();
    const Bytes pad(6, 0);
    auto r = [&](std::uint8_t a, std::uint8_t b) {
        Bytes x{0, a, b};
        x.insert(x.end(), pad.begin(), pad.end());
        return x;
    };
    EXPECT_EQ(reports(), (std::vector<Bytes>{r(0x21, 0x01), r(0x00, 0x00), r(0x30, 0x30),
                                             r(0x00, 0x30), r(0x20, 0x00), r(0x00, 0x20)}));
    EXPECT_EQ(hid->readTimeouts, std::vector<int>(6, 6000));
}

TEST_F(DsusbTest, ReportLengthsShorterOrLongerThanThePayload) {
    struct Case {
        int length;
        Bytes expected;  // empty: nothing written
    };
    const std::vector<Case> cases = {
        {3, {0x00, 0x21, 0x01}},
        {9, {0x00, 0x21, 0x01, 0, 0, 0, 0, 0, 0}},
        {12, {0x00, 0x21, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        hid->writes.clear();
        hid->readTimeouts.clear();
        box->disconnect();
        hid->unplug("/dev/hidraw0");
        plugBox("/dev/hidraw0", {9, c.length, 0});
        box->pressShutter();
        if (c.expected.empty()) {
            EXPECT_TRUE(hid->writes.empty());
            EXPECT_TRUE(hid->readTimeouts.empty());  // no wait for an answer to nothing
        } else {
            EXPECT_EQ(reports(), std::vector<Bytes>{c.expected});
        }
    }
}

TEST_F(DsusbTest, ACommandWithoutTheBoxLooksForItAndSendsNothing) {
    const int before = hid->enumerations;
    box->pressShutter();
    EXPECT_EQ(hid->enumerations, before + 1);
    EXPECT_TRUE(hid->writes.empty());
    EXPECT_TRUE(events.empty());
}

TEST_F(DsusbTest, ATimeOutOrAnUnpluggedBoxClosesTheHandleAndTheNextCommandFindsItAfresh) {
    for (auto failure : {ports::HidReadResult::Timeout, ports::HidReadResult::Error}) {
        box->disconnect();
        hid->unplug("/dev/hidraw0");
        plugBox();
        hid->device("/dev/hidraw0")->reads = {failure};
        const int opens = hid->opens;
        box->pressShutter();
        EXPECT_FALSE(box->DeviceFound());
        EXPECT_EQ(hid->openHandles, 0);
        box->releaseshutter();
        EXPECT_TRUE(box->DeviceFound());
        EXPECT_EQ(hid->opens, opens + 2);
        EXPECT_EQ(hid->openHandles, 1);
    }
}

TEST_F(DsusbTest, ACommandAfterDisconnectRediscoversAndDestructionLeavesNothingOpen) {
    plugBox();
    box->oTimer_Timer();
    box->disconnect();
    EXPECT_EQ(hid->openHandles, 0);
    box->pressShutter();
    EXPECT_EQ(hid->writes.size(), 1u);
    EXPECT_EQ(hid->openHandles, 1);
    events.clear();
    box.reset();
    EXPECT_EQ(hid->openHandles, 0);
    EXPECT_TRUE(events.empty());
}

}  // namespace

#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <memory>

#include "cables/CableSetup.h"
#include "platform/ports/FakeHidTransport.h"
#include "platform/ports/PortIo.h"
#include "platform/ports/SerialLines.h"
#include "platform/ports/SimParallelBus.h"
#include "platform/time/Clock.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

namespace zelmora::cables::test {

using Access = ports::RecordingPortIo::Access;
inline Access rd(std::uint16_t a, std::uint8_t v) {
    return {false, a, v};
}
inline Access wr(std::uint16_t a, std::uint8_t v) {
    return {true, a, v};
}

// The cable set-up on test doubles: a simulated bus seen through a recorder,
// a fake serial port, a fake HID bus, a counting message pump and the trace on.
class CableTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        CableSetup& c = cableSetup();
        bus = std::make_shared<ports::SimParallelBus>();
        rec = std::make_shared<ports::RecordingPortIo>(bus);
        serial = std::make_shared<ports::FakeSerialLines>();
        hid = std::make_shared<ports::FakeHidTransport>();
        c.io = rec;
        c.serial = serial;
        c.hid = hid;
        platform::setEventPassListener([this] {
            ++pumps;
            if (duringPump) {
                auto f = std::move(duringPump);
                duringPump = nullptr;
                f();
            }
        });
    }

    // Only the lines written since the last call.
    QStringList newTrace() {
        const QStringList all = testenv::traceLines();
        const QStringList fresh = all.mid(seen_);
        seen_ = all.size();
        return fresh;
    }

    void plugBox(const std::string& path = "/dev/hidraw0", ports::HidCaps caps = {9, 9, 0}) {
        ports::FakeHidTransport::Device d;
        d.info = {path, 0x134A, 0x9021};
        d.caps = caps;
        hid->plug(d);
    }

    std::shared_ptr<ports::SimParallelBus> bus;
    std::shared_ptr<ports::RecordingPortIo> rec;
    std::shared_ptr<ports::FakeSerialLines> serial;
    std::shared_ptr<ports::FakeHidTransport> hid;
    int pumps = 0;
    std::function<void()> duringPump;  // runs inside the next message pass

private:
    int seen_ = 0;
};

// One standard parallel port at 0x378, chosen, with the trace read up to here.
class SppCableTest : public CableTest {
protected:
    void SetUp() override {
        CableTest::SetUp();
        bus->addPort(0x378, ports::SimParallelBus::Kind::SPP);
        CableSetup& c = cableSetup();
        c.PortTable[0] = {0x378, "SPP", "", 0, true};
        c.selectPort(0);
        newTrace();
    }
};

}  // namespace zelmora::cables::test

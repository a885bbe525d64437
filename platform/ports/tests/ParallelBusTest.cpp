#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "platform/ports/PortIo.h"
#include "platform/ports/PortsTrace.h"
#include "platform/ports/SimParallelBus.h"

using namespace zelmora::ports;

namespace {

std::vector<std::string>& traced() {
    static std::vector<std::string> lines;
    return lines;
}

class DevPortIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        traced().clear();
        setTraceSink([](const std::string& l) { traced().push_back(l); });
    }
    void TearDown() override { setTraceSink({}); }
    QTemporaryDir dir;
};

// A plain file stands in for /dev/port: its offsets are the I/O addresses.
TEST_F(DevPortIoTest, ReadsAndWritesOneByteAtTheAddressAndRefusesSystemBoardPorts) {
    const std::string path = dir.filePath("port").toStdString();
    std::ofstream(path) << std::string(0x800, '\x11');
    DevPortIo io(path);
    io.out(0x378, 0x5A);
    EXPECT_EQ(io.in(0x378), 0x5A);
    EXPECT_EQ(io.in(0x379), 0x11);
    io.out(0x20, 0x99);  // interrupt controller: never written
    EXPECT_EQ(io.in(0x20), 0xFF);
    std::ifstream f(path, std::ios::binary);
    f.seekg(0x20);
    EXPECT_EQ(f.get(), 0x11);
    EXPECT_TRUE(traced().empty());
}

TEST_F(DevPortIoTest, WithoutTheNodeEveryPortIsAbsentAndOneLineIsTraced) {
    DevPortIo io(dir.filePath("missing").toStdString());
    EXPECT_EQ(io.in(0x378), 0xFF);
    io.out(0x378, 1);
    EXPECT_EQ(io.in(0x37A), 0xFF);
    ASSERT_EQ(traced().size(), 1u);
    EXPECT_NE(traced()[0].find("could not be opened"), std::string::npos);
    EXPECT_FALSE(DevPortIo::available(dir.filePath("missing").toStdString()));
}

TEST(SimParallelBusTest, RegistersBehaveAsTheHardwareDoes) {
    SimParallelBus bus;
    bus.addPort(0x378, SimParallelBus::Kind::ECP, 0);
    bus.addPort(0x278, SimParallelBus::Kind::PS2);
    EXPECT_EQ(bus.in(0x3BC), 0xFF);  // nothing there
    EXPECT_EQ(bus.in(0x77C), 0xFF);
    EXPECT_EQ(bus.in(0x77A), 0x15);  // ECR: mode 0, FIFO empty
    bus.out(0x77A, 0x34);
    EXPECT_EQ(bus.in(0x77A), 0x35);
    bus.out(0x27A, 0x24);  // direction bit: the data lines are inputs
    bus.out(0x278, 0x55);
    EXPECT_EQ(bus.in(0x278), 0xFF);
    bus.out(0x27A, 0x04);
    EXPECT_EQ(bus.in(0x278), 0x55);
    EXPECT_EQ(bus.in(0x27A), 0x04);
}

TEST(SimParallelBusTest, TheCableLineClosesAndOpensTheContactOnEdgesOnly) {
    std::vector<bool> contact;
    int line = 3;
    SimParallelBus bus;
    bus.addPort(0x378, SimParallelBus::Kind::SPP);
    bus.attachCable(
        0x378, [&] { return line; }, [&](bool c) { contact.push_back(c); });
    bus.out(0x378, 0x01);  // another line
    bus.out(0x378, 0x09);
    bus.out(0x378, 0x09);
    bus.out(0x378, 0x01);
    bus.out(0x278, 0xFF);  // another port
    EXPECT_EQ(contact, (std::vector<bool>{true, false}));
}

}  // namespace

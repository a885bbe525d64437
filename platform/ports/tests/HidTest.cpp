#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/ports/HidReportDescriptor.h"
#include "platform/ports/HidrawTransport.h"
#include "platform/ports/SimulatedDsusb.h"

using namespace zelmora::ports;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ReportDescriptorTest, LengthsAreTheLongestReportPlusTheNumberByte) {
    struct Case {
        const char* what;
        Bytes descriptor;
        HidCaps caps;
    };
    const std::vector<Case> cases = {
        {"vendor box: 8 bytes out, 8 in, no report numbers",
         {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x15, 0x00,
          0x26, 0xFF, 0x00, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0},
         {9, 9, 0}},
        {"numbered reports: the longest counts",
         {0x85, 0x01, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02, 0x85, 0x02, 0x95, 0x05, 0x91, 0x02, 0x95,
          0x03, 0x81, 0x02},
         {4, 6, 0}},
        {"bits add up within a report and round up to bytes",
         {0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x03, 0x75, 0x01, 0x95,
          0x01, 0x81, 0x02},
         {3, 0, 0}},
        {"push and pop restore the report size",
         {0x75, 0x08, 0x95, 0x04, 0xA4, 0x75, 0x10, 0x95, 0x04, 0xB1, 0x02, 0xB4, 0x91, 0x02},
         {0, 5, 9}},
        {"no output report gives 0", {0x75, 0x08, 0x95, 0x08, 0x81, 0x02}, {9, 0, 0}},
        {"long items and a truncated tail are skipped",
         {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02, 0x95},
         {0, 3, 0}},
        {"four-byte item data",
         {0x77, 0x08, 0x00, 0x00, 0x00, 0x97, 0x01, 0x00, 0x00, 0x00, 0x91, 0x02},
         {0, 2, 0}},
        {"empty", {}, {0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(parseReportDescriptor(c.descriptor), c.caps) << c.what;
}

void writeUevent(const QTemporaryDir& sys, const QString& node, const QByteArray& hidId) {
    QDir(sys.path()).mkpath(node + "/device");
    QFile f(sys.filePath(node + "/device/uevent"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=Some device\n");
}

TEST(HidrawTest, DiscoveryReadsTheIdentityOfEveryNodeInNumericOrder) {
    QTemporaryDir sys;
    writeUevent(sys, "hidraw10", "0003:0000134A:00009021");
    writeUevent(sys, "hidraw2", "0003:0000046D:0000C52B");
    writeUevent(sys, "hidraw9", "0003:0000134a:00009021");
    QDir(sys.path()).mkpath("hidraw3/device");  // no uevent: skipped
    QDir(sys.path()).mkpath("other0/device");
    HidrawTransport t(sys.path().toStdString(), "/devx");
    const auto found = t.enumerate();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, "/devx/hidraw2");
    EXPECT_EQ(found[0].vendor, 0x046D);
    EXPECT_EQ(found[1].path, "/devx/hidraw9");
    EXPECT_EQ(found[2].path, "/devx/hidraw10");
    EXPECT_EQ(found[2].vendor, 0x134A);
    EXPECT_EQ(found[2].product, 0x9021);  // above 0x7FFF: compared unsigned
    EXPECT_TRUE(t.present(0x134A, 0x9021));
    EXPECT_FALSE(HidrawTransport((sys.path() + "/none").toStdString()).present(0x134A, 0x9021));
}

TEST(HidrawTest, ANodeThatIsNoHidDeviceDoesNotAnswerItsIdentity) {
    QTemporaryDir dev;
    QFile f(dev.filePath("hidraw0"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    HidrawTransport t("/nonexistent", dev.path().toStdString());
    EXPECT_EQ(t.open(dev.filePath("missing").toStdString()), nullptr);
    auto d = t.open(dev.filePath("hidraw0").toStdString());
    ASSERT_NE(d, nullptr);
    std::uint16_t v = 1, p = 1;
    EXPECT_FALSE(d->attributes(v, p));
    EXPECT_EQ(d->caps(), HidCaps{});
}

TEST(SimulatedDsusbTest, TheRelayFollowsItsCommandsAndLetsGoWhenUnplugged) {
    std::vector<bool> contact;
    SimulatedDsusb box([&](bool c) { contact.push_back(c); });
    ASSERT_EQ(box.enumerate().size(), 1u);
    auto d = box.open(SimulatedDsusb::kPath);
    ASSERT_NE(d, nullptr);
    d->write({0, 0x21, 0x01});
    d->write({0, 0x30, 0x30});
    EXPECT_TRUE(box.relayClosed());
    EXPECT_TRUE(box.redLamp());
    d->write({0, 0x00, 0x00});
    d->write({0, 0x21, 0x01});
    box.setPresent(false);
    EXPECT_EQ(contact, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(d->read(9, 6000), HidReadResult::Error);
    EXPECT_TRUE(box.enumerate().empty());
}

}  // namespace

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "platform/drivers/DriverErrors.h"
#include "platform/drivers/FocuserSimulator.h"
#include "platform/drivers/TelescopeSimulator.h"
#include "platform/drivers/tests/DriverTestEnv.h"

using namespace zelmora;
using namespace zelmora::drivers;
using zelmora::drivers::testing::DriverTest;
using zelmora::drivers::testing::errorNumber;

namespace {

class FakeTelescope : public Telescope {
public:
    bool connected() const override { return false; }
    void setConnected(bool) override {}
};

QStringList ids(const std::vector<DriverInfo>& list) {
    QStringList out;
    for (const auto& d : list) out << d.id;
    return out;
}

class DriverRegistryTest : public DriverTest {};

}  // namespace

TEST_F(DriverRegistryTest, SimulatorsAreThereFromTheStart) {
    auto& r = DriverRegistry::instance();
    EXPECT_EQ(ids(r.drivers("Focuser")),
              (QStringList{kSimAbsoluteFocuserId, kSimRelativeFocuserId}));
    EXPECT_EQ(ids(r.drivers("Telescope")), QStringList{kSimTelescopeId});
    EXPECT_TRUE(r.createFocuser(kSimAbsoluteFocuserId)->absolute());
    EXPECT_FALSE(r.createFocuser("simulator.relativefocuser")->absolute()) << "any letter case";
    EXPECT_NE(std::dynamic_pointer_cast<TelescopeSimulator>(r.createTelescope(kSimTelescopeId)),
              nullptr);
}

TEST_F(DriverRegistryTest, WhatCannotBeCreatedFailsWith429) {
    auto& r = DriverRegistry::instance();
    r.addTelescope("Test.Broken", "broken", [] { return std::shared_ptr<Telescope>(); });
    r.addTelescope("Test.Throws", "throws", []() -> std::shared_ptr<Telescope> {
        throw AppError(DriverErrors::kDeviceFault, "Test", "no port");
    });
    for (const char* id : {"", "  ", "No.Such.Driver", "Test.Broken", "Test.Throws"})
        EXPECT_EQ(errorNumber([&] { r.createTelescope(id); }), AppError::kCantCreateObject) << id;
    EXPECT_EQ(errorNumber([&] { r.createFocuser(kSimTelescopeId); }), AppError::kCantCreateObject)
        << "a telescope is no focuser";
}

TEST_F(DriverRegistryTest, FakesComeAndGo) {
    auto& r = DriverRegistry::instance();
    r.addTelescope("Test.Fake", "fake", [] { return std::make_shared<FakeTelescope>(); });
    EXPECT_EQ(ids(r.drivers("Telescope")), (QStringList{kSimTelescopeId, "Test.Fake"}));
    EXPECT_NE(std::dynamic_pointer_cast<FakeTelescope>(r.createTelescope("Test.Fake")), nullptr);
    r.reset();
    EXPECT_FALSE(r.contains("Test.Fake"));
    EXPECT_TRUE(r.contains(kSimTelescopeId));
}

// Qt's chooser belongs to the window in front: that window going while the
// chooser is up takes the chooser with it, which then counts as cancelled.
TEST_F(DriverRegistryTest, AChooserWhoseWindowGoesMeanwhileIsCancelled) {
    auto* owner = new QWidget;
    owner->show();
    QApplication::setActiveWindow(owner);
    ASSERT_EQ(QApplication::activeWindow(), owner);
    QTimer::singleShot(0, owner, [owner] { owner->deleteLater(); });
    QObject guard;  // should the chooser outlive its window, it is ended
    QTimer::singleShot(5000, &guard, [] {
        if (QWidget* chooser = QApplication::activeModalWidget()) chooser->close();
    });
    QtDriverUi qt;
    EXPECT_EQ(
        qt.choose("Focuser", kSimAbsoluteFocuserId, DriverRegistry::instance().drivers("Focuser")),
        "");
}

TEST_F(DriverRegistryTest, ChooserOffersTheDriversOfItsTypeAndReturnsTheChoice) {
    ui->expectChoose(kSimRelativeFocuserId).expectChoose("");
    DriverChooser chooser;
    chooser.setDeviceType("Focuser");
    EXPECT_EQ(chooser.Choose(kSimAbsoluteFocuserId), kSimRelativeFocuserId);
    EXPECT_EQ(chooser.Choose(""), "") << "cancelled";
    ASSERT_EQ(ui->calls().size(), 2u);
    EXPECT_EQ(ui->calls()[0].deviceType, "Focuser");
    EXPECT_EQ(ui->calls()[0].currentId, kSimAbsoluteFocuserId);
    EXPECT_EQ(ids(ui->calls()[0].offered),
              (QStringList{kSimAbsoluteFocuserId, kSimRelativeFocuserId}));
}

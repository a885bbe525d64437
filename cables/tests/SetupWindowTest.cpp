#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include "cables/CablesWindows.h"
#include "cables/DSLRControl.h"
#include "cables/dsusb.h"
#include "cables/frmNewPortAddress.h"
#include "cables/frmSelectPort.h"
#include "cables/tests/CableFixture.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/WindowRegistry.h"

using namespace zelmora;
using namespace zelmora::cables;
using namespace zelmora::cables::test;
using Kind = ports::SimParallelBus::Kind;

namespace {

class SetupWindowTest : public CableTest {
protected:
    frmSelectPort* open() {
        window_ = new frmSelectPort;
        return window_;
    }
    template <typename T>
    T* control(const QString& name, QWidget* in = nullptr) {
        T* w = (in ? in : window_)->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLabel* label(const QString& name) { return control<QLabel>(name); }
    QRadioButton* option(int i) {
        return control<QRadioButton>(QStringLiteral("optPortName%1").arg(i));
    }
    void click(const QString& name) { control<QPushButton>(name)->click(); }
    void type(const QString& box, const QString& text) {
        auto* edit = control<QLineEdit>(box);
        edit->setText(text);
        emit edit->textEdited(text);
    }

    frmSelectPort* window_ = nullptr;  // deleted by the registry's reset
};

TEST_F(SetupWindowTest, ControlsCarryTheirNamesAndTexts) {
    open();
    EXPECT_EQ(window_->windowTitle(), "Bulb Exposure Cable Setup");
    QStringList frames;
    for (QGroupBox* g : window_->findChildren<QGroupBox*>()) frames << g->title();
    for (const char* f :
         {"DSUSB Setup", "Serial Port Setup", "Parallel Port Setup", "Ports", "Circuit Pinouts"})
        EXPECT_TRUE(frames.contains(f)) << f;
    EXPECT_EQ(control<QCheckBox>("chDSUSB")->text(), "Use DSUSB for Shutter Control");
    EXPECT_EQ(label("Label6")->text(), "DSUSB Not Connected");
    EXPECT_EQ(label("Label7")->text(), "DSUSB Connected");
    EXPECT_EQ(label("Label1")->text(), "Com Port:");
    EXPECT_EQ(label("Label2")->text(), "Shutter Press Signal:");
    EXPECT_EQ(control<QPushButton>("cbTestPort")->text(), "Test Port");
    EXPECT_EQ(control<QPushButton>("cbEnableSerial")->text(), "Enable Serial");
    EXPECT_EQ(control<QPushButton>("cmdFindPorts")->text(), "Find Ports");
    EXPECT_EQ(control<QPushButton>("cmdTestPort")->text(), "Test Port");
    EXPECT_EQ(control<QPushButton>("cmdOK")->text(), "Enable Parallel");
    EXPECT_EQ(control<QPushButton>("cmdAddPort")->text(), "Add a Port");
    EXPECT_EQ(label("lblfp")->text(), "Shutter:");
    EXPECT_EQ(label("lblHP")->text(), "Autofocus:");
    EXPECT_EQ(label("lblEcpMode")->text(), "ECP Mode");
    const QStringList names = {"LPT1", "LPT2", "LPT3", "User"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(option(i)->text(), names[i]);
    auto* modes = control<QComboBox>("cboEcpMode2");
    ASSERT_EQ(modes->count(), 8);
    EXPECT_EQ(modes->itemText(0), "SPP (original)");
    EXPECT_EQ(modes->itemText(6), "test");
    auto* com = control<QComboBox>("comboComPort");
    EXPECT_EQ(com->itemText(0), "COM1");
    EXPECT_EQ(com->itemText(11), "COM12");
    EXPECT_EQ(com->currentText(), "COM2:");
    EXPECT_EQ(control<QComboBox>("comboSerialSignal")->currentText(), "RTS");
    EXPECT_EQ(control<QLineEdit>("txtShutterDataLine")->text(), "0");
    EXPECT_EQ(control<QLineEdit>("txtAutofocusDataLIne")->text(), "1");
    EXPECT_TRUE(windows().isLoaded(Win::frmSelectPort));
    EXPECT_TRUE(cableSetup().setupOpen);
}

TEST_F(SetupWindowTest, FindPortsFillsTheFirstSlotsInProbeOrder) {
    bus->addPort(0x378, Kind::ECP, 3);
    bus->addPort(0x278, Kind::SPP);
    open();
    click("cmdFindPorts");
    CableSetup& c = cableSetup();
    EXPECT_EQ(c.PortTable[0].Address, 0x378);
    EXPECT_EQ(c.PortTable[1].Address, 0x278);
    EXPECT_FALSE(c.PortTable[2].Enabled);
    EXPECT_EQ(label("lblAddress0")->text(), "378h");
    EXPECT_EQ(label("lblType0")->text(), "ECP");
    EXPECT_EQ(label("lblAddress1")->text(), "278h");
    EXPECT_EQ(label("lblType1")->text(), "SPP");
    EXPECT_TRUE(option(0)->isEnabled());
    EXPECT_TRUE(option(1)->isEnabled());
    EXPECT_FALSE(option(2)->isEnabled());
    EXPECT_FALSE(option(3)->isEnabled());
    auto* modes = control<QComboBox>("cboEcpMode0");
    EXPECT_FALSE(modes->isHidden());
    EXPECT_EQ(modes->currentIndex(), 3);
    EXPECT_TRUE(control<QComboBox>("cboEcpMode1")->isHidden());
}

TEST_F(SetupWindowTest, FindPortsWithNoPortLeavesTheSlotsEmptyAndStillTriesTheUserSlot) {
    bus->addPort(0x2E8, Kind::PS2);
    cableSetup().PortTable[3] = {0x2E8, "", "", 0, false};
    open();
    click("cmdFindPorts");
    CableSetup& c = cableSetup();
    EXPECT_EQ(c.PortTable[0].Address, 0);
    EXPECT_EQ(label("lblAddress0")->text(), "0h");
    EXPECT_TRUE(label("lblAddress0")->isHidden());
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(option(i)->isEnabled()) << i;
    EXPECT_TRUE(option(3)->isEnabled());
    EXPECT_EQ(label("lblType3")->text(), "PS/2");
}

TEST_F(SetupWindowTest, ChoosingAModeWritesItIntoTheSelectedPort) {
    bus->addPort(0x378, Kind::ECP, 1);
    open();
    click("cmdFindPorts");
    option(0)->click();
    auto* modes = control<QComboBox>("cboEcpMode0");
    modes->setCurrentIndex(6);
    emit modes->activated(6);
    EXPECT_EQ(bus->ecr(0x378) >> 5, 6);
    EXPECT_EQ(cableSetup().PortTable[0].EcpModeName, "Test");
}

TEST_F(SetupWindowTest, TestPortReportsPassAndFailure) {
    bus->addPort(0x378, Kind::ECP, 0);
    open();
    click("cmdFindPorts");
    option(0)->click();
    testenv::dialogs().expectMsgBox("Passed: Port 378h is ECP.");
    click("cmdTestPort");
    bus->clear();
    testenv::dialogs().expectMsgBox("Failed port test. ");
    click("cmdTestPort");
    EXPECT_TRUE(testenv::dialogs().allUsed());
    EXPECT_EQ(testenv::dialogs().shown().back().text, "Failed port test. ");
    EXPECT_FALSE(option(0)->isEnabled());
}

TEST_F(SetupWindowTest, EnableParallelClearsTheLinesClosesAndSavesTheTable) {
    bus->addPort(0x378, Kind::SPP);
    state().bSerialEnabled = true;
    open();
    click("cmdFindPorts");
    option(0)->click();
    type("txtShutterDataLine", "4");
    bus->out(0x378, 0xFF);
    click("cmdOK");
    EXPECT_EQ(bus->dataLatch(0x378), 0);
    EXPECT_FALSE(state().bSerialEnabled);
    EXPECT_FALSE(windows().isLoaded(Win::frmSelectPort));
    EXPECT_EQ(Settings::get("lptdata", "Port0Address", ""), "888");
    EXPECT_EQ(Settings::get("lptdata", "FullPressPina", ""), "4");
    EXPECT_EQ(Settings::get("Serialdata", "SerialEnabled", ""), "False");
    EXPECT_FALSE(cableSetup().setupOpen);
}

TEST_F(SetupWindowTest, DataLineBoxesTakeOnlyLinesZeroToSevenAndNotWhileHeld) {
    open();
    testenv::dialogs().expectMsgBox("Enter a valid Data Port from 0 - 7");
    type("txtShutterDataLine", "9");
    EXPECT_EQ(cableSetup().FullPressPin, 0);
    testenv::dialogs().expectMsgBox("Enter a valid Data Port from 0 - 7");
    type("txtAutofocusDataLIne", "");
    type("txtAutofocusDataLIne", "5");
    EXPECT_EQ(cableSetup().HalfPressPin, 5);

    bus->addPort(0x378, Kind::SPP);
    cableSetup().PortTable[0] = {0x378, "SPP", "", 0, true};
    cableSetup().selectPort(0);
    DSLRControl::PressShutter();
    testenv::dialogs().expectMsgBox("Release the shutter before changing the line.");
    type("txtShutterDataLine", "3");
    EXPECT_EQ(cableSetup().FullPressPin, 0);
    EXPECT_EQ(control<QLineEdit>("txtShutterDataLine")->text(), "0");
    DSLRControl::ReleaseShutter();
    type("txtShutterDataLine", "3");
    EXPECT_EQ(cableSetup().FullPressPin, 3);
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

TEST_F(SetupWindowTest, TheDsusbSwitchMakesAndDropsTheBoxAndTheFramesFollowItsEvents) {
    plugBox();
    open();
    auto* check = control<QCheckBox>("chDSUSB");
    auto* on = control<QGroupBox>("frConnected");
    auto* off = control<QGroupBox>("frDisconnected");
    check->click();
    ASSERT_NE(cableSetup().oDSUSB(), nullptr);
    EXPECT_TRUE(state().bDSUSBEnabled);
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_FALSE(on->isHidden());
    EXPECT_TRUE(off->isHidden());
    hid->unplug("/dev/hidraw0");
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_TRUE(on->isHidden());
    EXPECT_FALSE(off->isHidden());
    check->click();
    EXPECT_EQ(cableSetup().oDSUSB(), nullptr);
    EXPECT_FALSE(state().bDSUSBEnabled);
    EXPECT_TRUE(on->isHidden());
    EXPECT_TRUE(off->isHidden());
    plugBox();
    check->click();
    testenv::vclock().advance(dsusb::kPollMs);
    EXPECT_FALSE(on->isHidden());
    window_->close();
    EXPECT_EQ(Settings::get("DSUSB", "Enabled", ""), "1");
    EXPECT_NE(cableSetup().oDSUSB(), nullptr);  // the box outlives the window
}

TEST_F(SetupWindowTest, TheSavedDsusbChoiceArmsTheBoxWhenTheWindowLoads) {
    Settings::save("DSUSB", "Enabled", "1");
    open();
    EXPECT_TRUE(control<QCheckBox>("chDSUSB")->isChecked());
    EXPECT_TRUE(state().bDSUSBEnabled);
    EXPECT_NE(cableSetup().oDSUSB(), nullptr);
}

TEST_F(SetupWindowTest, SerialTestEnablesTheSerialCableOnlyWhenThePortOpens) {
    open();
    auto* enable = control<QPushButton>("cbEnableSerial");
    EXPECT_FALSE(enable->isEnabled());
    control<QComboBox>("comboComPort")->setCurrentText("/dev/ttyUSB0");
    control<QComboBox>("comboSerialSignal")->setCurrentText("DTR");
    click("cbTestPort");
    EXPECT_TRUE(state().bSerialEnabled);
    EXPECT_TRUE(enable->isEnabled());
    EXPECT_EQ(serial->opened.back(), "/dev/ttyUSB0");
    serial->openResults = {ports::SerialLines::Status::OpenFailed};
    testenv::dialogs().expectMsgBox(
        "Com Port /dev/ttyUSB0 not available. Check your serial port settings.");
    click("cbTestPort");
    EXPECT_FALSE(state().bSerialEnabled);
    EXPECT_FALSE(enable->isEnabled());
    serial->openResults.clear();
    click("cbTestPort");
    click("cbEnableSerial");
    EXPECT_FALSE(windows().isLoaded(Win::frmSelectPort));
    EXPECT_EQ(Settings::get("Serialdata", "ComPort", ""), "/dev/ttyUSB0");
    EXPECT_EQ(Settings::get("Serialdata", "ShutterSignal", ""), "DTR");
    EXPECT_EQ(Settings::get("Serialdata", "SerialEnabled", ""), "True");
}

TEST_F(SetupWindowTest, TheUserAddressSelectsTheUserSlotOrRefusesAnAddressOutOfRange) {
    registerWindows();
    cableSetup().io = rec;  // registering installs the program's cables
    open();
    click("cmdAddPort");
    auto* dialog = windows().ifLoadedAs<frmNewPortAddress>(frmNewPortAddress::kName);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Parallel Port Resource");
    auto* text = control<QLineEdit>("txtAddressOfNonStandardPort", dialog);
    for (const char* bad : {"20", "FFFF", "xyz"}) {
        text->setText(bad);
        testenv::dialogs().expectMsgBox("leave the address blank");
        dialog->cmdOK_Click();
        EXPECT_FALSE(cableSetup().PortTable[3].Enabled) << bad;
    }
    text->setText("3BC");
    dialog->cmdOK_Click();
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_EQ(cableSetup().PortTable[3].Address, 0x3BC);
    EXPECT_TRUE(cableSetup().PortTable[3].Enabled);
    EXPECT_EQ(cableSetup().IndexOfSelectedPort, 3);
    EXPECT_EQ(cableSetup().BaseAddress, 0x3BC);
    EXPECT_TRUE(option(3)->isChecked());
    EXPECT_EQ(label("lblAddress3")->text(), "3BCh");
    text->setText("");
    dialog->cmdOK_Click();
    EXPECT_FALSE(cableSetup().PortTable[3].Enabled);
    EXPECT_EQ(cableSetup().IndexOfSelectedPort, 0);
    EXPECT_TRUE(testenv::dialogs().allUsed());
}

// Port Setup stands on its own, centred on the screen, yet belongs to the main
// window: a click in the main window leaves it in front, as the program's other
// dialogs are, instead of sending it behind out of sight.
TEST_F(SetupWindowTest, ItStaysInFrontOfTheMainWindow) {
    class MainStandIn : public QWidget, public IMainWindow {
    public:
        MainStandIn() { setMainWindow(this); }
        ~MainStandIn() override { setMainWindow(nullptr); }
        void ToolbarEnable(const QString&) override {}
        QAction* button(int) const override { return nullptr; }
        QLabel* statusPanel(int) const override { return nullptr; }
        QLineEdit* lbInterval() const override { return nullptr; }
        int zoomFactor() const override { return 1; }
    } main;
    main.show();
    registerWindows();
    cableSetup().io = rec;  // registering installs the program's cables
    window_ = windows().showAs<frmSelectPort>(Win::frmSelectPort);
    ASSERT_NE(window_, nullptr);
    EXPECT_TRUE(window_->isWindow());
    EXPECT_EQ(window_->windowType(), Qt::Dialog);
    ASSERT_NE(window_->windowHandle(), nullptr);
    EXPECT_EQ(window_->windowHandle()->transientParent(), main.windowHandle());
    main.raise();
    main.activateWindow();
    EXPECT_TRUE(window_->isVisible());

    // Its Add a Port dialog stays in front of Port Setup in turn, and goes with it.
    click("cmdAddPort");
    QPointer<frmNewPortAddress> add =
        windows().ifLoadedAs<frmNewPortAddress>(frmNewPortAddress::kName);
    ASSERT_NE(add, nullptr);
    EXPECT_TRUE(add->isWindow());
    EXPECT_EQ(add->windowType(), Qt::Dialog);
    ASSERT_NE(add->windowHandle(), nullptr);
    EXPECT_EQ(add->windowHandle()->transientParent(), window_->windowHandle());

    window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows().isLoaded(Win::frmSelectPort));
    EXPECT_FALSE(windows().isLoaded(frmNewPortAddress::kName));
}

}  // namespace

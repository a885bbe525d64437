#include "cables/frmSelectPort.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include "cables/CableSetup.h"
#include "cables/DSLRControl.h"
#include "cables/PPortControl.h"
#include "cables/SerialPort.h"
#include "cables/dsusb.h"
#include "cables/frmNewPortAddress.h"
#include "platform/os/Dialogs.h"
#include "platform/ports/SerialLines.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::cables {

namespace {

template <typename T>
T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
              int h = 20) {
    auto* l = named(new QLabel(text, parent), name);
    l->setGeometry(x, y, w, h);
    return l;
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& title, int x, int y, int w,
                 int h) {
    auto* g = named(new QGroupBox(title, parent), name);
    g->setGeometry(x, y, w, h);
    return g;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, int x, int y,
                    int w = 110) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setGeometry(x, y, w, 26);
    return b;
}

QPixmap lamp(const QColor& colour) {
    QPixmap p(24, 24);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker(160));
    painter.drawEllipse(2, 2, 20, 20);
    return p;
}

const QStringList kModeEntries = {QStringLiteral("SPP (original)"),
                                  QStringLiteral("bidirectional"),
                                  QStringLiteral("Fast Centronics"),
                                  QStringLiteral("ECP"),
                                  QStringLiteral("EPP"),
                                  QStringLiteral("reserved"),
                                  QStringLiteral("test"),
                                  QStringLiteral("configuration")};

QString hexAddress(std::uint16_t a) {
    return QString::number(a, 16).toUpper() + QStringLiteral("h");
}

// A window of its own, yet the main window's dialog: a click in the main window
// leaves it in front instead of sending it behind out of sight.
QWidget* ownerOf(QWidget* parent) {
    return parent ? parent : dynamic_cast<QWidget*>(mainWindow());
}

}  // namespace

frmSelectPort::frmSelectPort(QWidget* parent) : QWidget(ownerOf(parent), Qt::Dialog) {
    setObjectName(QStringLiteral("frmSelectPort"));
    setWindowTitle(kDesignCaption);
    setProperty("designCaption", kDesignCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    Form_Load();
}

frmSelectPort::~frmSelectPort() {
    // Deleted without being closed (program end): its closing steps still run.
    Form_Unload();
}

void frmSelectPort::buildControls() {
    setFixedSize(580, 520);

    Frame4 = frame(this, QStringLiteral("Frame4"), QStringLiteral("DSUSB Setup"), 10, 5, 560, 80);
    chDSUSB = named(new QCheckBox(QStringLiteral("Use DSUSB for Shutter Control"), Frame4),
                    QStringLiteral("chDSUSB"));
    chDSUSB->setGeometry(10, 30, 240, 22);
    frDisconnected = frame(Frame4, QStringLiteral("frDisconnected"), QString(), 280, 15, 270, 55);
    LEDClosed = label(frDisconnected, QStringLiteral("LEDClosed"), QString(), 10, 15, 24, 24);
    LEDClosed->setPixmap(lamp(QColor(220, 30, 30)));
    Label6 = label(frDisconnected, QStringLiteral("Label6"), QStringLiteral("DSUSB Not Connected"),
                   45, 17, 200);
    frConnected = frame(Frame4, QStringLiteral("frConnected"), QString(), 280, 15, 270, 55);
    LEDOpen = label(frConnected, QStringLiteral("LEDOpen"), QString(), 10, 15, 24, 24);
    LEDOpen->setPixmap(lamp(QColor(30, 190, 60)));
    Label7 = label(frConnected, QStringLiteral("Label7"), QStringLiteral("DSUSB Connected"), 45, 17,
                   200);
    frDisconnected->hide();
    frConnected->hide();

    Frame3 =
        frame(this, QStringLiteral("Frame3"), QStringLiteral("Serial Port Setup"), 10, 90, 560, 90);
    Label1 = label(Frame3, QStringLiteral("Label1"), QStringLiteral("Com Port:"), 10, 27, 130);
    comboComPort = named(new QComboBox(Frame3), QStringLiteral("comboComPort"));
    comboComPort->setEditable(true);
    comboComPort->setGeometry(150, 24, 250, 24);
    Label2 = label(Frame3, QStringLiteral("Label2"), QStringLiteral("Shutter Press Signal:"), 10,
                   57, 140);
    comboSerialSignal = named(new QComboBox(Frame3), QStringLiteral("comboSerialSignal"));
    comboSerialSignal->setEditable(true);
    comboSerialSignal->addItems({QStringLiteral("RTS"), QStringLiteral("DTR")});
    comboSerialSignal->setGeometry(150, 54, 90, 24);
    cbTestPort = button(Frame3, QStringLiteral("cbTestPort"), QStringLiteral("Test Port"), 430, 22);
    cbEnableSerial =
        button(Frame3, QStringLiteral("cbEnableSerial"), QStringLiteral("Enable Serial"), 430, 54);

    Frame2 = frame(this, QStringLiteral("Frame2"), QStringLiteral("Parallel Port Setup"), 10, 185,
                   560, 290);
    fraPort = frame(Frame2, QStringLiteral("fraPort"), QStringLiteral("Ports"), 10, 22, 410, 165);
    lblPort = label(fraPort, QStringLiteral("lblPort"), QStringLiteral("Port"), 10, 22, 60);
    lblAddressHeading =
        label(fraPort, QStringLiteral("lblAddressHeading"), QStringLiteral("Address"), 90, 22, 70);
    lblTypeHeading =
        label(fraPort, QStringLiteral("lblTypeHeading"), QStringLiteral("Type"), 170, 22, 60);
    lblEcpMode =
        label(fraPort, QStringLiteral("lblEcpMode"), QStringLiteral("ECP Mode"), 250, 22, 100);
    const QStringList names = {QStringLiteral("LPT1"), QStringLiteral("LPT2"),
                               QStringLiteral("LPT3"), QStringLiteral("User")};
    for (int i = 0; i < 4; ++i) {
        const int y = 47 + 28 * i;
        optPortName[i] =
            named(new QRadioButton(names[i], fraPort), QStringLiteral("optPortName%1").arg(i));
        optPortName[i]->setGeometry(10, y, 75, 22);
        lblAddress[i] =
            label(fraPort, QStringLiteral("lblAddress%1").arg(i), QString(), 90, y + 1, 70);
        lblType[i] = label(fraPort, QStringLiteral("lblType%1").arg(i), QString(), 170, y + 1, 70);
        cboEcpMode[i] = named(new QComboBox(fraPort), QStringLiteral("cboEcpMode%1").arg(i));
        cboEcpMode[i]->setGeometry(250, y, 150, 24);
        connect(optPortName[i], &QRadioButton::clicked, this, [this, i] { optPortName_Click(i); });
        // Only a choice the user makes writes the mode; showing the table does not.
        connect(cboEcpMode[i], &QComboBox::activated, this, [this, i] { cboEcpMode_Click(i); });
    }
    cmdFindPorts =
        button(Frame2, QStringLiteral("cmdFindPorts"), QStringLiteral("Find Ports"), 435, 35);
    cmdTestPort =
        button(Frame2, QStringLiteral("cmdTestPort"), QStringLiteral("Test Port"), 435, 70);
    cmdOK = button(Frame2, QStringLiteral("cmdOK"), QStringLiteral("Enable Parallel"), 435, 105);
    cmdAddPort =
        button(Frame2, QStringLiteral("cmdAddPort"), QStringLiteral("Add a Port"), 435, 140);
    Frame1 = frame(Frame2, QStringLiteral("Frame1"), QStringLiteral("Circuit Pinouts"), 10, 195,
                   410, 80);
    lblfp = label(Frame1, QStringLiteral("lblfp"), QStringLiteral("Shutter:"), 10, 30, 70);
    txtShutterDataLine =
        named(new QLineEdit(QStringLiteral("0"), Frame1), QStringLiteral("txtShutterDataLine"));
    txtShutterDataLine->setGeometry(85, 27, 40, 24);
    lblHP = label(Frame1, QStringLiteral("lblHP"), QStringLiteral("Autofocus:"), 170, 30, 80);
    txtAutofocusDataLIne =
        named(new QLineEdit(QStringLiteral("1"), Frame1), QStringLiteral("txtAutofocusDataLIne"));
    txtAutofocusDataLIne->setGeometry(255, 27, 40, 24);

    chSimulated =
        named(new QCheckBox(QStringLiteral("Simulated cables (no hardware attached)"), this),
              QStringLiteral("chSimulated"));
    chSimulated->setGeometry(20, 485, 400, 22);

    connect(cmdFindPorts, &QPushButton::clicked, this, [this] { cmdFindPorts_Click(); });
    connect(cmdTestPort, &QPushButton::clicked, this, [this] { cmdTestPort_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdAddPort, &QPushButton::clicked, this, [this] { cmdAddPort_Click(); });
    connect(cbTestPort, &QPushButton::clicked, this, [this] { cbTestPort_Click(); });
    connect(cbEnableSerial, &QPushButton::clicked, this, [this] { cbEnableSerial_Click(); });
    connect(comboComPort, &QComboBox::currentTextChanged, this, [this] { comboComPort_Change(); });
    connect(comboSerialSignal, &QComboBox::currentTextChanged, this,
            [this] { comboSerialSignal_Change(); });
    connect(txtShutterDataLine, &QLineEdit::textEdited, this,
            [this] { txtShutterDataLine_Change(); });
    connect(txtAutofocusDataLIne, &QLineEdit::textEdited, this,
            [this] { txtAutofocusDataLIne_Change(); });
    // Set by the user or by GetDSUSBSettings: either change runs the handler.
    connect(chDSUSB, &QCheckBox::toggled, this, [this] { chDSUSB_Click(); });
    connect(chSimulated, &QCheckBox::clicked, this, [this] { chSimulated_Click(); });

    CableSetup& c = cableSetup();
    connect(&c, &CableSetup::changed, this, [this] { render(); });
    connect(&c, &CableSetup::connected, this, [this] { loDSUSB_connected(); });
    connect(&c, &CableSetup::disconnected, this, [this] { loDSUSB_disconnected(); });
}

void frmSelectPort::Form_Load() {
    CableSetup& c = cableSetup();
    trapAndTrace(QStringLiteral("frmSelectPort.Form_Load"), [&] {
        centreOnScreen(this);
        const std::int16_t pin = c.FullPressPin;
        PPortControl::LoadPortSettings();
        if (c.parallelHeld)
            c.FullPressPin = pin;  // the line in use stays while it holds the shutter
        SerialPort::LoadSerialSettings();
        choosePort(c.IndexOfSelectedPort);
        for (QComboBox* list : cboEcpMode) list->addItems(kModeEntries);
        PPortControl::ShowPortTable();
        txtShutterDataLine->setText(QString::number(c.FullPressPin));
        txtAutofocusDataLIne->setText(QString::number(c.HalfPressPin));
        fillComPorts();
        comboComPort->setCurrentText(c.ComPort);
        comboSerialSignal->setCurrentText(c.ShutterSignal);
        // Until a test passes, "Enable Serial" is offered only for a cable already in use.
        cbEnableSerial->setEnabled(state().bSerialEnabled);
        chSimulated->setChecked(c.simulated());
        GetDSUSBSettings();
    });
    c.setupOpen = true;
    windows().markLoaded(Win::frmSelectPort, this);
}

void frmSelectPort::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    CableSetup& c = cableSetup();
    trapAndTrace(QStringLiteral("frmSelectPort.Form_Unload"), [&] {
        SerialPort::SaveSerialSettings();
        WriteDSUSBSettings();
    });
    // The box and its poll go on; only this window stops listening.
    QObject::disconnect(&c, nullptr, this, nullptr);
    c.setupOpen = false;
    // The cable chosen here (parallel, serial or DSUSB) is the one in use now.
    c.notifyChanged();
    if (windows().ifLoaded(Win::frmSelectPort) == this) windows().markUnloaded(Win::frmSelectPort);
}

void frmSelectPort::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmSelectPort::fillComPorts() {
    const QString text = comboComPort->currentText();
    QSignalBlocker block(comboComPort);
    comboComPort->clear();
    for (int i = 1; i <= 12; ++i) comboComPort->addItem(QStringLiteral("COM%1").arg(i));
    for (const std::string& path : ports::usbSerialDevices())
        comboComPort->addItem(QString::fromStdString(path));
    comboComPort->setCurrentText(text);
}

void frmSelectPort::render() {
    if (unloaded_) return;
    rendering_ = true;
    CableSetup& c = cableSetup();
    for (int i = 0; i < 4; ++i) {
        const PortSlot& slot = c.PortTable[i];
        optPortName[i]->setEnabled(slot.Enabled);
        lblAddress[i]->setText(hexAddress(slot.Address));
        lblAddress[i]->setVisible(slot.Enabled);
        lblType[i]->setText(slot.Type);
        lblType[i]->setVisible(slot.Enabled);
        const bool ecp = slot.Enabled && slot.Type == QLatin1String("ECP");
        QSignalBlocker block(cboEcpMode[i]);
        if (ecp && slot.EcpMode >= 0 && slot.EcpMode < cboEcpMode[i]->count())
            cboEcpMode[i]->setCurrentIndex(slot.EcpMode);
        cboEcpMode[i]->setVisible(ecp);
        cboEcpMode[i]->setEnabled(i == c.IndexOfSelectedPort);
    }
    {
        QSignalBlocker block(optPortName[c.IndexOfSelectedPort & 3]);
        optPortName[c.IndexOfSelectedPort & 3]->setChecked(true);
    }
    {
        QSignalBlocker block(chSimulated);
        chSimulated->setChecked(c.simulated());
    }
    rendering_ = false;
}

void frmSelectPort::choosePort(int index) {
    optPortName_Click(index);
}

void frmSelectPort::optPortName_Click(int index) {
    trapAndTrace(QStringLiteral("frmSelectPort.optPortName_Click"),
                 [&] { cableSetup().selectPort(index); });
}

void frmSelectPort::cboEcpMode_Click(int index) {
    trapAndTrace(QStringLiteral("frmSelectPort.cboEcpMode_Click"), [&] {
        PPortControl::SetEcpMode(cboEcpMode[index]->currentIndex());
        cableSetup().notifyChanged();
    });
}

void frmSelectPort::cmdFindPorts_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cmdFindPorts_Click"), [&] {
        CableSetup& c = cableSetup();
        int k = 0;
        for (std::uint16_t address :
             {std::uint16_t(0x3BC), std::uint16_t(0x378), std::uint16_t(0x278)}) {
            c.PortTable[k].Address = address;
            PPortControl::DetectPortType(k);
            if (address != 0x278 && c.PortTable[k].Address != 0) ++k;
        }
        for (int j = k + 1; j <= 2; ++j) c.PortTable[j].Enabled = false;
        if (c.PortTable[3].Address != 0)
            PPortControl::DetectPortType(3);
        else
            c.PortTable[3].Enabled = false;
        // The port in use follows its slot's new address.
        c.selectPort(c.IndexOfSelectedPort);
    });
}

void frmSelectPort::cmdTestPort_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cmdTestPort_Click"), [&] {
        CableSetup& c = cableSetup();
        int chosen = 0;
        for (int i = 3; i >= 0; --i)
            if (optPortName[i]->isChecked()) {
                chosen = i;
                break;
            }
        if (PPortControl::DetectPortType(chosen))
            platform::Dialogs::msgBox(QStringLiteral("Passed: Port ") + hexAddress(c.BaseAddress) +
                                          QStringLiteral(" is ") + c.PortTable[chosen].Type +
                                          QStringLiteral("."),
                                      platform::Msg::OKOnly, QStringLiteral("Test Result:"));
        else
            platform::Dialogs::msgBox(QStringLiteral("Failed port test. "), platform::Msg::OKOnly,
                                      QStringLiteral("Test Result:"));
    });
}

void frmSelectPort::cmdOK_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cmdOK_Click"), [&] {
        DSLRControl::ClearDataPort();
        state().bSerialEnabled = false;
        close();
        DSLRControl::SavePortSetup();
    });
}

void frmSelectPort::cmdAddPort_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cmdAddPort_Click"),
                 [&] { windows().show(frmNewPortAddress::kName); });
}

void frmSelectPort::cbTestPort_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cbTestPort_Click"), [&] {
        SerialPort::CloseComPort();
        state().bSerialEnabled = SerialPort::OpenComPort();
        cbEnableSerial->setEnabled(state().bSerialEnabled);
    });
}

void frmSelectPort::cbEnableSerial_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.cbEnableSerial_Click"), [&] { close(); });
}

void frmSelectPort::comboComPort_Change() {
    cableSetup().ComPort = comboComPort->currentText();
}

void frmSelectPort::comboSerialSignal_Change() {
    CableSetup& c = cableSetup();
    const QString text = comboSerialSignal->currentText();
    if (text == QLatin1String("RTS") || text == QLatin1String("DTR")) c.ShutterSignalValue = 1;
    c.ShutterSignal = text;
}

namespace {
// A data line typed in the box: a whole number 0..7, or -1.
int dataLine(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 0 && n <= 7 ? n : -1;
}
}  // namespace

void frmSelectPort::txtShutterDataLine_Change() {
    CableSetup& c = cableSetup();
    const int n = dataLine(txtShutterDataLine->text());
    if (n < 0) {
        platform::Dialogs::msgBox(QStringLiteral("Enter a valid Data Port from 0 - 7"));
        return;
    }
    if (!c.setFullPressPin(n)) {
        platform::Dialogs::msgBox(
            QStringLiteral("The shutter is held on data line ") + QString::number(c.FullPressPin) +
            QStringLiteral(". Release the shutter before changing the line."));
        txtShutterDataLine->setText(QString::number(c.FullPressPin));
    }
}

void frmSelectPort::txtAutofocusDataLIne_Change() {
    const int n = dataLine(txtAutofocusDataLIne->text());
    if (n < 0) {
        platform::Dialogs::msgBox(QStringLiteral("Enter a valid Data Port from 0 - 7"));
        return;
    }
    cableSetup().HalfPressPin = std::int16_t(n);
}

void frmSelectPort::chDSUSB_Click() {
    CableSetup& c = cableSetup();
    ProgramState& s = state();
    if (chDSUSB->isChecked()) {
        guarded([&] { s.bDSUSBEnabled = true; });
        guarded([&] {
            if (!c.oDSUSB())
                c.createDSUSB();  // its first poll tells the present state
            else
                c.oDSUSB()->CheckState();
        });
    } else {
        guarded([&] { s.bDSUSBEnabled = false; });
        guarded([&] { c.dropDSUSB(); });
        guarded([&] {
            frDisconnected->hide();
            frConnected->hide();
        });
    }
}

void frmSelectPort::chSimulated_Click() {
    trapAndTrace(QStringLiteral("frmSelectPort.chSimulated_Click"), [&] {
        const bool on = chSimulated->isChecked();
        Settings::saveBool(QStringLiteral("DSLRControl"), QStringLiteral("SimulatedCables"), on);
        cableSetup().useSimulated(on);
        fillComPorts();
    });
}

void frmSelectPort::loDSUSB_connected() {
    frDisconnected->hide();
    frConnected->show();
}

void frmSelectPort::loDSUSB_disconnected() {
    frDisconnected->show();
    frConnected->hide();
}

void frmSelectPort::GetDSUSBSettings() {
    int value = 0;
    guarded([&] {
        value = Settings::getInt(QStringLiteral("DSUSB"), QStringLiteral("Enabled"),
                                 QStringLiteral("0"));
    });
    chDSUSB->setChecked(value != 0);
}

void frmSelectPort::WriteDSUSBSettings() {
    Settings::save(QStringLiteral("DSUSB"), QStringLiteral("Enabled"),
                   chDSUSB->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace zelmora::cables

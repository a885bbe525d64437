#pragma once

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zelmora::cables {

// "Bulb Exposure Cable Setup": the DSUSB switch and its state, the serial port
// and line with a test, the parallel port table with detection, ECP mode and a
// test, and the two data lines. A view of the cable set-up. A dialog of the main
// window (its owner unless another is given), kept in front of it.
class frmSelectPort : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Bulb Exposure Cable Setup");

    explicit frmSelectPort(QWidget* parent = nullptr);
    ~frmSelectPort() override;

    void GetDSUSBSettings();
    void WriteDSUSBSettings();

    // Handlers, public so that the window can be driven like its controls.
    void optPortName_Click(int index);
    void cboEcpMode_Click(int index);
    void cmdFindPorts_Click();
    void cmdTestPort_Click();
    void cmdOK_Click();
    void cmdAddPort_Click();
    void cbTestPort_Click();
    void cbEnableSerial_Click();
    void comboComPort_Change();
    void comboSerialSignal_Change();
    void txtShutterDataLine_Change();
    void txtAutofocusDataLIne_Change();
    void chDSUSB_Click();
    void chSimulated_Click();
    void loDSUSB_connected();
    void loDSUSB_disconnected();

    // Chooses port option i as a click on it would.
    void choosePort(int index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void render();  // the table and lists from the set-up
    void fillComPorts();

    bool unloaded_ = false;
    bool rendering_ = false;

    QGroupBox* Frame4 = nullptr;
    QCheckBox* chDSUSB = nullptr;
    QGroupBox* frDisconnected = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* LEDClosed = nullptr;
    QGroupBox* frConnected = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* LEDOpen = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* comboComPort = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* comboSerialSignal = nullptr;
    QPushButton* cbTestPort = nullptr;
    QPushButton* cbEnableSerial = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* fraPort = nullptr;
    std::array<QRadioButton*, 4> optPortName{};
    QLabel* lblPort = nullptr;
    QLabel* lblAddressHeading = nullptr;
    QLabel* lblTypeHeading = nullptr;
    QLabel* lblEcpMode = nullptr;
    std::array<QLabel*, 4> lblAddress{};
    std::array<QLabel*, 4> lblType{};
    std::array<QComboBox*, 4> cboEcpMode{};
    QPushButton* cmdFindPorts = nullptr;
    QPushButton* cmdTestPort = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdAddPort = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* lblfp = nullptr;
    QLineEdit* txtShutterDataLine = nullptr;
    QLabel* lblHP = nullptr;
    QLineEdit* txtAutofocusDataLIne = nullptr;
    QCheckBox* chSimulated = nullptr;
};

}  // namespace zelmora::cables

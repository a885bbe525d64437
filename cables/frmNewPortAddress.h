#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zelmora::cables {

// "Parallel Port Resource": the hexadecimal address of the fourth ("User") slot.
class frmNewPortAddress : public QWidget {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("frmNewPortAddress");
    static inline const QString kDesignCaption = QStringLiteral("Parallel Port Resource");

    explicit frmNewPortAddress(QWidget* parent = nullptr);
    ~frmNewPortAddress() override;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool unloaded_ = false;
    QLabel* lblAddressOfNonStandardPort = nullptr;
    QLineEdit* txtAddressOfNonStandardPort = nullptr;
    QLabel* lblh = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// Puts a window in the middle of the screen.
void centreOnScreen(QWidget* w);

}  // namespace zelmora::cables

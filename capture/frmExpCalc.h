#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace zelmora::capture {

// "Exposure Calculator": suggests an exposure from the object's surface
// brightness, speed, reciprocity, filter factor and focal ratio, and hands it
// to the capture window's minutes and seconds boxes when that window is open.
class frmExpCalc : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Exposure Calculator");

    explicit frmExpCalc(QWidget* parent = nullptr);
    ~frmExpCalc() override;

    void cbCalculate_Click();
    void cbFinish_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QComboBox* cbBrightness = nullptr;
    QComboBox* cbFilmSpeed = nullptr;
    QComboBox* cbRecipFail = nullptr;
    QComboBox* cbFilterFactor = nullptr;
    QComboBox* cbFRatio = nullptr;
    QPushButton* cbCalculate = nullptr;
    QPushButton* cbFinish = nullptr;
    QLabel* lblExposure = nullptr;
    bool unloaded_ = false;
};

}  // namespace zelmora::capture

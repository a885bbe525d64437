#pragma once

#include <QImage>
#include <QWidget>

#include "sky/clsLocation.h"

class QCalendarWidget;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zelmora::platform {
class Timer;
}

namespace zelmora::sky {

class UpDown;

// "Moon Phase": the moon's picture for a date chosen on a calendar, with the
// moon and sun rise/set and nautical twilight times at the current observing
// location, which can be picked from the saved list or typed in and saved.
class frmMoonPhase : public QWidget {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Moon Phase");

    explicit frmMoonPhase(QWidget* parent = nullptr);
    ~frmMoonPhase() override;

    const clsLocation& CurrentLocation() const { return currentLocation_; }

    // Handlers, public so that the window can be driven like its controls.
    void Timer1_Timer();
    void oCalendar_DateClick();
    void lbLocationList_Click();
    void cbChange_Click();
    void cbDone_Click();
    void UpDown1_UpClick();
    void UpDown1_DownClick();
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();
    void ShowMoonImage(int n);
    void RefreshForDate();
    void ShowLocation();
    void computeTimes(const QDate& date);
    void setLocationFrameHeight(int twips);

    clsLocation currentLocation_;
    QImage loaded_;  // the picture file as loaded (PicLoad's picture)

    QCalendarWidget* oCalendar = nullptr;
    QLabel* PicView = nullptr;
    QLabel* PicLoad = nullptr;
    QLabel* outMoonrise = nullptr;
    QLabel* outMoonset = nullptr;
    QLabel* outSunrise = nullptr;
    QLabel* outSunset = nullptr;
    QLabel* outNtrise = nullptr;
    QLabel* outNtset = nullptr;
    QGroupBox* frmLocation = nullptr;
    QLabel* lblName = nullptr;
    QLabel* lblTimeZone = nullptr;
    QLabel* lblLongitude = nullptr;
    QLabel* lblLatitude = nullptr;
    QLabel* lblEastWest = nullptr;
    QLabel* lblNorthSouth = nullptr;
    QPushButton* cbChange = nullptr;
    QPushButton* cbDone = nullptr;
    QComboBox* lbLocationList = nullptr;
    QLineEdit* txtLatDegree = nullptr;
    QLineEdit* txtLatMinutes = nullptr;
    QComboBox* lbNorthSouth = nullptr;
    QLineEdit* txtLongDegree = nullptr;
    QLineEdit* txtLongMinutes = nullptr;
    QComboBox* lbEastWest = nullptr;
    QLineEdit* txtUTCoffset = nullptr;
    UpDown* UpDown1 = nullptr;
    QLabel* lblHoursEastWest = nullptr;
    QPushButton* Command1 = nullptr;
    platform::Timer* Timer1 = nullptr;
    bool unloaded_ = false;
};

}  // namespace zelmora::sky

#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "camera/CValidValues.h"
#include "capture/CaptureRules.h"
#include "capture/PlannedRun.h"
#include "shell/Neighbours.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace zelmora {
class clsCamera;
}

namespace zelmora::capture {

class CameraLink;
class CaptureRunEngine;
class ReviewTab;
class ctlCountDown;
class ctlProgress;

// "Image Capture": short exposures timed by the camera, long bulb exposures
// through a shutter cable, file naming and the review of downloaded images, on
// four tabs. The rules live in capture::rules; this class lays the tabs out,
// keeps the boxes guarded and applies the rules. The runs themselves are a
// CaptureRunEngine plugged in from outside.
class frmCapture : public QWidget, public ICaptureWindow {
    Q_OBJECT
public:
    static inline const QString kDesignCaption = QStringLiteral("Image Capture");

    explicit frmCapture(QWidget* parent = nullptr);
    ~frmCapture() override;

    // ICaptureWindow.
    void LoadAThumb(const QString& fileName) override;
    void ChangeColors() override;
    QString sPicToshow() const override { return sPicToshow_; }
    void setPicToshow(const QString& path) { sPicToshow_ = path; }

    // Public members used by the run engine, the sequencer and the calculator.
    void updateInformation();
    void clearInformation();
    std::int16_t GetCurrFrame() const;
    void LogSettings();
    void SetupFileNames();
    void checkConnectStatus();
    void LoadSettings();
    void SaveSettings();
    void keepCamConAlive();
    QString GetFileName();
    double getExpTime();
    void UpdateTotalExp();
    bool NeedsGapWarning() const;
    bool ValidShortExpValues();
    bool ValidValues();
    void checkConnectionType();
    void ApplySaveTargets();
    // The folder a run hands the control at its start ("" = leave it).
    QString runSavePath(bool longRun);
    // The plan of a run, copied from the boxes now; frames = false for the
    // manual press, which needs only the mirror lock-up.
    RunPlan runPlan(bool longRun, bool frames = true);
    // A line under the run's controls about the run (a frame not taken); ""
    // clears it. It tells of the exposures of its kind (those of the tab
    // showing when not given), and goes when the other exposure tab is chosen.
    void showRunNotice(const QString& text, std::optional<bool> longRun = std::nullopt);
    // Start as the window's rules want it, and the hint beside it that says
    // why it is off. Start stays off while a run goes on, and on a long
    // exposure tab while no shutter cable is set up.
    void setStartEnabled(bool enabled, const QString& why);
    // Start shown again as the last rules, the cable and the run say.
    void refreshStart();
    // The lines under the countdown, one under the other, each as high as its text.
    void layoutNotes();
    void SoundAlarm();
    bool bCheckGap() const { return bCheckGap_; }
    // Selects a tab (1 to 4) and lays the window out for it.
    void selectTab(int tab);

    // The engine reports the end of every run here.
    void runFinished();
    CaptureRunEngine* runEngine() const { return engine_.get(); }
    bool runActive() const;

    // Handlers, public so that tests and the engine can drive the window like its controls.
    void TabStrip1_Click();
    void lbTv_Click();
    void chMirrorLock_Click();
    void txtMirrorLockDelay_Change();
    void numberBox_Change(QLineEdit* box);
    void txtObjPrefix_Change();
    void chkUseISO_Click();
    void chPictoPC_Click();
    void chPictoCam_Click();
    void cmdBrowse_Click();
    void cbExpStart_Click();
    void cbExpStop_Click();
    void oCamera_Connected();
    void oCamera_Disconnected();
    void oCamera_BulbModeEnabled();
    void oCamera_BulbModeNotEnabled();
    void oCamera_TvChanged();
    void oCamera_UpdateCameraInformation();
    void loDSUSB_connected();
    void loDSUSB_disconnected();

    // Run state, owned by the run engine and shown here.
    std::int32_t iCurrentExposure = 0;
    std::int32_t iExposureCount = 0;
    std::int32_t iExposuresTaken = 0;  // frames of the run whose pictures were taken
    bool bStopRequested = false;
    bool bLongExposureMode = false;

    // Controls.
    QTabBar* TabStrip1 = nullptr;
    QGroupBox* frAutomation = nullptr;
    QComboBox* lbTv = nullptr;
    QLabel* lblExposureTime = nullptr;
    QCheckBox* chPictoCam = nullptr;
    QCheckBox* chPictoPC = nullptr;
    QLineEdit* txtExpCount = nullptr;
    QLineEdit* txtTimeBetween = nullptr;
    QLineEdit* txtExpMin = nullptr;
    QLineEdit* txtExpSec = nullptr;
    QLineEdit* txtLeadIn = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QPushButton* cbExpStart = nullptr;
    QPushButton* cbExpStop = nullptr;
    QPushButton* cbAutomate = nullptr;
    QGroupBox* frInformation = nullptr;
    ctlProgress* ProgressBar1 = nullptr;
    QLabel* lblTotalExp = nullptr;
    QLabel* lblExpRemaining = nullptr;
    QLabel* lblISO = nullptr;
    QLabel* lblShotsLeft = nullptr;
    QLabel* lblImgType = nullptr;
    QLabel* lblExpTaken = nullptr;
    QLabel* lblSaveTarget = nullptr;  // where the next run's pictures go
    QLabel* lblStartHint = nullptr;   // why Start is off, and what turns it on
    QLabel* lblRunNotice = nullptr;
    QFrame* frTab = nullptr;
    QGroupBox* frMirrorLock = nullptr;
    QCheckBox* chMirrorLock = nullptr;
    QLineEdit* txtMirrorLockDelay = nullptr;
    QGroupBox* frManual = nullptr;
    QPushButton* cbPressShutter = nullptr;
    QPushButton* cbReleaseShutter = nullptr;
    ctlCountDown* ctlCountDown1 = nullptr;
    QGroupBox* frmFileCap = nullptr;
    QLineEdit* txtDirectory = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QGroupBox* frFileNames = nullptr;
    QLineEdit* txtObjPrefix = nullptr;
    QCheckBox* chkUseISO = nullptr;
    QLineEdit* txtSampFilename = nullptr;
    QGroupBox* frThumbs = nullptr;
    ReviewTab* Review = nullptr;  // the review list, on frThumbs
    QFrame* frConnectionStatus[2] = {nullptr, nullptr};
    QFrame* frConnected = nullptr;
    QFrame* frDisconnected = nullptr;
    QFrame* LEDClosed = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void Form_Load();
    void Form_Unload();
    void SetupShortExposures();
    void SetupLongExposures();
    void setupReview();
    void UpdateModeControls();
    void showShortExpLB();
    void applyLayout(int tab);
    // The total-time label; startRule: also enable Start on tab 2 by the exposure time.
    void updateTotal(bool startRule);
    void setButton19(bool enabled);
    void showSaveTarget();
    // The control's download switches for a change of the save-target boxes.
    void tellSaveTargets(const rules::SaveTargets& targets);
    bool connected() const;
    bool runChecks(const rules::CheckResult& result);
    rules::RunInputs runInputs(bool longRun);
    // The file-name stem for the boxes, with the given exposure seconds (the
    // window's exposure time when none is given).
    QString fileStem(std::optional<double> seconds);
    // A bulb frame's plan keeps what makes its stem again for the seconds its
    // shutter was open, when the stem tells seconds.
    void keepTimedStem(RunPlan& p);

    CameraLink& link() const;
    QPointer<clsCamera> oCamera;
    std::unique_ptr<CValidValues> validValues_;
    std::unique_ptr<CaptureRunEngine> engine_;
    bool bCheckGap_ = true;
    bool dsusbFollowed_ = false;
    bool startRule_ = true;  // Start as the rules last set it, and why it is off
    QString startWhy_;
    bool unloaded_ = false;
    bool closePending_ = false;
    bool laidOut_ = false;
    bool loading_ = false;  // inside Form_Load: a close then is refused
    QString sPicToshow_;
    QString prefix_;     // the trimmed prefix, as last stored
    int noticeTab_ = 1;  // the exposure tab whose run the notice line tells of
};

}  // namespace zelmora::capture

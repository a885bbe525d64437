#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "focus/CgraphData.h"
#include "focus/FocuserController.h"
#include "platform/time/Timer.h"
#include "shell/Neighbours.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zelmora::focus {

// "Auto Focus": chooses, links and moves the focuser, and runs the autofocus
// sweep. The run is a state machine on the program clock: for each position it
// releases the frames one by one through the camera window, waits for each
// download and its analysis, averages the measured frames, steps the focuser
// and pauses; at the end it votes and offers the best position. A stop, a
// camera disconnect, a refused release, a focuser fault or closing the window
// ends it from any state.
class frmAutofocus : public QWidget {
    Q_OBJECT
public:
    static const QString kDesignCaption;
    static const QString kStartCaption;
    static const QString kStopCaption;
    static const QString kNotConnectedText;
    static const QString kSetupWarning;
    static const QString kLinkRefused;
    static const QString kReleaseRefusedText;
    static const QString kDownloadTimeoutText;
    static const QString kCameraLostText;
    static const QString kMoveTimeoutText;
    static const QString kNoBestFocusText;
    // How long one focus frame may take from release to its analysis.
    static constexpr qint64 kDownloadTimeoutMs = 120000;

    explicit frmAutofocus(QWidget* parent = nullptr);
    ~frmAutofocus() override;

    // --- Focuser control ---------------------------------------------------
    void ChooseFocuser(bool force);
    void cmdConnect_Click() { ChooseFocuser(true); }
    void cbLink_Click();
    std::int32_t GetFocuserPosition() const { return focuser_.GetFocuserPosition(); }
    void ShowFocuserInfo();
    void cbGetPosition_Click() { ShowFocuserInfo(); }
    void cbSetPosition_Click();
    void Command6_Click();
    void cbMoveIn_Click();
    void cbMoveOut_Click();
    void cbMoveTo_Click();
    void MoveFocuserToPos(std::int32_t lPos);
    std::int16_t GetBacklashAmount() const;
    void chAutoIterate_Click();
    FocuserController& focuser() { return focuser_; }
    QString focuserId() const { return focuserId_; }

    // --- The run -------------------------------------------------------------
    void cbStartAutoFocus_Click();
    bool running() const { return !ended_; }
    // The vote over this run's table; 0 when no row can vote.
    std::int32_t GetBestFocusPosition() const;
    const IterationTable& aIterationData() const { return aIterationData_; }
    bool bStopAutoFocus() const { return bStopAutoFocus_; }
    // Frames released in the last run, and how many of them were measured;
    // the others were left out without stopping the run.
    int framesReleased() const { return framesReleased_; }
    int framesMeasured() const { return framesMeasured_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Phase { Idle, Downloading, OneSecond, Moving, Pausing };
    struct Figures {
        float h = 0, v = 0, peak = 0, radial = 0;
    };

    void buildControls();
    void Form_Load();
    void Form_Unload();
    void LoadSettings();
    void SaveSettings();
    void guard(QLineEdit* box, GuardedBox kind);
    void showWarning(const QString& text, int style);
    // Runs the driver moves of a manual button or of the run. false when
    // nothing was started (an error was shown or a move is under way).
    bool startMoves(const std::vector<std::int32_t>& steps, bool forRun);
    bool readInt16(QLineEdit* box, std::int16_t& value);
    void onMovesDone(const FocuserController::Result& result, bool forRun);
    void setRunButtonEnabled();
    void oCamera_Connected();
    void oCamera_Disconnected();

    // The run's steps.
    void ResetRunData();
    void startRun();
    void beginIteration();
    void nextFrame();
    void Waitfordownload();
    void afterDownload();
    void StoreImageData(int frame);
    void endIteration();
    void AverageImageData(Figures& avg, int& valid) const;
    void AddAverageData(const Figures& avg, bool valid);
    void UpdateResultsGraph();
    void afterMove();
    void afterPause();
    void updateProgress(int iImageCount, int iIteration);
    // Ends the run; a message is shown after the run has ended.
    void stopRun(const QString& message);
    // What the user is told when the camera did not take a focus frame.
    static QString refusedText(const ReleaseOutcome& outcome);
    void ending(bool completed);
    void OfferMoveToBestFocus();
    void onTimer();
    void setStatus(const QString& text);
    // After something that lets events run (a box, the chooser): whether the
    // window held by `self` has been deleted or closed meanwhile.
    static bool closedMeanwhile(const QPointer<frmAutofocus>& self) {
        return !self || self->unloaded_;
    }

    FocuserController focuser_;
    QString focuserId_;
    bool unloaded_ = false;

    // Run state.
    Phase phase_ = Phase::Idle;
    bool bStopAutoFocus_ = false;
    bool ended_ = true;
    int N_ = 0, M_ = 0, iteration_ = 0, frame_ = 0;
    std::vector<std::optional<Figures>> aImageData_;
    IterationTable aIterationData_;
    int markGeneration_ = 0, markColumn_ = -1;
    qint64 downloadDeadline_ = 0;
    // What came of the frame's download, as the camera window told; the
    // frame's number tells a late report of an earlier frame from it.
    std::optional<FrameDownload> download_;
    int frameSerial_ = 0;
    int framesReleased_ = 0, framesMeasured_ = 0;
    platform::Timer timer_;

    // Controls.
    QPushButton* cmdConnect = nullptr;
    QPushButton* cbLink = nullptr;
    QPlainTextEdit* txtInformation = nullptr;
    QPushButton* Command6 = nullptr;
    QLineEdit* txtpos = nullptr;
    QPushButton* cbGetPosition = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* cbSetPosition = nullptr;
    QLineEdit* txtMoveAmount = nullptr;
    QPushButton* cbMoveIn = nullptr;
    QPushButton* cbMoveOut = nullptr;
    QLineEdit* txtTopos = nullptr;
    QPushButton* cbMoveTo = nullptr;
    QCheckBox* chBackCompensate = nullptr;
    QLineEdit* txtBacklashAmount = nullptr;
    QPushButton* cbStartAutoFocus = nullptr;
    QLineEdit* txtNoImages = nullptr;
    QLineEdit* txtNoInterations = nullptr;
    QLineEdit* txtPauseTime = nullptr;
    std::array<QRadioButton*, 2> optDirection{};
    QCheckBox* chAutoIterate = nullptr;
    QCheckBox* chShowGraph = nullptr;
    QLabel* lblProg1 = nullptr;
    QLabel* lblLeftOut = nullptr;  // the last frame the run had to leave out, and why
};

}  // namespace zelmora::focus

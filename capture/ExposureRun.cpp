#include "capture/ExposureRun.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

#include "capture/ctlCountDown.h"
#include "capture/ctlProgress.h"
#include "capture/frmCapture.h"
#include "platform/time/Clock.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

namespace {

void log(const QString& line) {
    Globals::WriteLogLine(line);
}

}  // namespace

ExposureRun::ExposureRun(frmCapture& window) : w_(window), run_(*this) {
    connect(&run_, &PlannedRun::finished, this, [this] { emit finished(); });
}

ExposureRun::~ExposureRun() = default;

// ---- Start --------------------------------------------------------------------

void ExposureRun::cbExpStart_Click() {
    // The button stays out of a running sequence: the sequencer starts its steps itself.
    if (state().bSequenceRunning) {
        log(QStringLiteral("Start refused: a sequence is running"));
        return;
    }
    start();
}

void ExposureRun::StartExposureAutomate() {
    start();
}

void ExposureRun::start() {
    // A second Start (a queued click, a space typed on a check's box) while
    // one is in its checks or running is refused.
    if (running()) {
        log(QStringLiteral("Start refused: a run is in progress"));
        return;
    }
    starting_ = true;
    stopWhileStarting_ = false;
    // The checks show boxes and process events: the window may be closed meanwhile.
    QPointer<frmCapture> window(&w_);
    QPointer<ExposureRun> self(this);
    trapAndTrace(QStringLiteral("cbExpStart_Click"), [&] {
        w_.clearInformation();
        if (!window) return;
        w_.ApplySaveTargets();
        if (w_.GetCurrFrame() == 1) {
            w_.bLongExposureMode = false;
            ProcessShortExpStart();
        } else {
            w_.bLongExposureMode = true;
            ProcessLongExpStart();
        }
    });
    if (!self || !window) return;
    starting_ = false;
    if (!run_.running()) {
        w_.refreshStart();
        w_.runFinished();  // a close asked for during the checks goes ahead
    }
}

void ExposureRun::ProcessShortExpStart() {
    log(QStringLiteral("-----ShortExp Control Started ------"));
    w_.LogSettings();
    w_.ctlCountDown1->setVisible(true);
    if (!w_.ValidShortExpValues() || stopWhileStarting_) return;
    starting_ = false;
    run_.start(w_.runPlan(false));
}

void ExposureRun::ProcessLongExpStart() {
    w_.checkConnectionType();
    log(QStringLiteral("Automation Start Pressed"));
    w_.LogSettings();
    if (!w_.ValidValues() || stopWhileStarting_) return;
    starting_ = false;
    run_.start(w_.runPlan(true));
}

// ---- Stop -------------------------------------------------------------------------

void ExposureRun::cbExpStop_Click() {
    if (starting_) stopWhileStarting_ = true;
    // During a run the run's own kind decides; idle, the tab showing.
    const bool longStop = (run_.running() && !run_.manual())
                              ? run_.longRun()
                              : (w_.GetCurrFrame() != 1 || run_.manual());
    run_.stop(longStop);
    guarded([&] { w_.refreshStart(); });
    // The program is closing: nothing more is waited for.
    if (platform::shuttingDown()) run_.abort();
}

// ---- Manual shutter and the sequencer -------------------------------------------

void ExposureRun::cbPressShutter_Click() {
    if (running() || state().bSequenceRunning) {
        log(QStringLiteral("Shutter press refused: a run is in progress"));
        return;
    }
    run_.pressManual(w_.runPlan(w_.GetCurrFrame() != 1, false));
}

void ExposureRun::cbReleaseShutter_Click() {
    if (running() || state().bSequenceRunning) {
        log(QStringLiteral("Shutter release refused: a run is in progress"));
        return;
    }
    run_.releaseManual();
}

void ExposureRun::cbAutomate_Click() {
    trapAndTrace(QStringLiteral("cbAutomate_Click"), [] { windows().show(Win::frmAutomate); });
}

// ---- The window as the run's display ----------------------------------------------

void ExposureRun::setCountdownReason(const QString& reason) {
    w_.ctlCountDown1->setCountDownReason(reason);
}

std::int32_t ExposureRun::startCountdown(const QString& reason, std::int32_t seconds) {
    ctlCountDown* cd = w_.ctlCountDown1;
    cd->setCountdowntime(seconds);
    cd->setCountDownReason(reason);
    cd->StartCoundown();
    return cd->Countdowntime();
}

void ExposureRun::stopCountdown() {
    w_.ctlCountDown1->StopCountdown();
}

void ExposureRun::clearInformation() {
    w_.clearInformation();
}

void ExposureRun::setProgressRange(std::int32_t frames) {
    w_.iExposureCount = frames;
    w_.ProgressBar1->setMin(0);
    w_.ProgressBar1->setMax(frames);
}

void ExposureRun::updateInformation(std::int32_t frame, std::int32_t frames, std::int32_t taken) {
    w_.iCurrentExposure = frame;
    w_.iExposureCount = frames;
    w_.iExposuresTaken = taken;
    w_.updateInformation();
}

void ExposureRun::setCaption(const QString& caption) {
    w_.setWindowTitle(caption.isEmpty() ? frmCapture::kDesignCaption : caption);
}

void ExposureRun::soundAlarm() {
    w_.SoundAlarm();
}

void ExposureRun::runControls(bool active, bool longRun) {
    // One run at a time (Start follows the run); the tab of the other kind
    // would reconfigure the camera mid-run, and the shutter-speed list would
    // change the camera's speed.
    w_.refreshStart();
    w_.cbExpStop->setEnabled(true);
    w_.cbPressShutter->setEnabled(!active);
    w_.cbReleaseShutter->setEnabled(!active);
    w_.lbTv->setEnabled(!active);
    w_.TabStrip1->setTabEnabled(0, !active || !longRun);
    w_.TabStrip1->setTabEnabled(1, !active || longRun);
    if (active) w_.showRunNotice({});
}

void ExposureRun::setBusy(bool busy) {
    if (busy)
        w_.setCursor(Qt::WaitCursor);
    else
        w_.unsetCursor();
}

void ExposureRun::frameNotice(const QString& why) {
    w_.showRunNotice(why, run_.longRun());
}

void ExposureRun::runEnded() {
    w_.runFinished();
}

}  // namespace zelmora::capture

#include "capture/ExposureRun.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

#include "capture/CameraLink.h"
#include "capture/ctlCountDown.h"
#include "capture/ctlProgress.h"
#include "capture/frmCapture.h"
#include "platform/os/Media.h"
#include "platform/time/Clock.h"
#include "platform/time/Timer.h"
#include "shell/AppPaths.h"
#include "shell/Conv.h"
#include "shell/Errors.h"
#include "shell/Globals.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "shell/WindowRegistry.h"

namespace zelmora::capture {

namespace {

void log(const QString& line) {
    Globals::WriteLogLine(line);
}

QString nowText() {
    return platform::clock().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString stampText(const QDateTime& t) {
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void pumpOnce() {
    QCoreApplication::processEvents();
}

ShutterCable& cable() {
    return ShutterCable::instance();
}

CameraLink& link() {
    return CameraLink::instance();
}

// How often the download wait looks at the flag; the flag itself is cleared
// by the camera window's download handler.
constexpr int kDownloadWakeMs = 100;

}  // namespace

ExposureRun::ExposureRun(frmCapture& window) : w_(window) {
    wait_ = new platform::Timer(this);
    wait_->setInterval(0);
    connect(wait_, &platform::Timer::timeout, this, [this] { fire(generation_); });
    wake_ = new platform::Timer(this);
    wake_->setInterval(0);
    connect(wake_, &platform::Timer::timeout, this, [this] { downloadCheck(); });
}

ExposureRun::~ExposureRun() {
    // A window closed mid-exposure never leaves the shutter held.
    if (phase_ == Phase::Exposing || phase_ == Phase::MirrorUp || phase_ == Phase::Manual)
        guarded([] { cable().ReleaseShutter(); });
}

// ---- Timing --------------------------------------------------------------------

void ExposureRun::arm(qint64 ms, std::function<void()> next) {
    next_ = std::move(next);
    const quint64 gen = ++generation_;
    scheduledMs_ = static_cast<int>(std::max<qint64>(ms, 0));
    if (ms > 0) {
        wait_->setInterval(scheduledMs_);
    } else {
        wait_->setInterval(0);
        QMetaObject::invokeMethod(
            this, [this, gen] { fire(gen); }, Qt::QueuedConnection);
    }
}

void ExposureRun::fire(quint64 generation) {
    if (generation != generation_ || !next_) return;
    wait_->setInterval(0);
    scheduledMs_ = -1;
    auto next = std::move(next_);
    next_ = nullptr;
    next();
}

void ExposureRun::stopWait() {
    // Like StopTimer on a wait in progress: the wait ends now and its step goes on.
    if (!next_) return;
    wait_->setInterval(0);
    const quint64 gen = ++generation_;
    QMetaObject::invokeMethod(
        this, [this, gen] { fire(gen); }, Qt::QueuedConnection);
}

void ExposureRun::countdown(const QString& reason, std::int32_t seconds,
                            std::function<void()> after) {
    ctlCountDown* cd = w_.ctlCountDown1;
    cd->setCountDownReason(reason);
    cd->setCountdowntime(seconds);
    cd->StartCoundown();
    const std::int32_t s = cd->Countdowntime();
    log(QStringLiteral("----Wait Start Time:") + nowText());
    arm(qint64(s) * 1000, [this, after = std::move(after)] {
        w_.ctlCountDown1->StopCountdown();
        log(QStringLiteral("----Wait End Time:") + nowText());
        after();
    });
}

void ExposureRun::setStatus(const QString& text) {
    if (IMainWindow* m = mainWindow())
        if (QLabel* p = m->statusPanel(1)) p->setText(text);
}

void ExposureRun::setCursorBusy(bool busy) {
    if (busy)
        w_.setCursor(Qt::WaitCursor);
    else
        w_.unsetCursor();
}

void ExposureRun::setRunControls(bool runActive) {
    // One run at a time; the tab of the other kind would reconfigure the camera mid-run.
    w_.cbExpStart->setEnabled(!runActive);
    w_.cbExpStop->setEnabled(true);
    w_.cbPressShutter->setEnabled(!runActive);
    w_.cbReleaseShutter->setEnabled(!runActive);
    w_.TabStrip1->setTabEnabled(0, !runActive || !longRun_);
    w_.TabStrip1->setTabEnabled(1, !runActive || longRun_);
}

// ---- Start --------------------------------------------------------------------

void ExposureRun::cbExpStart_Click() {
    // The button stays out of a running sequence: the sequencer starts its steps itself.
    if (state().bSequenceRunning) {
        log(QStringLiteral("Start refused: a sequence is running"));
        return;
    }
    start(false);
}

void ExposureRun::StartExposureAutomate() {
    start(true);
}

void ExposureRun::start(bool) {
    if (running()) {
        log(QStringLiteral("Start refused: a run is in progress"));
        return;
    }
    manual_ = false;
    statusTouched_ = false;
    const bool ok = trapAndTrace(QStringLiteral("cbExpStart_Click"), [&] {
        w_.clearInformation();
        w_.ApplySaveTargets();
        if (w_.GetCurrFrame() == 1) {
            w_.bLongExposureMode = false;
            ProcessShortExpStart();
        } else {
            w_.bLongExposureMode = true;
            ProcessLongExpStart();
        }
    });
    if (!ok && running()) trappedInLoop();
    if (!running()) w_.cbExpStart->setEnabled(true);
}

void ExposureRun::ProcessShortExpStart() {
    log(QStringLiteral("-----ShortExp Control Started ------"));
    w_.LogSettings();
    w_.ctlCountDown1->setVisible(true);
    if (!w_.ValidShortExpValues()) return;
    prepare(false);
}

void ExposureRun::ProcessLongExpStart() {
    w_.checkConnectionType();
    log(QStringLiteral("Automation Start Pressed"));
    w_.LogSettings();
    if (!w_.ValidValues()) return;
    prepare(true);
}

// startShortExposure / StartExposure up to the lead-in.
void ExposureRun::prepare(bool longRun) {
    longRun_ = longRun;
    phase_ = Phase::LeadIn;
    setRunControls(true);
    w_.bStopRequested = false;
    trapAndTrace(longRun ? QStringLiteral("StartExposure") : QStringLiteral("startShortExposure"),
                 [&] {
                     const QString path = w_.runSavePath(longRun);
                     if (!path.isEmpty()) link().setSavePath(path);
                     w_.clearInformation();
                 });
    // CountDownDelayTime: txtdelayTime is the lead-in, whatever its name says.
    bool counting = false;
    trapAndTrace(QStringLiteral("CountDownDelayTime"), [&] {
        const QString text = w_.txtdelayTime->text();
        log(QStringLiteral("Counting down Leadin:") + text);
        w_.ctlCountDown1->setCountDownReason(QStringLiteral("Leadin In"));
        const QString trimmed = text.trimmed();
        if (trimmed != QStringLiteral("0") && Conv::isNumeric(trimmed)) {
            const std::int16_t seconds = Conv::parseInt16(trimmed);
            counting = true;
            countdown(QStringLiteral("Leadin In"), seconds, [this] { afterLeadIn(); });
        }
    });
    if (!counting) afterLeadIn();
}

void ExposureRun::afterLeadIn() {
    if (w_.bStopRequested || platform::shuttingDown()) return endSilent();
    bool go = false;
    trapAndTrace(longRun_ ? QStringLiteral("StartExposure") : QStringLiteral("startShortExposure"),
                 [&] {
                     w_.iExposureCount = Conv::parseInt16(w_.txtExpCount->text());
                     if (w_.iExposureCount < 1) return;
                     w_.ProgressBar1->setMin(0);
                     w_.ProgressBar1->setMax(w_.iExposureCount);
                     w_.bStopRequested = false;
                     go = true;
                 });
    if (!go) return endSilent();
    state().iSequenceTotal = w_.iExposureCount;
    w_.iCurrentExposure = 1;
    frameStart();
}

// ---- Frames ---------------------------------------------------------------------

void ExposureRun::frameStart() {
    const std::int32_t k = w_.iCurrentExposure;
    bool released = false;
    const bool ok = trapAndTrace(
        longRun_ ? QStringLiteral("DoExposure") : QStringLiteral("DoShortExposure"), [&] {
            state().iSequenceFrame = k;
            log(QString(41, u'-'));
            if (!longRun_) {
                log(QStringLiteral("***** Starting Short Exposure:") + QString::number(k));
                if (w_.bStopRequested || platform::shuttingDown()) return;
                link().setFileName(w_.GetFileName() + QString::number(k));
                setCursorBusy(true);
                state().bWaitingForDownload = true;
                link().setWaitingForDownload(true);
                link().Release();
                released = true;
                return;
            }
            log(QStringLiteral("***** Starting Exposure:") + QString::number(k) +
                QStringLiteral(" of ") + QString::number(w_.iExposureCount));
            if (link().connected()) {
                link().setFileName(w_.GetFileName() + QString::number(k));
                link().setWaitingForDownload(true);
                state().bWaitingForDownload = true;
                pumpOnce();
            }
            released = true;
        });
    if (!ok) return trappedInLoop();
    if (!released) return endRun();  // a short run stopped before its release
    if (!longRun_) return Waitfordownload();
    pressShutter([this] { CountDownExposure(); });
}

void ExposureRun::pressShutter(std::function<void()> opened) {
    if (!w_.chMirrorLock->isChecked()) {
        cable().PressShutter();
        openedAtMs_ = platform::clock().monotonicMs();
        return opened();
    }
    log(QStringLiteral("Locking Up Mirror"));
    cable().PressShutter();
    phase_ = manual_ ? Phase::Manual : Phase::MirrorUp;
    const QString delayText = w_.txtMirrorLockDelay->text();
    log(QStringLiteral("Counting down Mirror Lock:") + delayText);
    std::int16_t delay = 0;
    trapAndTrace(QStringLiteral("CountDownMirrorLock"),
                 [&] { delay = Conv::parseInt16(delayText); });
    const bool timed = delay > 0;
    auto afterPause = [this, opened] {
        // A stop during the lock-up or the pause never opens the shutter.
        if (w_.bStopRequested || platform::shuttingDown()) {
            if (manual_) return finish();
            return endRun();
        }
        cable().PressShutter();
        openedAtMs_ = platform::clock().monotonicMs();
        opened();
    };
    auto afterLock = [this, timed, afterPause] {
        cable().ReleaseShutter();
        log(QStringLiteral("Mirror Locked"));
        if (w_.bStopRequested || platform::shuttingDown()) return afterPause();
        phase_ = manual_ ? Phase::Manual : Phase::MirrorPause;
        log(QStringLiteral("Pausing after Mirror Lock:") + QStringLiteral("1"));
        if (!timed) return afterPause();
        countdown(QStringLiteral("Mirror Lock Pause"), 1, afterPause);
    };
    if (!timed) return afterLock();
    countdown(QStringLiteral("Mirror Lock"), delay, afterLock);
}

void ExposureRun::releaseshutter() {
    cable().ReleaseShutter();
    pumpOnce();
}

void ExposureRun::CountDownExposure() {
    phase_ = Phase::Exposing;
    bool timed = false;
    trapAndTrace(QStringLiteral("CountDownExposure"), [&] {
        log(QStringLiteral("--Countdown Started--"));
        lExposureSeconds = Conv::toInt32(Conv::roundHalfEven(w_.getExpTime()));
        log(QStringLiteral("Exposure Time Sec:") + QString::number(lExposureSeconds));
        // One second is timed like any other; the display and the sound stay for longer ones.
        if (lExposureSeconds < 1) return;
        log(QStringLiteral("Actual Start Time:") + nowText());
        log(QStringLiteral("----Wait Start Time:") + nowText());
        if (lExposureSeconds > 1) {
            if (!state().bMute)
                platform::SoundService::instance().play(
                    AppPaths::join(ctlCountDown::wavFolder(), QStringLiteral("startexposure.wav")),
                    false);
            w_.ctlCountDown1->setCountdowntime(lExposureSeconds);
            w_.ctlCountDown1->setCountDownReason(QStringLiteral("Exposure Time"));
            w_.ctlCountDown1->StartCoundown();
        }
        timed = true;
        // The shutter closes in this timer's own handler, counted from the press.
        const qint64 spent = platform::clock().monotonicMs() - openedAtMs_;
        arm(qint64(lExposureSeconds) * 1000 - spent, [this] {
            w_.ctlCountDown1->StopCountdown();
            log(QStringLiteral("----Wait End Time:") + nowText());
            exposureEnded();
        });
    });
    if (!timed) exposureEnded();
}

void ExposureRun::exposureEnded() {
    log(QStringLiteral("Actual End Time:") + nowText());
    releaseshutter();
    if (manual_) return finish();
    Waitfordownload();
}

// ---- Download wait ----------------------------------------------------------------

void ExposureRun::Waitfordownload() {
    phase_ = Phase::DownloadWait;
    bool waiting = false;
    trapAndTrace(QStringLiteral("Waitfordownload"), [&] {
        log(QStringLiteral("Waiting for download Started"));
        pumpOnce();
        if (!(link().connected() && link().PicPc())) return;
        lDownloadTimeout = Conv::toInt32(Conv::roundHalfEven(w_.getExpTime()) + 8.0);
        dtDownloadStart = platform::clock().now();
        waiting = true;
    });
    if (!waiting) return downloadDone();
    wake_->setInterval(kDownloadWakeMs);
    downloadCheck();
}

void ExposureRun::downloadCheck() {
    if (phase_ != Phase::DownloadWait) {
        wake_->setInterval(0);
        return;
    }
    bool leave = true;
    trapAndTrace(QStringLiteral("Waitfordownload"), [&] {
        leave = timexceded() || !state().bWaitingForDownload || w_.bStopRequested ||
                platform::shuttingDown();
        if (!leave) {
            setStatus(QStringLiteral("Waiting for Image download"));
            statusTouched_ = true;
        }
    });
    if (!leave) return;
    wake_->setInterval(0);
    setStatus(QString());
    downloadDone();
}

bool ExposureRun::timexceded() {
    bool exceeded = false;
    trapAndTrace(QStringLiteral("timexceded"), [&] {
        const QDateTime now = platform::clock().now();
        // Second boundaries passed, not elapsed milliseconds.
        const qint64 boundaries = now.toSecsSinceEpoch() - dtDownloadStart.toSecsSinceEpoch();
        if (boundaries > lDownloadTimeout) {
            log(QStringLiteral("Time exceded: Start Time:") + stampText(dtDownloadStart) +
                QStringLiteral(" Curr Time:") + stampText(now));
            exceeded = true;
        }
    });
    return exceeded;
}

void ExposureRun::downloadDone() {
    if (!longRun_) setCursorBusy(false);
    w_.updateInformation();
    CountDownTimeBetween();
}

bool ExposureRun::IsLastExposureOfSequence() const {
    return state().bLastSequenceStep && w_.iCurrentExposure == w_.iExposureCount;
}

void ExposureRun::CountDownTimeBetween() {
    phase_ = Phase::Between;
    if (w_.bStopRequested || platform::shuttingDown()) return frameEnded();
    bool counting = false;
    trapAndTrace(QStringLiteral("CountDownTimeBetween"), [&] {
        // txtLeadinTime is the time between exposures, whatever its name says.
        const QString text = w_.txtLeadinTime->text();
        log(QStringLiteral("Counting down Time Between:") + text);
        const std::int16_t between = Conv::parseInt16(text);
        const bool moreFrames = w_.iCurrentExposure < w_.iExposureCount && w_.iExposureCount > 1;
        const bool sequenceGoesOn = state().bSequenceRunning && !IsLastExposureOfSequence();
        if (between > 0 && (moreFrames || sequenceGoesOn)) {
            counting = true;
            countdown(QStringLiteral("Time Between Exposures"), between, [this] { frameEnded(); });
        }
    });
    if (!counting) frameEnded();
}

void ExposureRun::frameEnded() {
    if (w_.bStopRequested || platform::shuttingDown()) return endRun();
    const std::int32_t k = w_.iCurrentExposure;
    const bool ok = trapAndTrace(
        longRun_ ? QStringLiteral("DoExposure") : QStringLiteral("DoShortExposure"), [&] {
            log((longRun_ ? QStringLiteral("** Exposure:") : QStringLiteral("** Short Exposure:")) +
                QString::number(k) + QStringLiteral(" Completed!"));
            w_.setWindowTitle(QStringLiteral("Image Capture - Exposure ") + QString::number(k) +
                              QStringLiteral(" of ") + QString::number(w_.iExposureCount));
        });
    if (!ok) return trappedInLoop();
    if (k >= w_.iExposureCount) return endRun();
    w_.iCurrentExposure = k + 1;
    frameStart();
}

// ---- Ends -------------------------------------------------------------------------

void ExposureRun::endRun() {
    guarded([&] { w_.setWindowTitle(frmCapture::kDesignCaption); });
    pumpOnce();
    if (!state().bSequenceRunning && !w_.bStopRequested) guarded([&] { w_.SoundAlarm(); });
    finish();
}

void ExposureRun::endSilent() {
    finish();
}

void ExposureRun::trappedInLoop() {
    // The run ends without the alarm, but with all its bookkeeping undone.
    guarded([&] { w_.setWindowTitle(frmCapture::kDesignCaption); });
    finish();
}

void ExposureRun::finish() {
    const bool wasManual = manual_;
    next_ = nullptr;
    ++generation_;
    wait_->setInterval(0);
    wake_->setInterval(0);
    scheduledMs_ = -1;
    phase_ = Phase::Idle;
    manual_ = false;
    if (!wasManual) {
        state().iSequenceTotal = 0;
        setCursorBusy(false);
        if (statusTouched_) setStatus(QString());
        statusTouched_ = false;
    }
    setRunControls(false);
    // A close asked for during the run is queued first, so whoever goes on
    // after `finished` finds the window closed.
    w_.runFinished();
    emit finished();
}

// ---- Stop -------------------------------------------------------------------------

void ExposureRun::cbExpStop_Click() {
    // During a run the run's own kind decides; idle, the tab showing.
    const bool longStop = (running() && !manual_) ? longRun_ : (w_.GetCurrFrame() != 1 || manual_);
    if (longStop)
        ProcessLongExpStop();
    else
        ProcessShortExpStop();
    if (platform::shuttingDown() && running()) {
        // The program is closing: nothing more is waited for.
        guarded([] { cable().ReleaseShutter(); });
        if (manual_)
            finish();
        else
            endRun();
    }
}

void ExposureRun::ProcessShortExpStop() {
    guarded([] { log(QStringLiteral("Short Exp Stop Pressed")); });
    w_.bStopRequested = true;
    guarded([&] { stopWait(); });
    guarded([&] { w_.ctlCountDown1->StopCountdown(); });
    guarded([&] {
        if (!running()) w_.cbExpStart->setEnabled(true);
    });
    guarded([&] { setCursorBusy(false); });
}

void ExposureRun::ProcessLongExpStop() {
    guarded([] { log(QStringLiteral("Automation Stop Pressed")); });
    w_.bStopRequested = true;
    guarded([&] { stopWait(); });
    guarded([&] { w_.ctlCountDown1->StopCountdown(); });
    guarded([&] {
        if (!running()) w_.cbExpStart->setEnabled(true);
    });
    guarded([&] { releaseshutter(); });
    guarded([&] { w_.ctlCountDown1->StopCountdown(); });
    w_.bStopRequested = true;
}

// ---- Manual shutter and the sequencer -------------------------------------------

void ExposureRun::cbPressShutter_Click() {
    if (running() || state().bSequenceRunning) {
        log(QStringLiteral("Shutter press refused: a run is in progress"));
        return;
    }
    trapAndTrace(QStringLiteral("cbPressShutter_Click"), [&] {
        log(QStringLiteral("Shutter Manually Pressed"));
        cable().ClearDataPort();
        releaseshutter();
        manual_ = true;
        w_.bStopRequested = false;
        phase_ = Phase::Manual;
        pressShutter([this] { finish(); });
    });
    if (manual_ && phase_ == Phase::Manual && !next_) finish();
}

void ExposureRun::cbReleaseShutter_Click() {
    if (running() || state().bSequenceRunning) {
        log(QStringLiteral("Shutter release refused: a run is in progress"));
        return;
    }
    trapAndTrace(QStringLiteral("cbReleaseShutter_Click"), [&] {
        log(QStringLiteral("Shutter Manually Released"));
        releaseshutter();
    });
}

void ExposureRun::cbAutomate_Click() {
    trapAndTrace(QStringLiteral("cbAutomate_Click"), [] { windows().show(Win::frmAutomate); });
}

}  // namespace zelmora::capture

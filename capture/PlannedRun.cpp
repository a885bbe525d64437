#include "capture/PlannedRun.h"

#include <QLabel>
#include <QPointer>

#include "capture/CameraLink.h"
#include "capture/CaptureRules.h"
#include "capture/ctlCountDown.h"
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

PlannedRun::PlannedRun(RunDisplay& display, QObject* parent) : QObject(parent), display_(display) {
    wait_ = new platform::Timer(this);
    wait_->setInterval(0);
    connect(wait_, &platform::Timer::timeout, this, [this] { fire(generation_); });
    wake_ = new platform::Timer(this);
    wake_->setInterval(0);
    connect(wake_, &platform::Timer::timeout, this, [this] { downloadCheck(); });
}

PlannedRun::~PlannedRun() {
    // A window closed mid-exposure or after a manual press never leaves the
    // shutter held; letting go lets no events run, and names nothing.
    frameOpen_ = false;
    letGo();
}

// ---- Timing --------------------------------------------------------------------

void PlannedRun::arm(qint64 ms, std::function<void()> next) {
    // A stop that landed before the wait was set up (in a pump, inside the
    // press) ends the wait at once, as it would have ended a running one.
    if (stopping()) ms = 0;
    next_ = std::move(next);
    const quint64 gen = ++generation_;
    scheduledMs_ = static_cast<int>(std::max<qint64>(ms, 0));
    if (ms > 0) {
        wait_->setInterval(scheduledMs_);
    } else {
        // Events run before the next step all the same.
        platform::handToTheLoop();
        wait_->setInterval(0);
        QMetaObject::invokeMethod(
            this, [this, gen] { fire(gen); }, Qt::QueuedConnection);
    }
}

void PlannedRun::fire(quint64 generation) {
    if (generation != generation_ || !next_) return;
    wait_->setInterval(0);
    scheduledMs_ = -1;
    auto next = std::move(next_);
    next_ = nullptr;
    next();
}

void PlannedRun::stopWait() {
    // Like StopTimer on a wait in progress: the wait ends now and its step goes on.
    if (!next_) return;
    wait_->setInterval(0);
    const quint64 gen = ++generation_;
    QMetaObject::invokeMethod(
        this, [this, gen] { fire(gen); }, Qt::QueuedConnection);
}

void PlannedRun::countdown(const QString& reason, std::int32_t seconds,
                           std::function<void()> after) {
    const std::int32_t s = display_.startCountdown(reason, seconds);
    log(QStringLiteral("----Wait Start Time:") + nowText());
    arm(qint64(s) * 1000, [this, after = std::move(after)] {
        display_.stopCountdown();
        log(QStringLiteral("----Wait End Time:") + nowText());
        after();
    });
}

void PlannedRun::setStatus(const QString& text) {
    if (IMainWindow* m = mainWindow())
        if (QLabel* p = m->statusPanel(1)) p->setText(text);
}

bool PlannedRun::stopping() const {
    return stopRequested_ || platform::shuttingDown();
}

bool PlannedRun::survives(const std::function<void()>& work) {
    QPointer<PlannedRun> self(this);
    const quint64 run = runId_;
    work();
    return self && runId_ == run && phase_ != Phase::Idle;
}

bool PlannedRun::pump() {
    return survives([] { platform::passEvents(); });
}

// ---- Start --------------------------------------------------------------------

bool PlannedRun::start(const RunPlan& plan) {
    if (running()) {
        log(QStringLiteral("Start refused: a run is in progress"));
        return false;
    }
    plan_ = plan;
    manual_ = false;
    statusTouched_ = false;
    frame_ = 0;
    frames_ = 0;
    taken_ = 0;
    missed_ = 0;
    lastNotice_.clear();
    download_.reset();
    owed_.reset();
    pressNotice_ = false;
    raisedWaiting_ = false;
    phase_ = Phase::LeadIn;
    display_.runControls(true, plan_.longRun);
    stopRequested_ = false;
    const QString step =
        plan_.longRun ? QStringLiteral("StartExposure") : QStringLiteral("startShortExposure");
    trapAndTrace(step, [&] {
        if (!plan_.savePath.isEmpty()) link().setSavePath(plan_.savePath);
    });
    if (!survives([&] { trapAndTrace(step, [&] { display_.clearInformation(); }); })) return true;
    // CountDownDelayTime: the lead-in.
    bool counting = false;
    trapAndTrace(QStringLiteral("CountDownDelayTime"), [&] {
        const QString text = plan_.leadIn;
        log(QStringLiteral("Counting down Leadin:") + text);
        display_.setCountdownReason(QStringLiteral("Leadin In"));
        const QString trimmed = text.trimmed();
        if (trimmed != QStringLiteral("0") && Conv::isNumeric(trimmed)) {
            const std::int16_t seconds = Conv::parseInt16(trimmed);
            counting = true;
            countdown(QStringLiteral("Leadin In"), seconds, [this] { afterLeadIn(); });
        }
    });
    if (!counting) afterLeadIn();
    return true;
}

void PlannedRun::afterLeadIn() {
    if (stopping()) return finish();
    bool go = false;
    trapAndTrace(
        plan_.longRun ? QStringLiteral("StartExposure") : QStringLiteral("startShortExposure"),
        [&] {
            frames_ = Conv::parseInt16(plan_.exposureCount);
            if (frames_ < 1) return;
            display_.setProgressRange(frames_);
            stopRequested_ = false;
            go = true;
        });
    if (!go) return finish();
    state().iSequenceTotal = frames_;
    frame_ = 1;
    frameStart();
}

// ---- Frames ---------------------------------------------------------------------

void PlannedRun::frameStart() {
    const std::int32_t k = frame_;
    const QString proc =
        plan_.longRun ? QStringLiteral("DoExposure") : QStringLiteral("DoShortExposure");
    bool go = false;
    const bool ok = trapAndTrace(proc, [&] {
        state().iSequenceFrame = k;
        log(QString(41, u'-'));
        if (!plan_.longRun) {
            log(QStringLiteral("***** Starting Short Exposure:") + QString::number(k));
            if (stopping()) return;
            link().setFileName(plan_.fileStem + QString::number(k));
            display_.setBusy(true);
            state().bWaitingForDownload = true;
            raisedWaiting_ = true;
            link().setWaitingForDownload(true);
            go = true;
            return;
        }
        log(QStringLiteral("***** Starting Exposure:") + QString::number(k) +
            QStringLiteral(" of ") + QString::number(frames_));
        if (link().connected()) {
            link().setFileName(plan_.fileStem + QString::number(k));
            state().bWaitingForDownload = true;
            raisedWaiting_ = true;
            link().setWaitingForDownload(true);
            // The cable takes this frame: the camera's next download is its picture.
            link().awaitFrame(downloadHandler());
        }
        go = true;
    });
    if (!ok) return trappedInLoop();
    if (!go) return endRun();  // a short run stopped before its release
    download_.reset();
    if (plan_.longRun) {
        if (link().connected() && !pump()) return;
        return pressShutter([this] { CountDownExposure(); });
    }
    // A stop that came while the frame was named fires nothing.
    if (stopping()) return endRun();
    // The camera window takes the frame, or says why it does not.
    ReleaseOutcome outcome;
    bool trapped = false;
    if (!survives([&] {
            trapped = !trapAndTrace(
                proc, [&] { outcome = link().releaseFrame(downloadHandler(), frameWanted()); });
        }))
        return;
    if (trapped) return trappedInLoop();
    if (outcome.released()) return Waitfordownload();
    // Nothing will come of this frame: no wait for it.
    clearWaiting();
    // Stopped while the camera window made ready: nothing was fired, and the
    // run ends as a stop before the release does.
    if (outcome.status == ReleaseOutcome::Status::Withdrawn) return endRun();
    frameMissing(QStringLiteral("not taken: ") +
                 (outcome.why.isEmpty() ? QStringLiteral("refused") : outcome.why));
    downloadDone();
}

FrameDownloadHandler PlannedRun::downloadHandler() {
    const QPointer<PlannedRun> self(this);
    const quint64 run = runId_;
    const std::int32_t k = frame_;
    return [self, run, k](const FrameDownload& download) {
        // Heard inside the camera window's download handler: noted now, acted
        // on once that has returned.
        if (!self) return;
        if (self->owesPicture(run, k)) {
            QMetaObject::invokeMethod(
                self,
                [self, run, k, download] {
                    if (self) self->latePicture(run, k, download);
                },
                Qt::QueuedConnection);
            return;
        }
        // A late picture of an earlier frame or run is not this frame's.
        if (self->runId_ != run || self->frame_ != k) return;
        self->download_ = download;
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self) self->downloadCheck();
            },
            Qt::QueuedConnection);
    };
}

FrameWanted PlannedRun::frameWanted() {
    const QPointer<PlannedRun> self(this);
    const quint64 run = runId_;
    return [self, run] { return self && self->runId_ == run && !self->stopping(); };
}

void PlannedRun::latePicture(quint64 run, std::int32_t k, const FrameDownload& download) {
    // A run started since has the camera now.
    if (!owesPicture(run, k)) return;
    owed_.reset();
    if (!download.downloaded()) return;
    ++taken_;
    log(QStringLiteral("Frame ") + QString::number(k) +
        QStringLiteral(" downloaded after the stop"));
    guarded([&] { display_.updateInformation(frame_, frames_, taken_); });
}

void PlannedRun::frameMissing(const QString& what) {
    const QString notice = QStringLiteral("Frame ") + QString::number(frame_) + u' ' + what;
    ++missed_;
    log(notice);
    lastNotice_ = notice;
    display_.frameNotice(notice);
}

void PlannedRun::clearWaiting() {
    state().bWaitingForDownload = false;
    if (raisedWaiting_) guarded([] { link().setWaitingForDownload(false); });
    raisedWaiting_ = false;
}

void PlannedRun::pressThen(const std::function<void()>& closed, bool opensFrame) {
    // A stop handled in any wait before this (the frame's own pass, a release
    // that let events run, the lock-up) leaves nothing to press: a press now
    // would be one of no length, which a camera may take as a frame.
    if (stopping()) {
        if (manual_) return finish();
        return endRun();
    }
    // Held from the moment it is asked for: a press that fails half-way is let go too.
    shutterHeld_ = true;
    if (opensFrame) {
        frameOpen_ = true;
        manualFrame_ = manual_;
        openedAtMs_ = platform::clock().monotonicMs();
    }
    QString why;
    bool pressed = false;
    // The press may let events run (the parallel port's message pass): a run
    // ended meanwhile goes no further.
    if (!survives([&] {
            pressed = trapAndTrace(QStringLiteral("pressShutter"), [&] {
                try {
                    cable().PressShutter();
                } catch (...) {
                    why = currentError().description();
                    throw;
                }
            });
        }))
        return;
    if (!pressed) {
        frameOpen_ = false;
        letGo();
        return pressFailed(why);
    }
    // The contact closed: a notice that the last press by hand did not is over.
    if (manual_ && pressNotice_) {
        pressNotice_ = false;
        display_.frameNotice({});
    }
    closed();
}

void PlannedRun::pressFailed(const QString& why) {
    // No contact closed: nothing was exposed, and the run (or the manual
    // press) ends here, saying so.
    if (manual_) {
        pressNotice_ = true;
        display_.frameNotice(QStringLiteral("Shutter not pressed: ") + why);
        return finish();
    }
    frameMissing(QStringLiteral("not taken: ") + why);
    display_.updateInformation(frame_, frames_, taken_);
    endRun();
}

void PlannedRun::pressShutter(std::function<void()> opened) {
    const auto open = [this, opened] { pressThen(opened, true); };
    if (!plan_.mirrorLock) return open();
    log(QStringLiteral("Locking Up Mirror"));
    pressThen([this, open] { lockMirror(open); });
}

void PlannedRun::lockMirror(const std::function<void()>& open) {
    phase_ = manual_ ? Phase::Manual : Phase::MirrorUp;
    const QString delayText = plan_.mirrorLockDelay;
    log(QStringLiteral("Counting down Mirror Lock:") + delayText);
    std::int16_t delay = 0;
    trapAndTrace(QStringLiteral("CountDownMirrorLock"),
                 [&] { delay = Conv::parseInt16(delayText); });
    const bool timed = delay > 0;
    // A stop during the lock-up or the pause never opens the shutter: the
    // press that opens it refuses once a stop has been asked for.
    auto afterLock = [this, timed, open] {
        shutterHeld_ = false;
        if (!survives([] { guarded([] { cable().ReleaseShutter(); }); })) return;
        log(QStringLiteral("Mirror Locked"));
        if (stopping()) return open();
        phase_ = manual_ ? Phase::Manual : Phase::MirrorPause;
        log(QStringLiteral("Pausing after Mirror Lock:") + QStringLiteral("1"));
        if (!timed) return open();
        countdown(QStringLiteral("Mirror Lock Pause"), 1, open);
    };
    if (!timed) return afterLock();
    countdown(QStringLiteral("Mirror Lock"), delay, afterLock);
}

void PlannedRun::releaseshutter(bool atOnce) {
    shutterHeld_ = false;
    if (frameOpen_) guarded([&] { frameClosing(); });
    if (atOnce)
        cable().releaseAtOnce();
    else
        cable().ReleaseShutter();
}

void PlannedRun::frameClosing() {
    frameOpen_ = false;
    const qint64 openMs = platform::clock().monotonicMs() - openedAtMs_;
    const std::int32_t open = Conv::toInt32(Conv::roundHalfEven(double(openMs) / 1000.0));
    // A frame pressed by hand lasts as long as the press: a frame of its own,
    // the first, whatever the last run named.
    if (manualFrame_) {
        if (plan_.namesManualFrame) nameTimedFrame(open, 1);
        return;
    }
    const std::int32_t planned = Conv::toInt32(Conv::roundHalfEven(plan_.exposureSeconds));
    if (double(openMs) >= plan_.exposureSeconds * 1000.0) return;
    // Ended in its last half second the frame still keeps the plan's seconds
    // in its name; the notice gives the tenths that tell it was cut short.
    const QString openText =
        open < planned ? QString::number(open)
                       : Conv::numberText(Conv::roundHalfEven(double(openMs) / 100.0) / 10.0);
    const QString notice = QStringLiteral("Frame ") + QString::number(frame_) +
                           QStringLiteral(" cut short: the shutter was open ") + openText +
                           QStringLiteral(" s of ") + QString::number(planned) +
                           QStringLiteral(" s");
    log(notice);
    lastNotice_ = notice;
    display_.frameNotice(notice);
    nameTimedFrame(open, frame_);
}

void PlannedRun::nameTimedFrame(std::int32_t seconds, std::int32_t k) {
    // Before the cable lets go: the picture is named when it comes. Only a
    // connected camera takes a name (and the camera window is not brought back for it).
    if (plan_.timedStem && link().connected())
        link().setFileName(rules::fileStem(plan_.stemPrefix, true, seconds, plan_.stemIso) +
                           QString::number(k));
}

void PlannedRun::letGo() {
    if (!shutterHeld_) return;
    shutterHeld_ = false;
    // A frame pressed by hand is named as at its release (the window closing).
    if (frameOpen_ && manualFrame_) guarded([&] { frameClosing(); });
    // Also from the destructor: the line is dropped without a pass of the
    // loop, and nothing of the window is touched.
    frameOpen_ = false;
    guarded([] { log(QStringLiteral("Shutter let go")); });
    guarded([] { cable().releaseAtOnce(); });
}

void PlannedRun::CountDownExposure() {
    phase_ = Phase::Exposing;
    bool timed = false;
    trapAndTrace(QStringLiteral("CountDownExposure"), [&] {
        log(QStringLiteral("--Countdown Started--"));
        lExposureSeconds = Conv::toInt32(Conv::roundHalfEven(plan_.exposureSeconds));
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
            display_.startCountdown(QStringLiteral("Exposure Time"), lExposureSeconds);
        }
        timed = true;
        // The shutter closes in this timer's own handler, counted from the press.
        const qint64 spent = platform::clock().monotonicMs() - openedAtMs_;
        arm(qint64(lExposureSeconds) * 1000 - spent, [this] {
            display_.stopCountdown();
            log(QStringLiteral("----Wait End Time:") + nowText());
            exposureEnded();
        });
    });
    if (!timed) exposureEnded();
}

void PlannedRun::exposureEnded() {
    log(QStringLiteral("Actual End Time:") + nowText());
    // The release may let events run too.
    if (!survives([&] { guarded([&] { releaseshutter(); }); })) return;
    if (manual_) return finish();
    if (!pump()) return;
    Waitfordownload();
}

// ---- Download wait ----------------------------------------------------------------

void PlannedRun::Waitfordownload() {
    phase_ = Phase::DownloadWait;
    log(QStringLiteral("Waiting for download Started"));
    if (!pump()) return;
    bool waiting = false;
    trapAndTrace(QStringLiteral("Waitfordownload"), [&] {
        if (!(link().connected() && plan_.picturesToPc)) return;
        lDownloadTimeout = Conv::toInt32(Conv::roundHalfEven(plan_.exposureSeconds) + 8.0);
        dtDownloadStart = platform::clock().now();
        waiting = true;
    });
    if (!waiting) {
        // Nothing to wait for: the frame is on the card, or taken by the cable
        // alone; it was exposed, ended by a stop or not.
        ++taken_;
        return downloadDone();
    }
    wake_->setInterval(kDownloadWakeMs);
    downloadCheck();
}

void PlannedRun::downloadCheck() {
    if (phase_ != Phase::DownloadWait) {
        wake_->setInterval(0);
        return;
    }
    bool leave = true;
    bool timedOut = false;
    trapAndTrace(QStringLiteral("Waitfordownload"), [&] {
        if (download_ || stopping()) return;
        timedOut = timexceded();
        leave = timedOut;
        if (!leave) {
            setStatus(QStringLiteral("Waiting for Image download"));
            statusTouched_ = true;
        }
    });
    if (!leave) return;
    wake_->setInterval(0);
    setStatus(QString());
    // Stopped before its picture came: the camera still sends it.
    if (!download_ && !timedOut) owed_ = OwedPicture{runId_, frame_};
    if (download_ && download_->downloaded()) {
        ++taken_;
    } else if (download_ || timedOut) {
        // No picture will come: the camera said the frame came to nothing, or
        // its time is up.
        clearWaiting();
        frameMissing(QStringLiteral("not downloaded: ") +
                     (download_ ? download_->failure
                                : QStringLiteral("no picture within ") +
                                      QString::number(lDownloadTimeout) + QStringLiteral(" s")));
    }
    downloadDone();
}

bool PlannedRun::timexceded() {
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

void PlannedRun::downloadDone() {
    download_.reset();
    if (!plan_.longRun) display_.setBusy(false);
    display_.updateInformation(frame_, frames_, taken_);
    CountDownTimeBetween();
}

bool PlannedRun::IsLastExposureOfSequence() const {
    return plan_.lastSequenceStep && frame_ == frames_;
}

void PlannedRun::CountDownTimeBetween() {
    phase_ = Phase::Between;
    if (stopping()) return frameEnded();
    bool counting = false;
    trapAndTrace(QStringLiteral("CountDownTimeBetween"), [&] {
        const QString text = plan_.between;
        log(QStringLiteral("Counting down Time Between:") + text);
        const std::int16_t between = Conv::parseInt16(text);
        const bool moreFrames = frame_ < frames_ && frames_ > 1;
        const bool sequenceGoesOn = plan_.inSequence && !IsLastExposureOfSequence();
        if (between > 0 && (moreFrames || sequenceGoesOn)) {
            counting = true;
            countdown(QStringLiteral("Time Between Exposures"), between, [this] { frameEnded(); });
        }
    });
    if (!counting) frameEnded();
}

void PlannedRun::frameEnded() {
    if (stopping()) return endRun();
    const std::int32_t k = frame_;
    const bool ok = trapAndTrace(
        plan_.longRun ? QStringLiteral("DoExposure") : QStringLiteral("DoShortExposure"), [&] {
            log((plan_.longRun ? QStringLiteral("** Exposure:")
                               : QStringLiteral("** Short Exposure:")) +
                QString::number(k) + QStringLiteral(" Completed!"));
            display_.setCaption(QStringLiteral("Image Capture - Exposure ") + QString::number(k) +
                                QStringLiteral(" of ") + QString::number(frames_));
        });
    if (!ok) return trappedInLoop();
    if (k >= frames_) return endRun();
    frame_ = k + 1;
    frameStart();
}

// ---- Ends -------------------------------------------------------------------------

void PlannedRun::endRun() {
    guarded([&] { display_.setCaption({}); });
    if (!pump()) return;
    // A run that ended by itself says how many of its frames are missing, and
    // sounds its alarm only when none is.
    const std::int32_t missing = frames_ - taken_;
    if (!stopRequested_) missed_ = missing;
    if (!stopRequested_ && missing > 0) {
        const QString summary = missingText(missing, frames_) + u' ' + lastNotice_;
        log(summary);
        guarded([&] { display_.frameNotice(summary); });
    }
    if (!plan_.inSequence && !stopRequested_ && missing == 0)
        guarded([&] { display_.soundAlarm(); });
    finish();
}

QString PlannedRun::missingText(std::int32_t missing, std::int32_t frames) {
    return QStringLiteral("Frames missing: ") + QString::number(missing) + QStringLiteral(" of ") +
           QString::number(frames) + u'.';
}

void PlannedRun::trappedInLoop() {
    // The run ends without the alarm, but with all its bookkeeping undone.
    guarded([&] { display_.setCaption({}); });
    finish();
}

void PlannedRun::finish() {
    if (phase_ == Phase::Idle && !manual_) return;  // ended already
    const bool wasManual = manual_;
    ++runId_;
    next_ = nullptr;
    ++generation_;
    wait_->setInterval(0);
    wake_->setInterval(0);
    scheduledMs_ = -1;
    phase_ = Phase::Idle;
    manual_ = false;
    // Only a manual press keeps the shutter open past its end.
    if (!wasManual) {
        letGo();
        if (raisedWaiting_) clearWaiting();
        download_.reset();
        state().iSequenceTotal = 0;
        guarded([&] { display_.setBusy(false); });
        if (statusTouched_) setStatus(QString());
        statusTouched_ = false;
    }
    QPointer<PlannedRun> self(this);
    guarded([&] { display_.runControls(false, plan_.longRun); });
    // A close asked for during the run is queued first, so whoever goes on
    // after `finished` finds the window closed.
    guarded([&] { display_.runEnded(); });
    if (self) emit finished();
}

// ---- Stop -------------------------------------------------------------------------

void PlannedRun::stop(bool longStop) {
    if (longStop)
        guarded([] { log(QStringLiteral("Automation Stop Pressed")); });
    else
        guarded([] { log(QStringLiteral("Short Exp Stop Pressed")); });
    stopRequested_ = true;
    guarded([&] { stopWait(); });
    guarded([&] { display_.stopCountdown(); });
    if (longStop) {
        // At once: the exposure ends now, and nothing runs under the Stop.
        guarded([&] { releaseshutter(true); });
        guarded([&] { display_.stopCountdown(); });
    }
    guarded([&] { display_.setBusy(false); });
}

void PlannedRun::abort() {
    // The program is closing: nothing more is waited for.
    stopRequested_ = true;
    letGo();
    if (!running()) return;
    // No pump and no alarm: the windows are closing around the run.
    if (!manual_) guarded([&] { display_.setCaption({}); });
    finish();
}

// ---- Manual shutter ---------------------------------------------------------------

void PlannedRun::pressManual(const RunPlan& plan) {
    if (running()) {
        log(QStringLiteral("Shutter press refused: a run is in progress"));
        return;
    }
    plan_ = plan;
    manual_ = true;
    stopRequested_ = false;
    phase_ = Phase::Manual;
    bool ok = trapAndTrace(QStringLiteral("cbPressShutter_Click"), [&] {
        log(QStringLiteral("Shutter Manually Pressed"));
        cable().ClearDataPort();
    });
    // Letting go first may let events run (the serial cable's pass): a Stop,
    // a close or the program's end handled there leaves nothing to press.
    if (ok && !survives([&] {
            ok = trapAndTrace(QStringLiteral("cbPressShutter_Click"), [&] { releaseshutter(); });
        }))
        return;
    if (!ok) return finish();
    // A frame of the camera's shutter speed is taken at the press: named now.
    if (plan_.namesManualFrame && !plan_.timedStem)
        guarded([&] {
            if (link().connected()) link().setFileName(plan_.fileStem + QStringLiteral("1"));
        });
    pressShutter([this] { finish(); });
}

void PlannedRun::releaseManual() {
    if (running()) {
        log(QStringLiteral("Shutter release refused: a run is in progress"));
        return;
    }
    trapAndTrace(QStringLiteral("cbReleaseShutter_Click"), [&] {
        log(QStringLiteral("Shutter Manually Released"));
        releaseshutter();
    });
}

}  // namespace zelmora::capture

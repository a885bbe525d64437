#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "shell/Neighbours.h"

namespace zelmora::platform {
class Timer;
}

namespace zelmora::capture {

// Everything a run needs from the window, copied when it starts. The window's
// boxes are the editor of the next run: a change made while a run goes on
// changes nothing in it.
struct RunPlan {
    bool longRun = false;
    QString exposureCount = QStringLiteral("1");  // as typed; converted after the lead-in
    QString leadIn = QStringLiteral("0");         // lead-in seconds, as typed
    QString between = QStringLiteral("0");        // seconds between exposures, as typed
    bool mirrorLock = false;
    QString mirrorLockDelay = QStringLiteral("0");
    // A long run's exposure, or the camera's shutter speed of a short run (for
    // the download time-out).
    double exposureSeconds = 0;
    QString fileStem;               // each frame's name is the stem and its number
    QString savePath;               // "" leaves the control's folder as it is
    bool picturesToPc = false;      // the camera sends each picture here: wait for it
    bool inSequence = false;        // the run is one step of a sequence
    bool lastSequenceStep = false;  // ... its last step
    // When the stem tells the exposure's seconds (a long run's, with the
    // camera's ISO), these make it again for a frame cut short, named after
    // the seconds its shutter was open.
    bool timedStem = false;
    QString stemPrefix;  // the prefix box, as typed
    QString stemIso;     // the camera's ISO text
    // The manual press names its frame as a run names its first: fileStem
    // (with the seconds of the camera's shutter speed), or, when timedStem,
    // after the seconds the shutter was held open. Only a connected camera
    // takes a name.
    bool namesManualFrame = false;
};

// What a run shows on its window. Every member may be left as it is.
class RunDisplay {
public:
    virtual ~RunDisplay() = default;
    virtual void setCountdownReason(const QString& reason) { (void)reason; }
    // Shows a countdown; returns the seconds it shows, which are then waited.
    virtual std::int32_t startCountdown(const QString& reason, std::int32_t seconds) {
        (void)reason;
        return seconds;
    }
    virtual void stopCountdown() {}
    virtual void clearInformation() {}
    virtual void setProgressRange(std::int32_t frames) { (void)frames; }
    // After each frame: the frame just done, the run's frames, and how many of
    // them were taken (a frame whose picture did not come is not). Again when
    // the picture of a frame whose wait a stop ended comes, even after the end.
    virtual void updateInformation(std::int32_t frame, std::int32_t frames, std::int32_t taken) {
        (void)frame;
        (void)frames;
        (void)taken;
    }
    // "" puts the window's own caption back.
    virtual void setCaption(const QString& caption) { (void)caption; }
    virtual void soundAlarm() {}
    virtual void runControls(bool active, bool longRun) {
        (void)active;
        (void)longRun;
    }
    virtual void setBusy(bool busy) { (void)busy; }
    // A frame the camera did not take, or a picture that did not come: why;
    // at the end of a run that missed frames, how many.
    virtual void frameNotice(const QString& why) { (void)why; }
    // Called at the end of every run, before `finished`.
    virtual void runEnded() {}
};

// The exposure runs: N short exposures fired through the camera, or N bulb
// exposures timed here and opened and closed through the shutter cable. A
// state machine on the program clock: each timed phase is one single-shot
// precise timer whose handler does the phase's closing work itself, so the end
// of a bulb exposure lets go of the cable in that handler and nothing nested (a
// message box, a redraw) can lengthen it. Start returns at once; `finished` is
// emitted when a run ends.
//
// The run reads only its plan. Whatever may process events (the display, the
// camera's release, a pump) can end the run or delete its owner; every such
// call is followed by a check before the run goes on.
class PlannedRun : public QObject {
    Q_OBJECT
public:
    enum class Phase {
        Idle,
        LeadIn,
        MirrorUp,
        MirrorPause,
        Exposing,
        DownloadWait,
        Between,
        Manual,  // the manual press with mirror lock-up in progress
    };

    explicit PlannedRun(RunDisplay& display, QObject* parent = nullptr);
    ~PlannedRun() override;

    // Starts a run of the plan; false (and traced) while a run is in progress.
    bool start(const RunPlan& plan);
    // Stop: the wait in progress ends now; a long stop lets go of the cable.
    void stop(bool longStop);
    // Marks the stop only: the run ends at its next stop test.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // The program is closing: nothing more is waited for, the cable is let go.
    void abort();

    // The manual buttons.
    void pressManual(const RunPlan& plan);
    void releaseManual();
    // Lets go of the cable when this run holds it pressed (manually or mid-run).
    void letGo();
    bool shutterHeld() const { return shutterHeld_; }

    bool running() const { return phase_ != Phase::Idle; }
    bool manual() const { return manual_; }
    bool longRun() const { return plan_.longRun; }
    Phase phase() const { return phase_; }
    // The length of the timed phase in progress, in ms (-1 when none is timed).
    int scheduledMs() const { return scheduledMs_; }
    std::int32_t frame() const { return frame_; }
    std::int32_t frames() const { return frames_; }
    std::int32_t taken() const { return taken_; }
    // The frames this run is missing: every frame it did not take when it
    // ended by itself, the frames it named as not taken when it was stopped.
    std::int32_t missed() const { return missed_; }
    // "Frames missing: N of M.", as the end of a run or a sequence says it.
    static QString missingText(std::int32_t missing, std::int32_t frames);

    std::int32_t lExposureSeconds = 0;
    std::int32_t lDownloadTimeout = 0;
    QDateTime dtDownloadStart;

signals:
    void finished();

private:
    void afterLeadIn();
    void frameStart();
    void pressShutter(std::function<void()> opened);
    void lockMirror(const std::function<void()>& open);
    // Closes the contact, then goes on with `closed`; a press that closes no
    // contact ends the run (pressFailed), saying why. Nothing is pressed once
    // a stop has been asked for: the run (or the manual press) ends instead.
    // opensFrame: this press opens a frame's exposure (not the mirror's lift).
    void pressThen(const std::function<void()>& closed, bool opensFrame = false);
    void pressFailed(const QString& why);
    // atOnce: without a pass of the event loop (a Stop, the ways out).
    void releaseshutter(bool atOnce = false);
    // The frame's shutter is about to close: a frame cut short before its
    // time, and a frame pressed by hand, is named after the seconds it was
    // open; a cut-short one says so.
    void frameClosing();
    // Names the frame for a connected camera: the plan's stem with `seconds`, then k.
    void nameTimedFrame(std::int32_t seconds, std::int32_t k);
    void CountDownExposure();
    void exposureEnded();
    void Waitfordownload();
    void downloadCheck();
    bool timexceded();
    void downloadDone();
    // Whoever takes the frame reports its download here, once.
    FrameDownloadHandler downloadHandler();
    // A frame whose download wait a stop ended still has its picture to come:
    // it is counted when it comes, also after the run has ended.
    bool owesPicture(quint64 run, std::int32_t k) const {
        return owed_ && owed_->run == run && owed_->frame == k;
    }
    void latePicture(quint64 run, std::int32_t k, const FrameDownload& download);
    // Whether this run still wants the frame it asked for: not stopped, not ended.
    FrameWanted frameWanted();
    // The frame in progress was not taken: "Frame k " and what, in the trace
    // and on the window.
    void frameMissing(const QString& what);
    void clearWaiting();
    void CountDownTimeBetween();
    void frameEnded();
    bool IsLastExposureOfSequence() const;
    void endRun();
    void trappedInLoop();
    void finish();
    bool stopping() const;
    // Runs work that may process events; true when this same run is still on
    // afterwards (the owner not deleted, the run not ended meanwhile).
    bool survives(const std::function<void()>& work);
    bool pump();

    void countdown(const QString& reason, std::int32_t seconds, std::function<void()> after);
    void arm(qint64 ms, std::function<void()> next);
    void fire(quint64 generation);
    void stopWait();
    void setStatus(const QString& text);

    RunDisplay& display_;
    RunPlan plan_;
    Phase phase_ = Phase::Idle;
    bool manual_ = false;
    bool stopRequested_ = false;
    bool statusTouched_ = false;
    bool shutterHeld_ = false;
    bool frameOpen_ = false;    // a frame's exposure is open (since openedAtMs_)
    bool manualFrame_ = false;  // ... pressed by hand
    bool pressNotice_ = false;  // a manual press that failed says so on the window
    std::int32_t frame_ = 0;
    std::int32_t frames_ = 0;
    std::int32_t taken_ = 0;
    std::int32_t missed_ = 0;
    QString lastNotice_;
    std::optional<FrameDownload> download_;  // the frame's download, once heard of
    struct OwedPicture {
        quint64 run;
        std::int32_t frame;
    };
    std::optional<OwedPicture> owed_;
    bool raisedWaiting_ = false;  // this run set the waiting flags
    quint64 runId_ = 0;
    platform::Timer* wait_ = nullptr;
    platform::Timer* wake_ = nullptr;
    std::function<void()> next_;
    quint64 generation_ = 0;
    int scheduledMs_ = -1;
    qint64 openedAtMs_ = 0;
};

}  // namespace zelmora::capture

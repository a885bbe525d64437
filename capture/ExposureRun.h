#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>

#include "capture/CaptureRunEngine.h"

namespace zelmora::platform {
class Timer;
}

namespace zelmora::capture {

class frmCapture;

// The exposure runs behind the capture window's Start and Stop: N short
// exposures fired through the camera, or N bulb exposures timed here and
// opened and closed through the shutter cable. A state machine on the program
// clock: each timed phase is one single-shot precise timer whose handler does
// the phase's closing work itself, so the end of a bulb exposure lets go of the
// cable in that handler and nothing nested (a message box, a redraw) can
// lengthen it. Start returns at once; `finished` is emitted when a run ends.
class ExposureRun : public QObject, public CaptureRunEngine {
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

    explicit ExposureRun(frmCapture& window);
    ~ExposureRun() override;

    // The window's buttons.
    void cbExpStart_Click() override;
    void cbExpStop_Click() override;
    void cbAutomate_Click() override;
    void cbPressShutter_Click() override;
    void cbReleaseShutter_Click() override;
    bool running() const override { return phase_ != Phase::Idle; }

    // The sequencer's start and stop: Start without the refusal that keeps the
    // button out of a running sequence.
    void StartExposureAutomate();
    void StopExposureAutomate() { cbExpStop_Click(); }

    Phase phase() const { return phase_; }
    // The length of the timed phase in progress, in ms (-1 when none is timed).
    int scheduledMs() const { return scheduledMs_; }

    std::int32_t lExposureSeconds = 0;
    std::int32_t lDownloadTimeout = 0;
    QDateTime dtDownloadStart;

signals:
    void finished();

private:
    void start(bool fromSequencer);
    void ProcessShortExpStart();
    void ProcessLongExpStart();
    void prepare(bool longRun);
    void afterLeadIn();
    void frameStart();
    void pressShutter(std::function<void()> opened);
    void releaseshutter();
    void openShutter();
    void CountDownExposure();
    void exposureEnded();
    void Waitfordownload();
    void downloadCheck();
    bool timexceded();
    void downloadDone();
    void CountDownTimeBetween();
    void frameEnded();
    bool IsLastExposureOfSequence() const;
    void endRun();
    void endSilent();
    void trappedInLoop();
    void finish();
    void ProcessShortExpStop();
    void ProcessLongExpStop();

    // A countdown shown on the window and timed here; `after` runs when it
    // ends or is stopped.
    void countdown(const QString& reason, std::int32_t seconds, std::function<void()> after);
    void arm(qint64 ms, std::function<void()> next);
    void fire(quint64 generation);
    void stopWait();
    void setStatus(const QString& text);
    void setRunControls(bool runActive);
    void setCursorBusy(bool busy);

    frmCapture& w_;
    Phase phase_ = Phase::Idle;
    bool longRun_ = false;
    bool manual_ = false;
    bool statusTouched_ = false;
    platform::Timer* wait_ = nullptr;
    platform::Timer* wake_ = nullptr;
    std::function<void()> next_;
    quint64 generation_ = 0;
    int scheduledMs_ = -1;
    qint64 openedAtMs_ = 0;
};

}  // namespace zelmora::capture

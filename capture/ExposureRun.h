#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "capture/CaptureRunEngine.h"
#include "capture/PlannedRun.h"

namespace zelmora::capture {

class frmCapture;

// The capture window's Start, Stop and manual shutter buttons: the pre-run
// checks on the window, then a PlannedRun of the plan copied from the window's
// boxes, shown on the window.
class ExposureRun : public QObject, public CaptureRunEngine, private RunDisplay {
    Q_OBJECT
public:
    using Phase = PlannedRun::Phase;

    explicit ExposureRun(frmCapture& window);
    ~ExposureRun() override;

    // The window's buttons.
    void cbExpStart_Click() override;
    void cbExpStop_Click() override;
    void cbAutomate_Click() override;
    void cbPressShutter_Click() override;
    void cbReleaseShutter_Click() override;
    void requestStop() override { run_.requestStop(); }
    void letGo() override { run_.letGo(); }
    // A run in progress, or a start still in its checks.
    bool running() const override { return starting_ || run_.running(); }

    // The sequencer's start and stop: Start without the refusal that keeps the
    // button out of a running sequence.
    void StartExposureAutomate();
    void StopExposureAutomate() { cbExpStop_Click(); }

    Phase phase() const { return run_.phase(); }
    int scheduledMs() const { return run_.scheduledMs(); }
    PlannedRun& plannedRun() { return run_; }

signals:
    void finished();

private:
    void start();
    void ProcessShortExpStart();
    void ProcessLongExpStart();

    // RunDisplay: the window.
    void setCountdownReason(const QString& reason) override;
    std::int32_t startCountdown(const QString& reason, std::int32_t seconds) override;
    void stopCountdown() override;
    void clearInformation() override;
    void setProgressRange(std::int32_t frames) override;
    void updateInformation(std::int32_t frame, std::int32_t frames, std::int32_t taken) override;
    void setCaption(const QString& caption) override;
    void soundAlarm() override;
    void runControls(bool active, bool longRun) override;
    void setBusy(bool busy) override;
    void frameNotice(const QString& why) override;
    void runEnded() override;

    frmCapture& w_;
    PlannedRun run_;
    bool starting_ = false;
    bool stopWhileStarting_ = false;
};

}  // namespace zelmora::capture

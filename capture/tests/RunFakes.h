#pragma once

#include <QLabel>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "capture/tests/FakeCameraLink.h"
#include "platform/core/AppError.h"
#include "platform/time/Clock.h"
#include "shell/MainWindow.h"
#include "shell/Neighbours.h"
#include "shell/ProgramState.h"
#include "testing/TestEnv.h"

// The fakes the run and sequence tests share.
namespace zelmora::capture::testing {

inline qint64 nowMs() {
    return platform::clock().monotonicMs();
}

// Every press and release with the program clock's time.
class RecordingShutter : public ShutterCable {
public:
    void PressShutter() override {
        calls << QStringLiteral("press %1").arg(nowMs() - t0);
        if (failPress) throw AppError(5, "PressShutter", "port not open");
        if (onPress) onPress();
    }
    void ReleaseShutter() override {
        calls << QStringLiteral("release %1").arg(nowMs() - t0);
        if (onRelease) onRelease();
    }
    void ClearDataPort() override { calls << QStringLiteral("clear"); }
    QStringList calls;
    qint64 t0 = 0;
    std::function<void()> onRelease, onPress;
    bool failPress = false;
};

// A camera whose image arrives downloadMs after its release (never when < 0).
class DownloadingCamera : public FakeCameraLink {
public:
    bool ShortExposureCapture() const override { return shortExposureCapture; }
    void setISO(const QString& v) override {
        iso = v;
        calls << "setISO " + v;
    }
    void setImageQuality(const QString& q) override {
        quality = q;
        calls << "setImageQuality " + q;
    }
    void Disconnect() override {
        isConnected = false;
        calls << "Disconnect";
    }
    void doconnect() override {
        FakeCameraLink::doconnect();
        if (connectsOnAsk) isConnected = true;
    }
    bool connectsOnAsk = false;
    void Release() override {
        FakeCameraLink::Release();
        releaseTimes << nowMs();
        if (onRelease) onRelease();
        deliverLater();
    }
    // The camera window's answer: a refusal when one is set, else the release,
    // whose download is told to onDownload.
    ReleaseOutcome releaseFrame(FrameDownloadHandler onDownload, FrameWanted wanted) override {
        if (refusal) {
            calls << "Refused";
            return *refusal;
        }
        waiter = std::move(onDownload);
        return FakeCameraLink::releaseFrame({}, std::move(wanted));
    }
    void awaitFrame(FrameDownloadHandler onDownload) override { waiter = std::move(onDownload); }
    void setTv(const QString& t) override {
        FakeCameraLink::setTv(t);
        if (onSetTv) onSetTv();
    }
    void setFileName(const QString& s) override {
        FakeCameraLink::setFileName(s);
        if (++names == failOnName) throw AppError(5, "setFileName", "camera busy");
    }
    // The frame's picture comes downloadMs from now, or the camera's report
    // that it came to nothing (failWith), as the camera window tells them.
    void deliverLater() {
        if (downloadMs < 0) return;
        testenv::vclock().scheduleIn(downloadMs, [this, w = std::move(waiter), f = failWith] {
            state().bWaitingForDownload = false;
            if (w) w(f.isEmpty() ? FrameDownload{fileName + ".JPG", {}} : FrameDownload{{}, f});
        });
        waiter = nullptr;
    }
    qint64 downloadMs = 2000;
    QString failWith;
    std::optional<ReleaseOutcome> refusal;
    std::function<void()> onRelease, onSetTv;
    FrameDownloadHandler waiter;
    int names = 0, failOnName = 0;
    QList<qint64> releaseTimes;
};

class StatusMainWindow : public IMainWindow {
public:
    void ToolbarEnable(const QString&) override {}
    QAction* button(int) const override { return nullptr; }
    QLabel* statusPanel(int i) const override { return i == 1 ? panel.get() : nullptr; }
    QLineEdit* lbInterval() const override { return nullptr; }
    int zoomFactor() const override { return 1; }
    std::unique_ptr<QLabel> panel = std::make_unique<QLabel>();
};

// The trace as a run writes it, without the settings block and the events,
// time stamps cut off.
inline QStringList runTrace() {
    QStringList out;
    bool inSettings = false;
    static const QRegularExpression stamp(
        QStringLiteral("^((----Wait (Start|End)|Actual (Start|End)) Time:).*$"));
    for (QString l : testenv::traceLines()) {
        if (l == "-----Information Start-------") inSettings = true;
        const bool skip = inSettings || l.startsWith("EVENT:");
        if (l == "-----Information End-------") inSettings = false;
        if (skip) continue;
        l.replace(stamp, QStringLiteral("\\1"));
        out << l;
    }
    return out;
}

}  // namespace zelmora::capture::testing

// The exposure runs without a window: a plan, the virtual clock, a recording
// cable, a fake camera and a display that notes what it is shown.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <functional>

#include "capture/PlannedRun.h"
#include "capture/tests/RunFakes.h"
#include "platform/time/Clock.h"

using namespace zelmora;
using namespace zelmora::capture;
using namespace zelmora::capture::testing;

namespace {

class NotingDisplay : public RunDisplay {
public:
    std::int32_t startCountdown(const QString& reason, std::int32_t seconds) override {
        countdowns << QStringLiteral("%1 %2").arg(reason).arg(seconds);
        return seconds;
    }
    void updateInformation(std::int32_t frame, std::int32_t frames, std::int32_t taken) override {
        information << QStringLiteral("%1/%2 %3").arg(frame).arg(frames).arg(taken);
    }
    void clearInformation() override {
        if (onClear) onClear();
    }
    void frameNotice(const QString& why) override { notices << why; }
    void soundAlarm() override { ++alarms; }
    void runEnded() override { ++ends; }
    QStringList countdowns, information, notices;
    int alarms = 0, ends = 0;
    std::function<void()> onClear;
};

class PlannedRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        testenv::enableTrace();
        camera = std::make_shared<DownloadingCamera>();
        camera->downloadMs = 500;
        CameraLink::setInstance(camera);
        cable = std::make_shared<RecordingShutter>();
        ShutterCable::setInstance(cable);
        finished = 0;
        run = std::make_unique<PlannedRun>(display);
        QObject::connect(run.get(), &PlannedRun::finished, [this] { ++finished; });
    }
    void start(const RunPlan& plan) {
        cable->t0 = nowMs();
        t0 = nowMs();
        ASSERT_TRUE(run->start(plan));
    }
    static RunPlan longPlan() {
        RunPlan p;
        p.longRun = true;
        p.exposureCount = "2";
        p.exposureSeconds = 3;
        p.leadIn = "2";
        p.between = "4";
        return p;
    }
    static RunPlan shortPlan() {
        RunPlan p;
        p.exposureCount = "2";
        p.exposureSeconds = 1.0 / 125;
        p.picturesToPc = true;
        p.fileStem = "M31-";
        return p;
    }

    NotingDisplay display;
    std::shared_ptr<DownloadingCamera> camera;
    std::shared_ptr<RecordingShutter> cable;
    std::unique_ptr<PlannedRun> run;
    int finished = 0;
    qint64 t0 = 0;
};

}  // namespace

TEST_F(PlannedRunTest, ALongPlanRunsOnTheClockAndASecondStartIsRefused) {
    RunPlan p = longPlan();
    p.mirrorLock = true;
    p.mirrorLockDelay = "1";
    start(p);
    EXPECT_FALSE(run->start(shortPlan()));  // one run at a time
    testenv::vclock().advance(60'000);
    // Lead-in 2; per frame: lift, 1 s lock-up, 1 s pause, 3 s open; 4 s between.
    EXPECT_EQ(cable->calls,
              QStringList({"press 2000", "release 3000", "press 4000", "release 7000",
                           "press 11000", "release 12000", "press 13000", "release 16000"}));
    EXPECT_EQ(display.countdowns,
              QStringList({"Leadin In 2", "Mirror Lock 1", "Mirror Lock Pause 1", "Exposure Time 3",
                           "Time Between Exposures 4", "Mirror Lock 1", "Mirror Lock Pause 1",
                           "Exposure Time 3"}));
    EXPECT_EQ(display.information, QStringList({"1/2 1", "2/2 2"}));
    EXPECT_EQ(display.alarms, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(display.ends, 1);
    EXPECT_FALSE(run->running());
    EXPECT_FALSE(run->shutterHeld());
    EXPECT_TRUE(runTrace().contains("Start refused: a run is in progress"));
    EXPECT_TRUE(camera->calls.filter("Release").isEmpty());
}

// A frame is waited for only when the camera took it, and the wait ends as
// soon as the camera says the release came to nothing.
TEST_F(PlannedRunTest, ShortFramesAreWaitedForOnlyWhenTheyCanCome) {
    struct Row {
        const char* name;
        std::optional<ReleaseOutcome> refusal;
        QString failure;
        qint64 endsByMs;  // the run's end, frames one after the other
        QString notice;   // the last one: the run's end
        QString information;
    };
    const ReleaseOutcome busy =
        ReleaseOutcome::refused(ReleaseOutcome::Status::Busy, "A release is under way");
    const std::vector<Row> rows = {
        {"released", std::nullopt, {}, 1300, {}, "2/2 2"},
        {"refused",
         busy,
         {},
         100,
         "Frames missing: 2 of 2. Frame 2 not taken: A release is under way",
         "2/2 0"},
        {"came to nothing", std::nullopt, "Error:7", 1300,
         "Frames missing: 2 of 2. Frame 2 not downloaded: Error:7", "2/2 0"},
    };
    for (const Row& r : rows) {
        testenv::resetEnvironment();
        display = NotingDisplay();
        SetUp();
        camera->isConnected = true;
        camera->refusal = r.refusal;
        camera->failWith = r.failure;
        qint64 endedAt = -1;
        QObject::connect(run.get(), &PlannedRun::finished, [&] { endedAt = nowMs() - t0; });
        start(shortPlan());
        testenv::vclock().advance(30'000);
        EXPECT_GE(endedAt, 0) << r.name;
        EXPECT_LE(endedAt, r.endsByMs) << r.name;
        EXPECT_EQ(display.notices.isEmpty() ? QString() : display.notices.last(), r.notice)
            << r.name;
        EXPECT_TRUE(runTrace().filter("Time exceded").isEmpty()) << r.name;
        EXPECT_EQ(display.information.size(), 2) << r.name;
        EXPECT_EQ(display.information.last(), r.information) << r.name;
        EXPECT_EQ(display.alarms, r.notice.isEmpty() ? 1 : 0) << r.name;
        EXPECT_EQ(camera->fileName, "M31-2") << r.name;
        EXPECT_FALSE(state().bWaitingForDownload) << r.name;
    }
}

// Whatever ends the run from inside one of its waits, it ends once, and the
// cable is let go.
TEST_F(PlannedRunTest, AStopArrivingInsideAPumpEndsTheRunOnce) {
    for (const bool longRun : {false, true}) {
        testenv::resetEnvironment();
        display = NotingDisplay();
        SetUp();
        camera->isConnected = true;
        // Queued on the run itself: a stop still pending when the run goes is dropped.
        const auto stopLater = [this] {
            QMetaObject::invokeMethod(
                run.get(), [this] { run->stop(run->longRun()); }, Qt::QueuedConnection);
        };
        if (longRun) {
            cable->onRelease = stopLater;  // the end of the exposure pumps once
            RunPlan p = longPlan();
            p.leadIn = "0";
            p.picturesToPc = true;
            start(p);
        } else {
            camera->onRelease = stopLater;  // the download wait pumps at its start
            start(shortPlan());
        }
        testenv::vclock().advance(30'000);
        EXPECT_EQ(finished, 1) << longRun;
        EXPECT_EQ(display.ends, 1) << longRun;
        EXPECT_FALSE(run->running()) << longRun;
        EXPECT_FALSE(run->shutterHeld()) << longRun;
        EXPECT_EQ(display.alarms, 0) << longRun;
        EXPECT_EQ(state().iSequenceTotal, 0) << longRun;
    }
}

// A stop that lands inside one of the run's own steps (a pump before its
// first wait, the bulb frame's pass before its press, the shutter press) ends
// the run at once: no lead-in, lock-up or exposure is waited out after it, and
// nothing is pressed after it.
TEST_F(PlannedRunTest, AStopWhereverItLandsEndsTheRunAtOnce) {
    enum class Where { Start, FramePass, Press };
    struct Row {
        const char* name;
        bool longRun;
        bool mirrorLock;
        Where where;
        bool closing = false;  // the program closing, not a Stop
    };
    const Row rows[] = {
        {"a short run, inside the start", false, false, Where::Start},
        {"a long run, inside the start", true, false, Where::Start},
        {"a bulb frame's pass before its press", true, false, Where::FramePass},
        {"a bulb frame's pass before the mirror's press", true, true, Where::FramePass},
        {"the program closing in a bulb frame's pass", true, false, Where::FramePass, true},
        {"inside the shutter press", true, false, Where::Press},
        {"inside the mirror's press", true, true, Where::Press},
        {"the program closing inside the shutter press", true, false, Where::Press, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testenv::resetEnvironment();
        display = NotingDisplay();
        SetUp();
        camera->isConnected = true;
        RunPlan p = r.longRun ? longPlan() : shortPlan();
        p.leadIn = r.where == Where::Start ? "20" : "0";
        p.exposureSeconds = r.longRun ? 30 : p.exposureSeconds;
        p.mirrorLock = r.mirrorLock;
        p.mirrorLockDelay = "10";
        const auto stop = [this, &r] {
            if (r.closing)
                run->abort();
            else
                run->stop(run->longRun());
        };
        if (r.where == Where::Press)
            cable->onPress = stop;
        else if (r.where == Where::Start)
            display.onClear = stop;
        else
            // Queued from the start: the first pass of events is the frame's
            // own, after it has named the frame and before it presses.
            display.onClear = [this, stop] {
                QMetaObject::invokeMethod(run.get(), stop, Qt::QueuedConnection);
            };
        qint64 endedAt = -1;
        QObject::connect(run.get(), &PlannedRun::finished, [&] { endedAt = nowMs() - t0; });
        start(p);
        testenv::vclock().advance(60'000);
        EXPECT_GE(endedAt, 0);
        EXPECT_LE(endedAt, 100);
        EXPECT_EQ(finished, 1);
        EXPECT_FALSE(run->shutterHeld());
        EXPECT_EQ(display.alarms, 0);
        EXPECT_TRUE(camera->calls.filter("Release").isEmpty());
        EXPECT_EQ(cable->calls.filter("press").size(), r.where == Where::Press ? 1 : 0)
            << cable->calls.join(' ').toStdString();
        EXPECT_FALSE(run->running());
        // Nothing goes on after the end: no exposure ends later.
        EXPECT_TRUE(cable->calls.filter(QRegularExpression("^release [1-9]")).isEmpty())
            << cable->calls.join(' ').toStdString();
    }
}

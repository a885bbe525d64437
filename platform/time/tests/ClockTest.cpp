#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/time/Clock.h"
#include "platform/time/QtClock.h"
#include "platform/time/Timer.h"
#include "platform/time/VirtualClock.h"
#include "testing/TestEnv.h"

using zelmora::platform::WaitControl;
using zelmora::testenv::vclock;

TEST(VirtualClockTest, NestedWaitsEachEndAtTheirOwnDeadline) {
    std::vector<std::pair<QString, qint64>> log;
    vclock().scheduleAt(10'000, [&] {
        log.push_back({"inner start", vclock().monotonicMs()});
        const bool done =
            zelmora::platform::clock().pumpFor(5'000, std::make_shared<WaitControl>());
        log.push_back({done ? "inner done" : "inner stopped", vclock().monotonicMs()});
    });
    const bool done = zelmora::platform::clock().pumpFor(60'000, std::make_shared<WaitControl>());
    EXPECT_TRUE(done);
    EXPECT_EQ(vclock().monotonicMs(), 60'000);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].second, 10'000);
    EXPECT_EQ(log[1], (std::pair<QString, qint64>{"inner done", 15'000}));
}

TEST(VirtualClockTest, InnerWaitLongerThanOuterDelaysTheOuterReturn) {
    vclock().scheduleAt(
        1'000, [] { zelmora::platform::clock().pumpFor(10'000, std::make_shared<WaitControl>()); });
    zelmora::platform::clock().pumpFor(2'000, std::make_shared<WaitControl>());
    EXPECT_EQ(vclock().monotonicMs(), 11'000);
}

TEST(VirtualClockTest, PostedEventRunsDuringWaitAndStopEndsIt) {
    auto control = std::make_shared<WaitControl>();
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        control->stop();
    });
    EXPECT_FALSE(zelmora::platform::clock().pumpFor(600'000, control));
    EXPECT_TRUE(ran);
    EXPECT_EQ(vclock().monotonicMs(), 0);
}

// A handler run inside a wait deletes an object later and stops the wait. The
// real clock's wait returns without dispatching anything more, so the object is
// still there for the code that ran the wait and goes once that code lets events
// run; the virtual clock does the same when asked to.
TEST(VirtualClockTest, AWaitStoppingLikeAnEventLoopLeavesADeletionToItsCaller) {
    zelmora::platform::QtClock real;
    struct Row {
        const char* name;
        zelmora::platform::Clock* clock;
        bool likeALoop;
        bool aliveWhenTheWaitReturns;
    };
    const Row rows[] = {{"real clock", &real, false, true},
                        {"virtual, stopping like an event loop", &vclock(), true, true},
                        {"virtual", &vclock(), false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        vclock().setStopsLikeAnEventLoop(r.likeALoop);
        auto control = std::make_shared<WaitControl>();
        QPointer<QObject> window = new QObject;
        QTimer::singleShot(0, [&] {
            window->deleteLater();
            control->stop();
        });
        EXPECT_FALSE(r.clock->pumpFor(60'000, control));
        EXPECT_EQ(!window.isNull(), r.aliveWhenTheWaitReturns);
        QCoreApplication::processEvents();  // the caller lets events run
        EXPECT_TRUE(window.isNull());
        delete window.data();
    }
}

TEST(VirtualClockTest, ShuttingDownEndsRunningAndNewWaits) {
    vclock().scheduleAt(3'000, [] { zelmora::platform::setShuttingDown(true); });
    EXPECT_FALSE(zelmora::platform::clock().pumpFor(100'000, std::make_shared<WaitControl>()));
    EXPECT_EQ(vclock().monotonicMs(), 3'000);
    EXPECT_FALSE(zelmora::platform::clock().pumpFor(1'000, std::make_shared<WaitControl>()));
    zelmora::platform::setShuttingDown(false);
}

TEST(TimerTest, TicksWhileEnabledWithIntervalAndStopsAtZero) {
    zelmora::platform::Timer timer;
    std::vector<qint64> ticks;
    QObject::connect(&timer, &zelmora::platform::Timer::timeout,
                     [&] { ticks.push_back(vclock().monotonicMs()); });
    vclock().advance(5'000);
    EXPECT_TRUE(ticks.empty()) << "interval 0 is stopped";

    timer.setInterval(1'000);
    vclock().advance(3'500);
    EXPECT_EQ(ticks, (std::vector<qint64>{6'000, 7'000, 8'000}));

    timer.setEnabled(false);
    vclock().advance(3'000);
    EXPECT_EQ(ticks.size(), 3u);

    timer.setEnabled(true);
    timer.setInterval(0);
    vclock().advance(3'000);
    EXPECT_EQ(ticks.size(), 3u);
}

TEST(TimerTest, ChangingIntervalRestartsTheCount) {
    zelmora::platform::Timer timer;
    std::vector<qint64> ticks;
    QObject::connect(&timer, &zelmora::platform::Timer::timeout,
                     [&] { ticks.push_back(vclock().monotonicMs()); });
    timer.setInterval(1'000);
    vclock().advance(700);
    timer.setInterval(1'000);
    vclock().advance(1'500);
    EXPECT_EQ(ticks, (std::vector<qint64>{1'700}));
}

TEST(TimerTest, TimerDestroyedFromItsOwnTick) {
    auto* timer = new zelmora::platform::Timer;
    int ticks = 0;
    QObject::connect(timer, &zelmora::platform::Timer::timeout, [&] {
        ++ticks;
        delete timer;
    });
    timer->setInterval(100);
    vclock().advance(1'000);
    EXPECT_EQ(ticks, 1);
}

TEST(TimerTest, TimerKeptPastItsClockIsDestroyedSafely) {
    // A window or driver that outlives its test keeps a timer made on that test's clock.
    auto own = std::make_shared<zelmora::platform::VirtualClock>();
    const auto testClock = zelmora::platform::currentClock();
    zelmora::platform::setClock(own);
    auto timer = std::make_unique<zelmora::platform::Timer>();
    timer->setInterval(100);
    zelmora::platform::setClock(testClock);
    own.reset();
    timer->setInterval(200);
    timer.reset();
}

TEST(QtClockTest, RealWaitDispatchesEventsAndStops) {
    zelmora::platform::QtClock real;
    auto control = std::make_shared<WaitControl>();
    bool ran = false;
    QTimer::singleShot(10, [&] {
        ran = true;
        control->stop();
    });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(real.pumpFor(60'000, control));
    EXPECT_TRUE(ran);
    EXPECT_LT(t.elapsed(), 30'000);
    // A short wait runs to its deadline.
    EXPECT_TRUE(real.pumpFor(20, std::make_shared<WaitControl>()));
}

// The camera library's thread stamps its log lines while tests (and start-up) install
// a clock; a reader always gets a whole clock, old or new.
TEST(ClockTest, TheClockMayBeReadFromAnotherThreadWhileItIsReplaced) {
    std::atomic<bool> done{false};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!done) {
            const auto c = zelmora::platform::currentClock();
            if (c->monotonicMs() >= 0) ++reads;
        }
    });
    for (int i = 0; i < 2000; ++i)
        zelmora::platform::setClock(std::make_shared<zelmora::platform::VirtualClock>());
    while (reads == 0) std::this_thread::yield();
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
}

// The passes of the loop that the program's work makes are told to a listener
// before anything runs; the test's own outer loop is not one of them.
TEST(EventPassesTest, EveryPassOfTheProgramsWorkIsToldFirst) {
    QStringList seen;
    int passes = 0;
    zelmora::platform::setEventPassListener([&] {
        ++passes;
        QMetaObject::invokeMethod(
            qApp, [&seen, n = passes] { seen << QStringLiteral("ran after pass %1").arg(n); },
            Qt::QueuedConnection);
    });
    vclock().advance(1000);
    EXPECT_EQ(passes, 0);
    zelmora::platform::passEvents();
    EXPECT_EQ(seen, QStringList{"ran after pass 1"});
    zelmora::platform::handToTheLoop();
    EXPECT_EQ(passes, 2);
    zelmora::platform::clock().pumpFor(500, std::make_shared<WaitControl>());
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(seen, QStringList({"ran after pass 1", "ran after pass 2", "ran after pass 3"}));
    zelmora::platform::clock().pumpFor(0, std::make_shared<WaitControl>());
    EXPECT_EQ(passes, 3) << "a wait of nothing lets nothing run";
    // A timer started hands its wait to the loop; its ticks and its stop do not.
    {
        zelmora::platform::Timer timer;
        int ticks = 0;
        QObject::connect(&timer, &zelmora::platform::Timer::timeout, [&ticks] { ++ticks; });
        timer.setInterval(100);
        EXPECT_EQ(passes, 4);
        vclock().advance(1000);
        EXPECT_EQ(ticks, 10);
        timer.setEnabled(false);
        timer.setInterval(200);
        EXPECT_EQ(passes, 4) << "a disabled timer is not started";
        timer.setEnabled(true);
        EXPECT_EQ(passes, 5);
        timer.setInterval(0);
        EXPECT_EQ(passes, 5);
    }
    zelmora::platform::setEventPassListener({});
}

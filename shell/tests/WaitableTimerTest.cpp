#include <gtest/gtest.h>

#include <QTimer>
#include <memory>

#include "shell/clsWaitableTimer.h"
#include "testing/TestEnv.h"

using namespace zelmora;
using testenv::vclock;

// On virtual time the wait costs no real time; a clock that really waited
// would hold this test for minutes, plain to see in ctest's report.
TEST(WaitableTimerTest, TenMinuteWaitStoppedAtVirtualSecondThirtyInRealMilliseconds) {
    testenv::enableTrace();
    clsWaitableTimer timer;
    vclock().scheduleAt(30'000, [&] { timer.StopTimer(); });
    timer.Wait(600);
    EXPECT_EQ(vclock().monotonicMs(), 30'000);
    const QStringList lines = testenv::traceLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "----Wait Start Time:2026-01-15 21:00:00");
    EXPECT_EQ(lines[1], "----Wait End Time:2026-01-15 21:00:30");
}

TEST(WaitableTimerTest, DueTimeIsSixtyFourBit) {
    EXPECT_EQ(clsWaitableTimer::dueTime(600), -6'000'000'000LL);
    EXPECT_EQ(clsWaitableTimer::dueTime(0), 0);
    EXPECT_EQ(clsWaitableTimer::dueTime(2'000'000), -20'000'000'000'000LL);
}

TEST(WaitableTimerTest, ZeroAndNegativeReturnAtOnceWithBothLines) {
    testenv::enableTrace();
    clsWaitableTimer timer;
    timer.Wait(0);
    timer.Wait(-5);
    EXPECT_EQ(vclock().monotonicMs(), 0);
    EXPECT_EQ(testenv::traceLines().size(), 4);
}

TEST(WaitableTimerTest, NestedWaitsOnSeparateTimersEndAtTheirOwnDeadlines) {
    clsWaitableTimer outer, inner;
    qint64 innerEnded = -1;
    vclock().scheduleAt(2'000, [&] {
        inner.Wait(1);
        innerEnded = vclock().monotonicMs();
    });
    outer.Wait(10);
    EXPECT_EQ(innerEnded, 3'000);
    EXPECT_EQ(vclock().monotonicMs(), 10'000);
}

TEST(WaitableTimerTest, StopWhileIdleDoesNotEndTheNextWait) {
    clsWaitableTimer timer;
    timer.StopTimer();
    timer.Wait(5);
    EXPECT_EQ(vclock().monotonicMs(), 5'000);
}

TEST(WaitableTimerTest, StoppingTheOuterFromInsideTheInnerEndsOnlyTheOuter) {
    clsWaitableTimer outer, inner;
    qint64 innerEnded = -1;
    vclock().scheduleAt(1'000, [&] {
        inner.Wait(4);
        innerEnded = vclock().monotonicMs();
    });
    vclock().scheduleAt(2'000, [&] { outer.StopTimer(); });
    outer.Wait(100);
    EXPECT_EQ(innerEnded, 5'000);
    EXPECT_EQ(vclock().monotonicMs(), 5'000);
}

TEST(WaitableTimerTest, OwnerDropsTheTimerDuringItsOwnWait) {
    testenv::enableTrace();
    auto timer = std::make_unique<clsWaitableTimer>();
    QTimer::singleShot(0, [&] { timer.reset(); });  // "StopTimer; timer := none"
    timer->Wait(60);
    EXPECT_EQ(timer, nullptr);
    EXPECT_EQ(vclock().monotonicMs(), 0);
    EXPECT_EQ(testenv::traceLines().last().left(19), "----Wait End Time:2");
}

TEST(WaitableTimerTest, ButtonClickIsHandledDuringTheWait) {
    clsWaitableTimer timer;
    int clicks = 0;
    vclock().scheduleAt(500, [&] { QTimer::singleShot(0, [&] { ++clicks; }); });
    timer.Wait(1);
    EXPECT_EQ(clicks, 1);
}

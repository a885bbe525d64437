#pragma once

#include "platform/core/Api.h"

#include "platform/time/Clock.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Virtual time for tests: waits and timers advance the clock instantly, and
// test actions can be scheduled at any virtual moment. Posted Qt events are
// dispatched between steps, so handlers run inside waits as they do for real.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(21, 0, 0)));

    QDateTime now() const override;
    qint64 monotonicMs() const override { return nowMs_; }
    bool pumpFor(qint64 ms, const std::shared_ptr<WaitControl>& control) override;
    void sleepMs(qint64 ms) override;
    std::unique_ptr<TimerEngine> createTimerEngine(std::function<void()> fire) override;

    // Runs fn when virtual time reaches atMs (milliseconds since the clock began).
    // Returns an id for cancel().
    std::uint64_t scheduleAt(qint64 atMs, std::function<void()> fn);
    std::uint64_t scheduleIn(qint64 delayMs, std::function<void()> fn) {
        return scheduleAt(nowMs_.load() + delayMs, std::move(fn));
    }
    void cancel(std::uint64_t id);

    // Lets virtual time pass at the outermost level, running what falls due.
    void advance(qint64 ms);

    // A wait that is stopped, or that sees the program shutting down, returns
    // without dispatching anything more, as a real event loop told to quit does:
    // what its handlers posted (a window's deletion among it) then runs at the
    // level of the code that ran the wait, after it has resumed. Off unless a
    // test asks for it.
    void setStopsLikeAnEventLoop(bool on) { stopsLikeAnEventLoop_ = on; }

private:
    friend class VirtualTimerEngine;
    struct Key {
        qint64 at;
        std::uint64_t seq;
        bool operator<(const Key& o) const { return at != o.at ? at < o.at : seq < o.seq; }
    };
    bool runNextDue(qint64 deadline);
    // pumpFor without telling the pass listener: the test's own outer loop.
    bool wait(qint64 ms, const std::shared_ptr<WaitControl>& control);
    // Dispatches posted Qt events, without waiting; `over` (when set) is asked
    // after each pass whether the wait has ended.
    void processPending(const std::function<bool()>& over = nullptr);

    QDateTime start_;
    // Read from other threads too (the simulated camera library stamps its log
    // lines); only the thread that runs the waits moves it.
    std::atomic<qint64> nowMs_{0};
    std::uint64_t nextSeq_ = 1;
    std::map<Key, std::function<void()>> queue_;
    std::map<std::uint64_t, Key> byId_;
    // Expires with the clock, so that timer engines that outlive it leave it alone.
    std::shared_ptr<const void> alive_;
    bool stopsLikeAnEventLoop_ = false;
};

}  // namespace zelmora::platform

ZELMORA_API_END

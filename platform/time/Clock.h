#pragma once

#include "platform/core/Api.h"

#include <QDateTime>
#include <QtGlobal>
#include <functional>
#include <memory>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// One wait in progress. stop() ends it at once; the wait's owner keeps the
// control alive for as long as the wait runs, so stopping from a handler that
// runs inside the wait is always safe.
class WaitControl {
public:
    void stop();
    bool stopped() const { return stopped_; }
    // Set by the clock while the wait runs: how to wake the waiting loop.
    void setWake(std::function<void()> wake) { wake_ = std::move(wake); }

private:
    bool stopped_ = false;
    std::function<void()> wake_;
};

// The engine behind one Timer: started and stopped by the Timer, it calls the
// fire function on the user-interface thread each interval.
class TimerEngine {
public:
    virtual ~TimerEngine() = default;
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
};

// The program's time: wall time, monotonic time, timers and message-pumping
// waits. Production runs on Qt's event loop; tests run on VirtualClock.
class Clock {
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;  // local wall time
    virtual qint64 monotonicMs() const = 0;

    // Keeps dispatching events for ms milliseconds. Returns true when the wait
    // ran to its deadline, false when it was stopped (by its control or because
    // the program is shutting down). ms <= 0 returns at once.
    virtual bool pumpFor(qint64 ms, const std::shared_ptr<WaitControl>& control) = 0;

    // Blocks without dispatching events (the few plain sleeps of the program).
    virtual void sleepMs(qint64 ms) = 0;

    virtual std::unique_ptr<TimerEngine> createTimerEngine(std::function<void()> fire) = 0;
};

// The clock in use. Production installs a QtClock at start; tests a VirtualClock.
Clock& clock();
void setClock(std::shared_ptr<Clock> clock);
std::shared_ptr<Clock> currentClock();

// The passes of the event loop that the program's own work makes in the middle
// of what it does: a pass inside a step (passEvents), a wait on the clock
// (pumpFor), and a wait handed back to the loop (handToTheLoop): every start
// of a Timer, a queued call a step goes on from, a box that comes up. Each
// tells the listener first, before any event runs. A seam for tests, which
// act at any one of them; nothing else listens.
void setEventPassListener(std::function<void()> listener);
// A wait handed back to the loop: only tells the listener.
void handToTheLoop();
// One pass of the loop: tells the listener, then dispatches what is pending.
void passEvents();

// Program-wide shutting-down flag: once set, every running wait returns and new
// waits return at once, so code after a wait sees the flag and winds down.
void setShuttingDown(bool shuttingDown);
bool shuttingDown();

// Waits in progress register here so that shutdown can end them all.
class ActiveWaits {
public:
    static void add(WaitControl* control);
    static void remove(WaitControl* control);
    static void stopAll();
};

}  // namespace zelmora::platform

ZELMORA_API_END

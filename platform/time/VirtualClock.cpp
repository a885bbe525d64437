#include "platform/time/VirtualClock.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace zelmora::platform {

// A tick in the clock's queue is cancelled when the engine stops or goes, so it
// never runs for a dead engine. The clock may go first (a timer kept past the end
// of its test); the engine then has nothing left to cancel.
class VirtualTimerEngine : public TimerEngine {
public:
    VirtualTimerEngine(VirtualClock* clock, std::function<void()> fire)
        : clock_(clock), clockAlive_(clock->alive_), fire_(std::move(fire)) {}
    ~VirtualTimerEngine() override { stop(); }
    void start(int intervalMs) override {
        stop();
        interval_ = intervalMs < 1 ? 1 : intervalMs;
        arm();
    }
    void stop() override {
        if (pending_ && !clockAlive_.expired()) clock_->cancel(pending_);
        pending_ = 0;
    }

private:
    void arm() {
        if (clockAlive_.expired()) return;
        pending_ = clock_->scheduleIn(interval_, [this] {
            pending_ = 0;
            arm();  // periodic, like a window timer: the next tick is due one interval on
            fire_();
        });
    }

    VirtualClock* clock_;
    std::weak_ptr<const void> clockAlive_;
    std::function<void()> fire_;
    int interval_ = 0;
    std::uint64_t pending_ = 0;
};

VirtualClock::VirtualClock(QDateTime start)
    : start_(std::move(start)), alive_(std::make_shared<const int>(0)) {}

QDateTime VirtualClock::now() const {
    return start_.addMSecs(nowMs_);
}

std::uint64_t VirtualClock::scheduleAt(qint64 atMs, std::function<void()> fn) {
    const qint64 now = nowMs_;
    const Key key{atMs < now ? now : atMs, nextSeq_++};
    queue_.emplace(key, std::move(fn));
    byId_.emplace(key.seq, key);
    return key.seq;
}

void VirtualClock::cancel(std::uint64_t id) {
    auto it = byId_.find(id);
    if (it == byId_.end()) return;
    queue_.erase(it->second);
    byId_.erase(it);
}

void VirtualClock::processPending(const std::function<bool()>& over) {
    // Twice: handlers of the first pass often post follow-up events.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (over && over()) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool VirtualClock::runNextDue(qint64 deadline) {
    if (queue_.empty()) return false;
    auto it = queue_.begin();
    if (it->first.at > deadline) return false;
    const Key key = it->first;
    auto fn = std::move(it->second);
    queue_.erase(it);
    byId_.erase(key.seq);
    if (key.at > nowMs_) nowMs_ = key.at;
    fn();
    return true;
}

bool VirtualClock::pumpFor(qint64 ms, const std::shared_ptr<WaitControl>& control) {
    if (ms > 0 && !shuttingDown()) handToTheLoop();
    return wait(ms, control);
}

bool VirtualClock::wait(qint64 ms, const std::shared_ptr<WaitControl>& control) {
    if (ms <= 0 || shuttingDown()) return ms <= 0 && !shuttingDown();
    std::shared_ptr<WaitControl> keep = control;
    const qint64 deadline = nowMs_ + ms;
    ActiveWaits::add(keep.get());
    bool finished = false;
    const auto over = [&keep] { return keep->stopped() || shuttingDown(); };
    const std::function<bool()> quitAt =
        stopsLikeAnEventLoop_ ? std::function<bool()>(over) : nullptr;
    for (;;) {
        processPending(quitAt);
        if (over()) break;
        if (!runNextDue(deadline)) {
            if (nowMs_ < deadline) nowMs_ = deadline;
            finished = true;
            break;
        }
    }
    ActiveWaits::remove(keep.get());
    if (!(stopsLikeAnEventLoop_ && over())) processPending();
    return finished;
}

void VirtualClock::sleepMs(qint64 ms) {
    if (ms > 0) nowMs_ += ms;
}

void VirtualClock::advance(qint64 ms) {
    auto control = std::make_shared<WaitControl>();
    wait(ms, control);
}

std::unique_ptr<TimerEngine> VirtualClock::createTimerEngine(std::function<void()> fire) {
    return std::make_unique<VirtualTimerEngine>(this, std::move(fire));
}

}  // namespace zelmora::platform

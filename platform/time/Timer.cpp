#include "platform/time/Timer.h"

#include "platform/time/Clock.h"

namespace zelmora::platform {

Timer::Timer(QObject* parent) : QObject(parent) {
    engine_ = clock().createTimerEngine([this] { emit timeout(); });
}

Timer::~Timer() = default;

void Timer::setInterval(int ms) {
    interval_ = ms < 0 ? 0 : ms;
    apply();
}

void Timer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    apply();
}

void Timer::apply() {
    if (!isRunning()) return engine_->stop();
    // What armed it hands its wait to the loop: events run until the tick.
    handToTheLoop();
    engine_->start(interval_);
}

}  // namespace zelmora::platform

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
    if (isRunning())
        engine_->start(interval_);
    else
        engine_->stop();
}

}  // namespace zelmora::platform

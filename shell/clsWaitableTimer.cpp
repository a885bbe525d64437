#include "shell/clsWaitableTimer.h"

#include "platform/time/Clock.h"
#include "shell/Globals.h"

namespace zelmora {

namespace {
QString stamp() {
    return platform::clock().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
}  // namespace

clsWaitableTimer::clsWaitableTimer() = default;

clsWaitableTimer::~clsWaitableTimer() {
    StopTimer();
}

void clsWaitableTimer::Wait(std::int32_t seconds) {
    Globals::WriteLogLine(QStringLiteral("----Wait Start Time:") + stamp());
    // A fresh control for every wait: an earlier StopTimer cannot end this one.
    auto control = std::make_shared<platform::WaitControl>();
    current_ = control;
    const std::int64_t ms = -dueTime(seconds) / 10'000;
    if (ms > 0) platform::clock().pumpFor(ms, control);
    // The object may be gone now (dropped by a handler during the wait). The
    // only other owner of this control is the object itself, so a second owner
    // means the object is alive and still holds this wait.
    if (control.use_count() > 1) current_.reset();
    Globals::WriteLogLine(QStringLiteral("----Wait End Time:") + stamp());
}

void clsWaitableTimer::StopTimer() {
    if (current_) {
        auto control = std::move(current_);
        control->stop();
    }
}

bool clsWaitableTimer::waiting() const {
    return current_ != nullptr;
}

}  // namespace zelmora

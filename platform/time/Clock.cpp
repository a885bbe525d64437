#include "platform/time/Clock.h"

#include "platform/time/QtClock.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace zelmora::platform {

void WaitControl::stop() {
    stopped_ = true;
    if (wake_) wake_();
}

namespace {
// The clock is read from any thread (the camera library's thread stamps its log
// lines), and replaced by tests between runs: the slot is only touched under its lock.
std::mutex& clockMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<Clock>& clockSlot() {
    static std::shared_ptr<Clock> slot;
    return slot;
}
std::shared_ptr<Clock>& installedClock() {
    auto& slot = clockSlot();
    if (!slot) slot = std::make_shared<QtClock>();
    return slot;
}
std::atomic<bool> gShuttingDown{false};
std::function<void()>& passListener() {
    static std::function<void()> listener;
    return listener;
}
std::vector<WaitControl*>& activeWaits() {
    static std::vector<WaitControl*> waits;
    return waits;
}
}  // namespace

Clock& clock() {
    std::lock_guard lock(clockMutex());
    return *installedClock();
}

void setClock(std::shared_ptr<Clock> clock) {
    std::shared_ptr<Clock> previous;  // released outside the lock
    std::lock_guard lock(clockMutex());
    previous = std::exchange(clockSlot(), std::move(clock));
}

std::shared_ptr<Clock> currentClock() {
    std::lock_guard lock(clockMutex());
    return installedClock();
}

void setEventPassListener(std::function<void()> listener) {
    passListener() = std::move(listener);
}

void handToTheLoop() {
    // A copy: the listener may replace itself.
    if (const auto listener = passListener()) listener();
}

void passEvents() {
    handToTheLoop();
    QCoreApplication::processEvents();
}

void setShuttingDown(bool value) {
    gShuttingDown = value;
    if (value) ActiveWaits::stopAll();
}

bool shuttingDown() {
    return gShuttingDown;
}

void ActiveWaits::add(WaitControl* control) {
    activeWaits().push_back(control);
}

void ActiveWaits::remove(WaitControl* control) {
    auto& w = activeWaits();
    w.erase(std::remove(w.begin(), w.end(), control), w.end());
}

void ActiveWaits::stopAll() {
    // Stopping may run code that starts or ends other waits; work on a copy.
    const auto copy = activeWaits();
    for (auto* c : copy) {
        const auto& live = activeWaits();
        if (std::find(live.begin(), live.end(), c) != live.end()) c->stop();
    }
}

}  // namespace zelmora::platform

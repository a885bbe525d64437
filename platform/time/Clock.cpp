#include "platform/time/Clock.h"

#include "platform/time/QtClock.h"

#include <algorithm>
#include <vector>

namespace zelmora::platform {

void WaitControl::stop() {
    stopped_ = true;
    if (wake_) wake_();
}

namespace {
std::shared_ptr<Clock>& clockSlot() {
    static std::shared_ptr<Clock> slot;
    return slot;
}
bool gShuttingDown = false;
std::vector<WaitControl*>& activeWaits() {
    static std::vector<WaitControl*> waits;
    return waits;
}
}  // namespace

Clock& clock() {
    auto& slot = clockSlot();
    if (!slot) slot = std::make_shared<QtClock>();
    return *slot;
}

void setClock(std::shared_ptr<Clock> clock) { clockSlot() = std::move(clock); }

std::shared_ptr<Clock> currentClock() {
    clock();
    return clockSlot();
}

void setShuttingDown(bool value) {
    gShuttingDown = value;
    if (value) ActiveWaits::stopAll();
}

bool shuttingDown() { return gShuttingDown; }

void ActiveWaits::add(WaitControl* control) { activeWaits().push_back(control); }

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

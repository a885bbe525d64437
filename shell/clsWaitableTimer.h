#pragma once

#include <QtGlobal>
#include <cstdint>
#include <memory>

namespace zelmora {

namespace platform {
class WaitControl;
}

// A wait of whole seconds that keeps the user interface alive: clicks, timer
// ticks and camera events are handled while it runs. Each object has its own
// timer, so a nested wait or a second copy of the program never ends another
// wait early. StopTimer ends this object's wait at once; destroying the object
// during its own wait (from a handler) ends the wait too, safely.
//
// A wait nested inside another returns first: the outer wait cannot return
// before every wait started inside it has returned.
class clsWaitableTimer {
public:
    clsWaitableTimer();
    ~clsWaitableTimer();
    clsWaitableTimer(const clsWaitableTimer&) = delete;
    clsWaitableTimer& operator=(const clsWaitableTimer&) = delete;

    // Traces "----Wait Start Time:" and "----Wait End Time:" with the local
    // date and time around the wait. 0 or fewer seconds return at once.
    void Wait(std::int32_t seconds);
    void StopTimer();
    bool waiting() const;

    // The due time of a wait in 100-nanosecond units, negative = relative.
    static std::int64_t dueTime(std::int32_t seconds) {
        return -static_cast<std::int64_t>(seconds) * 10'000'000;
    }

private:
    std::shared_ptr<platform::WaitControl> current_;
};

}  // namespace zelmora

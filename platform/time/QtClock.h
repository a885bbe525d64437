#pragma once

#include "platform/core/Api.h"

#include "platform/time/Clock.h"

#include <QElapsedTimer>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Real time on Qt's event loop. Each wait runs its own QEventLoop with its own
// timer, so nested waits end at their own deadlines and never spin a core.
class QtClock : public Clock {
public:
    QtClock();
    QDateTime now() const override;
    qint64 monotonicMs() const override;
    bool pumpFor(qint64 ms, const std::shared_ptr<WaitControl>& control) override;
    void sleepMs(qint64 ms) override;
    std::unique_ptr<TimerEngine> createTimerEngine(std::function<void()> fire) override;

private:
    QElapsedTimer elapsed_;
};

}  // namespace zelmora::platform

ZELMORA_API_END

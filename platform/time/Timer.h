#pragma once

#include "platform/core/Api.h"

#include <QObject>
#include <memory>

ZELMORA_API_BEGIN

namespace zelmora::platform {

class TimerEngine;

// A window timer as the program's windows use it: it ticks every interval
// while it is enabled and its interval is above 0. Interval 0 means stopped.
// Changing the interval of a running timer starts the count again.
// The engine comes from the clock in use when the timer is made. Each start
// (not each tick) is a wait handed to the loop, told to the clock's pass
// listener as handToTheLoop() does.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);
    ~Timer() override;

    void setInterval(int ms);
    int interval() const { return interval_; }
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    bool isRunning() const { return enabled_ && interval_ > 0; }

signals:
    void timeout();

private:
    void apply();

    std::unique_ptr<TimerEngine> engine_;
    int interval_ = 0;
    bool enabled_ = true;
};

}  // namespace zelmora::platform

ZELMORA_API_END

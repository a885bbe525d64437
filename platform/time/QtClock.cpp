#include "platform/time/QtClock.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <climits>

namespace zelmora::platform {

namespace {

class QtTimerEngine : public TimerEngine {
public:
    explicit QtTimerEngine(std::function<void()> fire) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [f = std::move(fire)] { f(); });
    }
    void start(int intervalMs) override { timer_.start(intervalMs); }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

}  // namespace

QtClock::QtClock() {
    elapsed_.start();
}

QDateTime QtClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 QtClock::monotonicMs() const {
    return elapsed_.elapsed();
}

bool QtClock::pumpFor(qint64 ms, const std::shared_ptr<WaitControl>& control) {
    if (ms <= 0 || shuttingDown()) return ms <= 0 && !shuttingDown();
    handToTheLoop();
    // Keep the control alive even if its owner drops it from a handler.
    std::shared_ptr<WaitControl> keep = control;
    const qint64 deadline = monotonicMs() + ms;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    keep->setWake([&loop] { loop.quit(); });
    ActiveWaits::add(keep.get());
    bool finished = false;
    while (!keep->stopped() && !shuttingDown()) {
        const qint64 left = deadline - monotonicMs();
        if (left <= 0) {
            finished = true;
            break;
        }
        // QTimer takes an int; longer waits re-arm.
        timer.start(static_cast<int>(std::min<qint64>(left, INT_MAX)));
        loop.exec();
    }
    ActiveWaits::remove(keep.get());
    keep->setWake(nullptr);
    return finished;
}

void QtClock::sleepMs(qint64 ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

std::unique_ptr<TimerEngine> QtClock::createTimerEngine(std::function<void()> fire) {
    return std::make_unique<QtTimerEngine>(std::move(fire));
}

}  // namespace zelmora::platform

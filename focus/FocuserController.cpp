#include "focus/FocuserController.h"

#include <QStringList>

#include "platform/core/AppError.h"
#include "platform/time/Clock.h"
#include "shell/Conv.h"
#include "shell/Globals.h"

namespace zelmora::focus {

QString guardText(GuardedBox box, const QString& text) {
    const bool numeric = Conv::isNumeric(text);
    // Numbers are compared after rounding to a 16-bit integer; beyond that
    // range they are out of range.
    auto inRange = [&](int lo, int hi) {
        try {
            const std::int16_t v = Conv::parseInt16(text);
            return v >= lo && v <= hi;
        } catch (const AppError&) {
            return false;
        }
    };
    switch (box) {
        case GuardedBox::Amount:
            return numeric ? text : QStringLiteral("0");
        case GuardedBox::Frames:
            if (!numeric) return QStringLiteral("3");
            return inRange(1, 8) ? text : QStringLiteral("8");
        case GuardedBox::Iterations:
            return numeric && inRange(1, 10) ? text : QStringLiteral("10");
        case GuardedBox::Pause:
            return numeric && inRange(0, 6) ? text : QStringLiteral("2");
    }
    return text;
}

FocuserController::FocuserController(QObject* parent) : QObject(parent) {
    poll_.setInterval(0);
    connect(&poll_, &platform::Timer::timeout, this, [this] { onPoll(); });
}

FocuserController::~FocuserController() = default;

void FocuserController::setDriver(std::shared_ptr<drivers::Focuser> driver) {
    driver_ = std::move(driver);
}

bool FocuserController::linked() const {
    if (!driver_) return false;
    try {
        return driver_->link();
    } catch (const AppError&) {
        return false;
    }
}

std::int32_t FocuserController::GetFocuserPosition() const {
    if (!driver_)
        throw AppError(AppError::kObjectVariableNotSet, QStringLiteral("Focuser"),
                       QStringLiteral("No focuser has been chosen"));
    return driver_->absolute() ? driver_->Position() : relative_;
}

QString FocuserController::focuserInfo(std::optional<std::int32_t>* position) const {
    QStringList lines;
    auto step = [&](auto&& f) {
        try {
            f();
        } catch (const AppError&) {
        }
    };
    step([&] {
        const std::int32_t p = GetFocuserPosition();
        if (position) *position = p;
        lines << QStringLiteral("Position:") + QString::number(p);
    });
    if (!driver_) return lines.join(QStringLiteral("\r\n"));
    step([&] { lines << QStringLiteral("Maxstep:") + QString::number(driver_->MaxStep()); });
    step([&] { lines << QStringLiteral("StepSize:") + Conv::numberText(driver_->stepsize()); });
    step([&] {
        lines << QStringLiteral("Focuser Type:") + (driver_->absolute()
                                                        ? QStringLiteral("Absolute")
                                                        : QStringLiteral("Relative"));
    });
    step([&] { lines << QStringLiteral("Connected:") + Conv::boolText(driver_->link()); });
    return lines.join(QStringLiteral("\r\n"));
}

std::vector<std::int32_t> FocuserController::planMoveIn(std::int32_t amount) const {
    if (driver_->absolute()) return {driver_->Position() - amount};
    return {-amount};
}

std::vector<std::int32_t> FocuserController::planMoveOut(std::int32_t amount,
                                                         std::int32_t backlash) const {
    if (driver_->absolute()) {
        const std::int32_t target = driver_->Position() + amount;
        if (backlash > 0) return {target + backlash, target};
        return {target};
    }
    if (backlash > 0) return {amount + backlash, -backlash};
    return {amount};
}

std::vector<std::int32_t> FocuserController::planMoveTo(std::int32_t target) const {
    if (driver_->absolute()) return {target};
    return {target - relative_};
}

QString FocuserController::describe(const std::vector<std::int32_t>& steps) {
    QStringList parts;
    for (std::int32_t s : steps) parts << QString::number(s);
    return parts.join(QStringLiteral(", "));
}

bool FocuserController::runMoves(std::vector<std::int32_t> steps, Done done) {
    if (moving() || !driver_) return false;
    steps_ = std::move(steps);
    done_ = std::move(done);
    sendNext();
    return true;
}

void FocuserController::sendNext() {
    if (steps_.empty()) {
        finish({});
        return;
    }
    const std::int32_t value = steps_.front();
    steps_.erase(steps_.begin());
    try {
        driver_->Move(value);
    } catch (const AppError& e) {
        steps_.clear();
        finish({Outcome::Failed, e.number(), e.description()});
        return;
    }
    // Accepted: only now does a relative focuser's record move.
    if (!driver_->absolute()) relative_ += value;
    waiting_ = true;
    deadline_ = platform::clock().monotonicMs() + kMoveTimeoutMs;
    poll_.setInterval(kPollMs);
}

void FocuserController::onPoll() {
    if (!waiting_) {
        poll_.setInterval(0);
        return;
    }
    bool stillMoving = false;
    try {
        stillMoving = driver_->IsMoving();
    } catch (const AppError& e) {
        steps_.clear();
        finish({Outcome::Failed, e.number(), e.description()});
        return;
    }
    if (!stillMoving) {
        waiting_ = false;
        poll_.setInterval(0);
        sendNext();
        return;
    }
    if (platform::clock().monotonicMs() >= deadline_) {
        steps_.clear();
        finish({Outcome::TimedOut, 0, {}});
    }
}

void FocuserController::cancel() {
    if (!moving()) return;
    steps_.clear();
    finish({Outcome::Cancelled, 0, {}});
}

void FocuserController::finish(const Result& result) {
    waiting_ = false;
    poll_.setInterval(0);
    Done done = std::move(done_);
    done_ = nullptr;
    if (done) done(result);
}

}  // namespace zelmora::focus

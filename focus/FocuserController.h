#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/drivers/Focuser.h"
#include "platform/time/Timer.h"

namespace zelmora::focus {

// The text boxes of the "Auto Focus" window and what their guards put back.
enum class GuardedBox { Amount, Frames, Iterations, Pause };
// The text a box keeps after its guard: `text` itself when it passes.
QString guardText(GuardedBox box, const QString& text);

// The focuser as the "Auto Focus" window drives it: the driver, the position
// record of a relative focuser, and moves made of steps that each wait for the
// focuser to stop before the next starts (polled on the program clock).
class FocuserController : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 100;
    // A move that has not ended by then is taken as stuck.
    static constexpr qint64 kMoveTimeoutMs = 120000;

    enum class Outcome { Done, Failed, TimedOut, Cancelled };
    struct Result {
        Outcome outcome = Outcome::Done;
        int number = 0;       // the driver's error number (Failed)
        QString description;  // the driver's description (Failed)
    };
    using Done = std::function<void(const Result&)>;

    explicit FocuserController(QObject* parent = nullptr);
    ~FocuserController() override;

    void setDriver(std::shared_ptr<drivers::Focuser> driver);
    drivers::Focuser* oFocuser() const { return driver_.get(); }
    bool hasDriver() const { return driver_ != nullptr; }
    // True only when a driver exists and its link reads True.
    bool linked() const;

    std::int32_t lRelativePosition() const { return relative_; }
    void setRelativePosition(std::int32_t value) { relative_ = value; }

    // Position for an absolute focuser, the counter for a relative one. Throws
    // the driver's error.
    std::int32_t GetFocuserPosition() const;
    // "Position:..., Maxstep:..., StepSize:..., Focuser Type:..., Connected:..."
    // with a line left out when its read fails; position is set when it was read.
    QString focuserInfo(std::optional<std::int32_t>* position = nullptr) const;

    // The driver's Move values for each kind of move (throws the driver's error
    // when a read fails). A step out with backlash b > 0 overshoots by b and
    // comes back by b, so that it ends on an inward move; a move to a position
    // is one move, without compensation.
    std::vector<std::int32_t> planMoveIn(std::int32_t amount) const;
    std::vector<std::int32_t> planMoveOut(std::int32_t amount, std::int32_t backlash) const;
    std::vector<std::int32_t> planMoveTo(std::int32_t target) const;

    // Sends the steps one by one: each Move once the focuser has stopped after
    // the previous one, then waits for the last to end. A relative focuser's
    // counter changes only by the steps the driver accepted. `done` runs once,
    // from the clock's timer (or at once when the first Move fails).
    // A second call while moving is refused (returns false).
    bool runMoves(std::vector<std::int32_t> steps, Done done);
    bool moving() const { return !steps_.empty() || waiting_; }
    // Ends the wait in progress: done is called with Cancelled. The focuser
    // itself finishes the move it was given.
    void cancel();

    // Calls made to the driver, for the trace.
    static QString describe(const std::vector<std::int32_t>& steps);

private:
    void sendNext();
    void onPoll();
    void finish(const Result& result);

    std::shared_ptr<drivers::Focuser> driver_;
    std::int32_t relative_ = 0;
    std::vector<std::int32_t> steps_;
    bool waiting_ = false;
    qint64 deadline_ = 0;
    Done done_;
    platform::Timer poll_;
};

}  // namespace zelmora::focus

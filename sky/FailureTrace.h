#pragma once

#include <QString>

#include "platform/core/AppError.h"

namespace zelmora::sky {

// Traces the failures of a step that runs on a timer: a failure is written
// once, and again only after the step has succeeded or failed differently,
// so a driver that keeps failing does not flood the trace log.
class FailureTrace {
public:
    explicit FailureTrace(QString step) : step_(std::move(step)) {}

    // Call inside a catch block (or with the error at hand).
    void failed();
    void failed(const AppError& e);
    void failed(const QString& text);
    void succeeded() { last_.clear(); }
    bool failing() const { return !last_.isEmpty(); }

private:
    QString step_;
    QString last_;
};

}  // namespace zelmora::sky

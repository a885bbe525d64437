#pragma once

#include <QString>
#include <exception>
#include <utility>

#include "platform/core/AppError.h"

namespace zelmora {

// The failure in flight, as an AppError: AppErrors as they are, out of memory
// as 7, a range error as 9, any other failure as 5 with its text.
AppError currentError(std::exception_ptr e = std::current_exception());

// Trap-and-trace: records the procedure's name in sCurrentProc, runs the body
// and, when it fails, writes the error trace line and returns false. Nothing
// escapes, so it is safe around every Qt event handler.
template <typename F>
bool trapAndTrace(const QString& procName, F&& body);

// Skip-on-failure: runs one guarded step; a failing step is skipped silently.
template <typename F>
bool guarded(F&& step) noexcept {
    try {
        std::forward<F>(step)();
        return true;
    } catch (...) {
        return false;
    }
}

namespace detail {
void setCurrentProc(const QString& name);
void traceCurrentError();
}  // namespace detail

template <typename F>
bool trapAndTrace(const QString& procName, F&& body) {
    try {
        detail::setCurrentProc(procName);
        std::forward<F>(body)();
        return true;
    } catch (...) {
        try {
            detail::traceCurrentError();
        } catch (...) {
        }
        return false;
    }
}

}  // namespace zelmora

#pragma once

#include <functional>

#include "platform/core/AppError.h"

namespace zelmora::testenv {

// The number of the AppError that f raises, or 0 when it raises none (no error
// has the number 0).
inline int errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace zelmora::testenv

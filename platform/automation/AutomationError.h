#pragma once

#include "platform/core/Api.h"

#include "platform/core/AppError.h"

ZELMORA_API_BEGIN

namespace zelmora::automation {

// A failure at the automation boundary: a number, a source and a description, so
// that the host's trap-and-trace handlers report it as they report any error.
class AutomationError : public AppError {
public:
    using AppError::AppError;
    ~AutomationError() override;

    // The numbers are AppError's (AutomationError::kCantCreateObject and so on).
};

}  // namespace zelmora::automation

ZELMORA_API_END

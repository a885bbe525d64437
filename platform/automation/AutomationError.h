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

    enum Number : int {
        kInvalidProcedureCall = 5,
        kOverflow = 6,
        kTypeMismatch = 13,
        kFileNotFound = 53,
        kPathFileAccess = 75,
        kSetNotSupported = 383,
        kGetNotSupported = 394,
        kCantCreateObject = 429,
        kNoSuchInterface = 430,  // the class is not what the caller asked for
        kMemberNotFound = 438,   // no property or method with that identifier
        kWrongArgumentCount = 450,
        kEntryPointNotFound = 453,  // the library lacks a required function
    };
};

}  // namespace zelmora::automation

ZELMORA_API_END

#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <exception>
#include <string>

ZELMORA_API_BEGIN

namespace zelmora {

// A failure as the program reports it: a number, the place it came from and a
// description. Conventional numbers keep the trace lines informative.
class AppError : public std::exception {
public:
    // The one list of the numbers in use; every subsystem names them from here.
    enum Number : int {
        kInvalidProcedureCall = 5,
        kOverflow = 6,
        kOutOfMemory = 7,
        kSubscriptOutOfRange = 9,
        kDivisionByZero = 11,
        kTypeMismatch = 13,
        kFileNotFound = 53,
        kPathFileAccess = 75,
        kPathNotFound = 76,
        kObjectVariableNotSet = 91,
        kInvalidPropertyValue = 380,
        kSetNotSupported = 383,
        kGetNotSupported = 394,
        kObjectRequired = 424,
        kCantCreateObject = 429,
        kNoSuchInterface = 430,  // the class is not what the caller asked for
        kObjectDoesntSupport = 438,
        kMemberNotFound = kObjectDoesntSupport,  // no property or method with that identifier
        kWrongArgumentCount = 450,
        kEntryPointNotFound = 453,  // the library lacks a required function
        kInvalidPicture = 481,
    };

    AppError(int number, QString source, QString description);

    int number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString source_;
    QString description_;
    std::string what_;
};

}  // namespace zelmora

ZELMORA_API_END

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
    enum Number : int {
        kOverflow = 6,
        kSubscriptOutOfRange = 9,
        kTypeMismatch = 13,
        kFileNotFound = 53,
        kPathFileAccess = 75,
        kPathNotFound = 76,
        kInvalidProcedureCall = 5,
        kObjectRequired = 424,
        kCantCreateObject = 429,
        kObjectDoesntSupport = 438,
        kSetNotSupported = 383,
        kGetNotSupported = 394,
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

#include "platform/core/AppError.h"

namespace zelmora {

AppError::AppError(int number, QString source, QString description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {
    what_ = (description_ + QStringLiteral(" (") + QString::number(number_) + QStringLiteral(", ") +
             source_ + QStringLiteral(")"))
                .toStdString();
}

}  // namespace zelmora

#include "sky/FailureTrace.h"

#include "shell/Errors.h"
#include "shell/Globals.h"

namespace zelmora::sky {

void FailureTrace::failed() {
    failed(currentError());
}

void FailureTrace::failed(const AppError& e) {
    failed(QStringLiteral("Error in: ") + step_ + QStringLiteral(" with error:") + e.description() +
           u' ' + QString::number(e.number()));
}

void FailureTrace::failed(const QString& text) {
    if (text == last_) return;
    last_ = text;
    Globals::WriteLogLine(text);
}

}  // namespace zelmora::sky

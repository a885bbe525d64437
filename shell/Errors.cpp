#include "shell/Errors.h"

#include <new>
#include <stdexcept>

#include "shell/Globals.h"
#include "shell/ProgramState.h"

namespace zelmora {

AppError currentError(std::exception_ptr e) {
    try {
        if (e) std::rethrow_exception(e);
    } catch (const AppError& err) {
        return err;
    } catch (const std::bad_alloc&) {
        return AppError(AppError::kOutOfMemory, QStringLiteral("Zelmora"),
                        QStringLiteral("Out of memory"));
    } catch (const std::out_of_range& err) {
        return AppError(AppError::kSubscriptOutOfRange, QStringLiteral("Zelmora"),
                        QStringLiteral("Subscript out of range"));
    } catch (const std::exception& err) {
        return AppError(AppError::kInvalidProcedureCall, QStringLiteral("Zelmora"),
                        QString::fromLocal8Bit(err.what()));
    } catch (...) {
    }
    return AppError(AppError::kInvalidProcedureCall, QStringLiteral("Zelmora"),
                    QStringLiteral("Unknown error"));
}

namespace detail {
void setCurrentProc(const QString& name) {
    state().sCurrentProc = name;
}
void traceCurrentError() {
    Globals::traceError(currentError());
}
}  // namespace detail

}  // namespace zelmora

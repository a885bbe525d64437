#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/automation/Control.h"

ZELMORA_API_BEGIN

// Creation by class name: the registry names the library, which is loaded once
// (and never unloaded: its code may still be on a stack or in Qt's tables) and
// asked for the class's factory. Every way this can fail throws AppError
// (AutomationError) with a description naming the class, the library and the
// cause: not registered (429), registry unreadable (75), library missing (53),
// library not loadable (429, with the loader's message), function missing (453),
// other interface version (429), class not provided or not created (429), not a
// control (430).
namespace zelmora::automation {

std::unique_ptr<IDispatchLike> createObject(std::string_view classNameOrClsid);
std::unique_ptr<IControl> createControl(std::string_view classNameOrClsid);

// Runs a library's own registration or unregistration (the registration tool, the
// tests, an installer). Returns the library's result code; throws as above when
// the library cannot be loaded or lacks the function.
std::int32_t registerLibrary(const QString& path);
std::int32_t unregisterLibrary(const QString& path);

// The library's answer to DllCanUnloadNow (true: no live objects).
bool canUnloadNow(const QString& path);

}  // namespace zelmora::automation

ZELMORA_API_END

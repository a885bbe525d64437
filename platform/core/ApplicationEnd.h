#pragma once

#include "platform/core/Api.h"

#include <functional>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Statics are destroyed after Qt's own globals, too late for a Qt object they
// still hold. A holder with static lifetime registers here how it lets go of
// its Qt objects; when the application object ends (the program's or a test
// main's), the registered routines run, newest first. Then every object still
// scheduled for deletion is deleted, what the routines scheduled included, so
// that nothing scheduled outlives the application.
void atApplicationEnd(std::function<void()> letGo);

}  // namespace zelmora::platform

ZELMORA_API_END

#pragma once

// The shared services (errors, clock, dialogs, settings) live in one shared
// library that the program and every control it loads link, so there is one copy
// of each in the process. Libraries build with hidden symbols; a header whose
// declarations are part of a shared library's interface wraps them in these.
#define ZELMORA_API_BEGIN _Pragma("GCC visibility push(default)")
#define ZELMORA_API_END _Pragma("GCC visibility pop")

#pragma once

#include "platform/core/Api.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/automation/ClassRegistry.h"
#include "platform/automation/Control.h"

ZELMORA_API_BEGIN

// The boundary between a host and a library of automation classes: a few C
// functions that the library exports and the host finds with dlsym.
//
//   std::int32_t AutomationAbiVersion();          // must equal kAutomationAbiVersion
//   std::int32_t DllRegisterServer();             // 0, kSelfRegTypeLibError or kSelfRegClassError
//   std::int32_t DllUnregisterServer();           // the same
//   std::int32_t DllGetClassObject(const char* clsid, IClassFactory** factory);
//                                                 // 0, or kClassNotAvailable
//   std::int32_t DllCanUnloadNow();               // 0: no live objects; 1: some
//
// A library defines the version function with ZELMORA_AUTOMATION_ABI() and the
// other four itself (registerModule/unregisterModule do the registry work).
// The version changes whenever the interfaces in this folder change shape.

#define ZELMORA_AUTOMATION_EXPORT extern "C" __attribute__((visibility("default")))
#define ZELMORA_AUTOMATION_ABI()                                    \
    ZELMORA_AUTOMATION_EXPORT std::int32_t AutomationAbiVersion() { \
        return ::zelmora::automation::kAutomationAbiVersion;        \
    }

namespace zelmora::automation {

inline constexpr std::int32_t kAutomationAbiVersion = 1;

inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kFalse = 1;
inline constexpr std::int32_t kClassNotAvailable = std::int32_t(0x80040111u);
inline constexpr std::int32_t kSelfRegTypeLibError = std::int32_t(0x80040200u);
inline constexpr std::int32_t kSelfRegClassError = std::int32_t(0x80040201u);

using AutomationAbiVersionFn = std::int32_t (*)();
using DllRegisterServerFn = std::int32_t (*)();
using DllUnregisterServerFn = std::int32_t (*)();
using DllGetClassObjectFn = std::int32_t (*)(const char* clsid, IClassFactory** factory);
using DllCanUnloadNowFn = std::int32_t (*)();

// The path of the loaded library that holds the given address (one of its own
// functions), for the registry.
std::string modulePath(const void* addressInModule);

// For a library's DllRegisterServer: records the type library (if any), then each
// class with this library's path. Returns 0, kSelfRegTypeLibError when the type
// library could not be recorded, kSelfRegClassError when a class could not.
std::int32_t registerModule(const void* addressInModule, const TypeLibraryRegistration* typeLibrary,
                            const std::vector<ClassRegistration>& classes);
// For DllUnregisterServer: removes them again (absent entries are not an error).
std::int32_t unregisterModule(const TypeLibraryRegistration* typeLibrary,
                              const std::vector<ClassRegistration>& classes);

}  // namespace zelmora::automation

ZELMORA_API_END

#pragma once

#include "platform/core/Api.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

ZELMORA_API_BEGIN

// The class registry: which library provides which class. A JSON file maps a
// class name (ProgID, such as "VOSQUIN.VosquinCtrl.1") to a class identifier
// (CLSID, "{...}") and the library's path; type libraries are recorded beside.
// Its place is $XDG_CONFIG_HOME/zelmora/classes.json, or the file named by the
// environment variable ZELMORA_CLASS_REGISTRY, or the one set by setFile()
// (tests, the registration tool). Writes are atomic and serialised by a lock
// file; a missing file is an empty registry. Unreadable or damaged files throw
// AutomationError 75.
namespace zelmora::automation {

struct ClassRegistration {
    std::string clsid;
    std::string progId;
    std::string typeName;  // e.g. "Vosquin Control"
    std::string library;   // absolute path
    std::uint32_t miscStatus = 0;
};

struct TypeLibraryRegistration {
    std::string guid;
    std::string version;  // "1.0"
    std::string name;     // help string
    std::string library;
};

namespace registry {

QString file();
void setFile(const QString& path);  // empty: back to the default

// By class name (ignoring case, as class names are) or by class identifier.
std::optional<ClassRegistration> findClass(std::string_view classNameOrClsid);
std::vector<ClassRegistration> classes();
std::vector<TypeLibraryRegistration> typeLibraries();

// Adds or replaces (same class identifier or same class name).
void registerClass(const ClassRegistration& c);
// False when the class was not registered.
bool unregisterClass(std::string_view clsid);
void registerTypeLibrary(const TypeLibraryRegistration& t);
bool unregisterTypeLibrary(std::string_view guid, std::string_view version);

}  // namespace registry
}  // namespace zelmora::automation

ZELMORA_API_END

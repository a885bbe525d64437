#pragma once

#include <cstdint>

// The identities the library registers, and the one export beyond the four
// registration entry points:
//
//   void VosquinSetLogFolder(const char* folder);
//       The folder of logfile.txt for dialogs created from now on ("" or null: the
//       current folder). The host passes its application folder.
namespace zelmora::vosquin::module {

inline constexpr const char* kControlProgId = "VOSQUIN.VosquinCtrl.1";
inline constexpr const char* kControlClsid = "{5711C8E4-96F4-4C06-A1A9-1296BB158D9D}";
inline constexpr const char* kPropPageProgId = "VOSQUIN.VosquinPropPage.1";
inline constexpr const char* kPropPageClsid = "{8F3B6E2A-4C1D-4B7E-9A55-2E6D0C9B7F41}";
inline constexpr const char* kTypeLibraryGuid = "{5C7CD0A3-F434-40DE-A25F-FBA8D2283E59}";
// Recompose on resize, can't link inside, inside-out, activate when visible, set
// client site first.
inline constexpr std::uint32_t kMiscStatus = 0x20191;

using SetLogFolderFn = void (*)(const char*);
inline constexpr const char* kSetLogFolderSymbol = "VosquinSetLogFolder";

}  // namespace zelmora::vosquin::module

// The module as an in-process COM server: its class id, the class factory
// that makes CRegisterMenu objects, and its self-registration under
// HKEY_CLASSES_ROOT.
#pragma once

#include "shellext/com.h"

#include <string>

namespace shellext {

// The handler's class id, the same in the factory and in every registry entry.
inline constexpr com::CLSID CLSID_ParvexMenu = {
    0x6F3A2C1E, 0x8B47, 0x4D2A, {0x9E, 0x15, 0x3C, 0x7B, 0x0A, 0x5D, 0x9F, 0x21}};
inline constexpr const char* kProgId = "parvex";

// The module's own full path (where the code of this function was loaded from).
std::string ModulePath();

// Writes the class, ProgID and handler entries in one transaction; false
// (with nothing written) at the first write that fails.
bool RegisterServer();
// Removes them again in one transaction; entries already missing count as
// removed. False (with nothing removed) when the store cannot be changed.
bool UnregisterServer();

// Whether the handler is registered for files and/or folders: the class's
// InprocServer32 key and the handler key of each kind asked about.
bool MenuOffered(bool files, bool folders);

}  // namespace shellext

// Internal to the user-mode stand-in: the registered resources, for the calls that load them (strings, bitmaps
// and icons, menus, accelerators).
#pragma once

#include <string>
#include <vector>

#include "WinResourceTable.h"

namespace win32::internal {

// The store's key of a resource name or type: "#123" for an id, the upper-case name otherwise.
std::string ResourceKey(LPCSTR name);
// True when an injected failure takes this load (last error ERROR_RESOURCE_NAME_NOT_FOUND is set).
bool ResourceLoadFails();
// The bytes of a binary resource (bitmap and icon PNGs, raw data), valid for the life of the process; null with
// the last error set when there is none.
const std::vector<unsigned char>* FindResourceBytes(HMODULE module, LPCSTR type, LPCSTR name);
bool FindMenuResource(HMODULE module, LPCSTR name, std::vector<MenuResourceItem>& items);
bool FindAcceleratorResource(HMODULE module, LPCSTR name, std::vector<ACCEL>& entries);

} // namespace win32::internal

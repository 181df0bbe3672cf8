// The window system hears of Plug and Play changes from the moment it has a top-level window: every such
// window gets DBT_DEVNODES_CHANGED, registered for device interfaces or not.
#pragma once

namespace win32::internal {

// Starts listening to the kernel's device changes, once per process.
void ListenForDeviceChanges();

} // namespace win32::internal

// Kernel handles to registry keys (internal to the registry files of the kernel stand-in).
#pragma once

#include "NtHandleTable.h"
#include "NtRegistryStore.h"

namespace nt::registry {

struct KeyHandle : nt::handles::KernelObject {
    KeyRef key;
};

// The key a handle names and the access it grants, or STATUS_INVALID_HANDLE.
NTSTATUS KeyOfHandle(HANDLE handle, KeyRef& key, ACCESS_MASK& access);
// Generic rights (and MAXIMUM_ALLOWED) mapped to key rights.
ACCESS_MASK MapKeyAccess(ACCESS_MASK desired);

} // namespace nt::registry

// The kernel's handle table (internal). Registry keys, object-directory and symbolic-link handles opened by
// Zw* routines live here; ZwClose closes any of them. Kernel handle values have the top bit set, as on the
// platform, so they never collide with user-mode handles.
#pragma once

#include <memory>

#include "ntdef.h"
#include "ntstatus.h"

namespace nt::handles {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE Insert(std::shared_ptr<KernelObject> object, ACCESS_MASK grantedAccess);
// Null for an unknown handle.
std::shared_ptr<KernelObject> Lookup(HANDLE handle, ACCESS_MASK* grantedAccess = nullptr);
template <class T> std::shared_ptr<T> LookupAs(HANDLE handle, ACCESS_MASK* grantedAccess = nullptr) {
    return std::dynamic_pointer_cast<T>(Lookup(handle, grantedAccess));
}
NTSTATUS Close(HANDLE handle); // STATUS_INVALID_HANDLE for an unknown handle
size_t OpenCount();            // for tests that look for leaked handles
void Reset();                  // closes every handle

} // namespace nt::handles

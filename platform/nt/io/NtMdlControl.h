// Test control of memory descriptor lists (not part of the platform's interface): make system mappings fail,
// as they can when system address space runs short.
#pragma once

#include "ntdef.h"

namespace nt::mdl {

// The next `count` calls of MmMapLockedPagesSpecifyCache (and so MmGetSystemAddressForMdlSafe on an MDL not yet
// mapped) fail. 0 ends the failures. The kernel reset clears it.
void FailMappings(ULONG count);

} // namespace nt::mdl

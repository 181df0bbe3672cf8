// Simulation facts of the registry API: where its roots live in the machine's registry store.
#pragma once

#include <string>

#include "windef.h"

namespace win32 {

// The machine's one user: HKEY_CURRENT_USER is \Registry\User\<this>.
constexpr const char16_t* kCurrentUserSid = u"S-1-5-21-2718281828-3141592653-1618033988-1001";

// The store path of a predefined root ("\Registry\Machine" for HKEY_LOCAL_MACHINE); empty for anything else.
std::u16string RegistryRootPath(HKEY root);

} // namespace win32

// Internal to the user-mode stand-in: the one name space of named kernel objects (events, mutexes,
// semaphores, sections) of the machine's session. Names are case-sensitive, as the platform's are; "Local\"
// names the session's own name space and is dropped. An entry lives as long as its object does.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "WinHandles.h"

namespace win32::internal {

struct NamedLookup {
    std::shared_ptr<WinObject> object; // null when absent (open) or when make() failed (create)
    bool existed = false;
};

// The object named `name`, made by `make` (under the name space's lock, so racing creators agree on one
// object) when there is none yet.
NamedLookup CreateNamed(const char* name, const std::function<std::shared_ptr<WinObject>()>& make);
std::shared_ptr<WinObject> OpenNamed(const char* name);

} // namespace win32::internal

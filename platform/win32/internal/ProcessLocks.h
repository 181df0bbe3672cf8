// Internal to the user-mode stand-in: names that other processes of the machine can see, as exclusive locks on
// files in the state folder ("<state>/objects/<kind>-<name>.lock").
#pragma once

#include <string>

namespace win32::internal {

// Takes the lock of `name` for this process. Returns the descriptor that holds it (closing it lets go), or -1:
// `heldElsewhere` tells whether another holder has it (else the folder could not be used and the name stays
// local to this process).
int LockAcrossProcesses(const char* kind, const std::string& name, bool& heldElsewhere);

} // namespace win32::internal

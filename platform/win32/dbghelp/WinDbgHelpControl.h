// Simulation control of DbgHelp: a "dbghelp" module whose MiniDumpWriteDump writes a small stand-in dump (the
// "MDMP" signature, the dump type, the process and thread ids and the exception code) into the file it is
// given. A test or the program's entry registers it; one without it, or registered with no exports, is a
// machine without dumps.
#pragma once

#include "windef.h"

namespace win32 {

// The stand-in dump's layout (little-endian).
struct StubMinidump {
    char signature[4]; // "MDMP"
    DWORD dumpType;
    DWORD processId;
    DWORD threadId;      // of the exception information; 0 without one
    DWORD exceptionCode; // 0 without exception information
};
static_assert(sizeof(StubMinidump) == 20);

// Registers "dbghelp" (file "\Windows\System32\dbghelp.dll") with MiniDumpWriteDump.
void RegisterDbgHelpModule();

} // namespace win32

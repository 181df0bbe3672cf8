// Simulation control of the module stand-in: which modules the machine has and what they export. A test makes
// a module present, absent, or lacking an export by registering it (or not) with the exports it needs.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "windef.h"

namespace win32 {

struct ModuleExport {
    const char* name;
    FARPROC address;
};

// An export from a function of any signature; callers cast the result of GetProcAddress back to it.
template <class Function> ModuleExport Export(const char* name, Function* function) {
    // Through the generic function pointer type, which converts to any other without complaint.
    return ModuleExport{name, reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function))};
}

// Registers or replaces the module `name` (matched like LoadLibrary's names). `filePath` is what
// GetModuleFileName reports for it; by default "\Windows\System32\<name>.dll". Handles already given out for
// an earlier registration of the name stay valid until freed.
void RegisterModule(const char* name, std::initializer_list<ModuleExport> exports, const char* filePath = nullptr);
void RegisterModule(const char* name, const std::vector<ModuleExport>& exports, const char* filePath = nullptr);
void UnregisterModule(const char* name);
// Forgets every registered module; the system's own "ntdll" is registered again, as it is at start.
void ResetModules();
// Outstanding LoadLibrary references of the module registered under `name` (0 when none or unknown).
int ModuleLoadCount(const char* name);
// The key a module name is matched by: no folder, no ".dll"/".exe"/".ocx", lower case.
std::string ModuleKey(const char* name);

} // namespace win32

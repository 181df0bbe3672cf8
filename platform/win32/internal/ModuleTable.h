// Internal to the user-mode stand-in: module facts other parts of the stand-in read.
#pragma once

#include <string>
#include <vector>

#include "WinModulesControl.h"
#include "windef.h"

namespace win32::internal {

// The program's executable as the platform names it ("\work\build\Tindaloft").
std::string ProgramFilePath();
// The file path of a module handle (null = the program); false for an unknown handle.
bool ModuleFilePath(HMODULE module, std::string& path);
// The exports of the "ntdll" stand-in, which every machine has (registered at start and after a reset).
const std::vector<ModuleExport>& NtdllExports();

} // namespace win32::internal

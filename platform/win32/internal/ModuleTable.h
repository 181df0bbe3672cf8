// Internal to the user-mode stand-in: module facts other parts of the stand-in read.
#pragma once

#include <string>

#include "windef.h"

namespace win32::internal {

// The program's executable as the platform names it ("\work\build\Tindaloft").
std::string ProgramFilePath();
// The file path of a module handle (null = the program); false for an unknown handle.
bool ModuleFilePath(HMODULE module, std::string& path);

} // namespace win32::internal

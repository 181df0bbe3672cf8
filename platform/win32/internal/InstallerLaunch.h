// Internal to the user-mode stand-in: the shell hands an installer package it was asked to open to the
// Windows Installer stand-in.
#pragma once

#include <string>

namespace win32::internal {

// Logs `msiexec /i "<path>"` with its result; true when the package file exists.
bool LaunchInstallerPackage(const std::string& path);

} // namespace win32::internal

// Simulation control of the Windows Installer stand-in (msi.h): its log of calls, failures a test chooses,
// open handles, and packages for tests to write.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "windef.h"

namespace win32 {

// One call as the installer saw it: the function, its arguments as text and its result. A package started by
// the shell is logged as the function "msiexec" with the arguments "/i" and the package path.
struct InstallerCall {
    std::string function;
    std::vector<std::string> arguments;
    UINT result = 0;

    // "MsiVerifyPackageA(C:\x.msi) = 0"; a start reads as its command line: msiexec /i "C:\x.msi".
    std::string Text() const;
};

std::vector<InstallerCall> InstallerCalls();
// The next `count` calls of `function` (after `skip` that still succeed) return `result` without doing
// anything; count -1: every further call.
void FailInstallerCall(const std::string& function, UINT result, int count = -1, int skip = 0);
// Handles of the installer now open.
size_t OpenInstallerHandleCount();
// Forgets the log and the failures; open handles stay open.
void ResetInstaller();

// The bytes of a stand-in package with these summary properties.
std::string MakeInstallerPackage(const std::map<UINT, std::string>& properties);

} // namespace win32

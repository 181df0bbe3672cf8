// Build-time control of version resources: each module of ours registers its fixed block and string table
// here (a program does it from a static table), in place of the resource script of the platform's build.
//
//     static const bool registered = (win32::RegisterVersionResource(nullptr,
//         win32::MakeFixedFileInfo(3, 41, 0, 627), {{"040904b0", "FileVersion", "3, 41, 0, 627"}}), true);
#pragma once

#include <initializer_list>

#include "WinVersionInfo.h"

namespace win32 {

struct VersionString {
    const char* languageAndCodePage; // "040904b0"
    const char* name;                // "FileVersion"
    const char* value;
};

// A fixed block with file and product version major.minor.revision.build, signature and structure version
// set, for a Windows application.
VS_FIXEDFILEINFO MakeFixedFileInfo(WORD major, WORD minor, WORD revision, WORD build);

// Registers (or replaces) the version resource of the module `module`, matched by file name without folder,
// extension or case; null names the program itself.
void RegisterVersionResource(const char* module, const VS_FIXEDFILEINFO& fixed,
                             std::initializer_list<VersionString> strings);
void UnregisterVersionResource(const char* module);

} // namespace win32

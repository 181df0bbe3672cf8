#include "app/core/system/ProgramVersion.h"

#include "WinVersionControl.h"
#include "afx.h"

// The build passes the project version; a build without it is no release.
#ifndef TINDALOFT_VERSION_MAJOR
#error "the build defines TINDALOFT_VERSION_MAJOR, _MINOR, _REVISION and _BUILD"
#endif

PROGRAM_VERSION GetProgramVersion() {
    return PROGRAM_VERSION{TINDALOFT_VERSION_MAJOR, TINDALOFT_VERSION_MINOR, TINDALOFT_VERSION_REVISION,
                           TINDALOFT_VERSION_BUILD};
}

void RegisterProgramVersionResource() {
    const PROGRAM_VERSION v = GetProgramVersion();
    CString text;
    text.Format("%u, %u, %u, %u", v.Major, v.Minor, v.Revision, v.Build);
    win32::RegisterVersionResource(nullptr, win32::MakeFixedFileInfo(v.Major, v.Minor, v.Revision, v.Build),
                                   {{"040904b0", "CompanyName", "Vellumcrest"},
                                    {"040904b0", "FileDescription", "Tindaloft"},
                                    {"040904b0", "FileVersion", text},
                                    {"040904b0", "InternalName", "Tindaloft"},
                                    {"040904b0", "OriginalFilename", "Tindaloft.exe"},
                                    {"040904b0", "ProductName", "Tindaloft"},
                                    {"040904b0", "ProductVersion", text}});
}

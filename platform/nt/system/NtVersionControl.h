// Machine controls of the version routines (not part of the platform): which release the machine reports,
// Safe Mode, and the table MmGetSystemRoutineAddress resolves from.
#pragma once

#include <string_view>

#include "ntdef.h"

namespace nt::version {

enum class Release {
    Windows2000,  // 5.0.2195 SP4
    WindowsXP,    // 5.1.2600 SP2
    WindowsXPSP3, // 5.1.2600 SP3
    Server2003,   // 5.2.3790 SP2, server
    VistaSP0,     // 6.0.6000
    VistaSP1,     // 6.0.6001 SP1
    VistaSP2,     // 6.0.6002 SP2
    Windows7,     // 6.1.7601 SP1 (the default)
    Windows8,     // 6.2.9200
    Windows10,    // 10.0.19045
    // An early system whose kernel does not export the version routines: reports 5.0.2195 SP4 like
    // Windows2000, but MmGetSystemRoutineAddress finds neither RtlGetVersion, RtlVerifyVersionInfo nor
    // VerSetConditionMask.
    VersionRoutinesUnresolvable,
};

struct ReleaseInfo {
    ULONG major;
    ULONG minor;
    ULONG build;
    USHORT servicePackMajor;
    USHORT servicePackMinor;
    UCHAR productType;
    const char16_t* csdVersion;
};

void SelectRelease(Release release);
Release SelectedRelease();
ReleaseInfo Info(Release release);

void SetSafeBootMode(ULONG mode); // 0 = normal start
ULONG SafeBootMode();

// Adds (or replaces) a routine MmGetSystemRoutineAddress resolves; other parts of the kernel stand-in
// register theirs at start-up.
void RegisterSystemRoutine(std::u16string_view name, PVOID routine);

// Windows 7, normal start. Registered routines stay.
void Reset();

} // namespace nt::version

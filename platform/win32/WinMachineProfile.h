// Simulation control: the profile of the machine that user mode reports (version, processor, metrics, names).
// Tests change it to describe other releases; Reset brings back the default, a 64-bit Windows 7 SP1
// workstation named "TDL-WORKSTATION" used by "User".
#pragma once

#include <string>

#include "windef.h"

namespace win32 {

struct MachineProfile {
    DWORD majorVersion = 6;
    DWORD minorVersion = 1;
    DWORD buildNumber = 7601;
    DWORD platformId = 2; // VER_PLATFORM_WIN32_NT
    std::string servicePack = "Service Pack 1";
    WORD servicePackMajor = 1;
    WORD servicePackMinor = 0;
    WORD suiteMask = 0x0100; // VER_SUITE_SINGLEUSERTS
    BYTE productType = 1;    // VER_NT_WORKSTATION
    // GetVersionEx refuses the extended record, as systems before NT 4.0 SP6 do.
    bool refuseExtendedVersion = false;
    WORD processorArchitecture = 9; // PROCESSOR_ARCHITECTURE_AMD64
    DWORD numberOfProcessors = 4;
    int serverR2 = 0;    // GetSystemMetrics(SM_SERVERR2)
    int mediaCenter = 0; // GetSystemMetrics(SM_MEDIACENTER)
    int screenWidth = 1920;
    int screenHeight = 1080;
    // Empty: GetComputerName / GetUserName fail.
    std::string computerName = "TDL-WORKSTATION";
    std::string userName = "User";
};

MachineProfile GetMachineProfile();
void SetMachineProfile(const MachineProfile& profile);
void ResetMachineProfile();

} // namespace win32

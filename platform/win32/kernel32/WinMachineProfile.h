// Simulation control: the profile of the machine that user mode reports (version, processor, metrics, names).
// Tests change it to describe other releases; Reset brings back the default: the release the kernel reports
// (by default a 64-bit Windows 7 SP1 workstation) on a machine named "TDL-WORKSTATION" used by "User".
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
    // GetVersionEx fails for every record, as a broken or sandboxed system may.
    bool refuseVersion = false;
    WORD processorArchitecture = 9; // PROCESSOR_ARCHITECTURE_AMD64
    DWORD numberOfProcessors = 4;
    int serverR2 = 0;    // GetSystemMetrics(SM_SERVERR2)
    int mediaCenter = 0; // GetSystemMetrics(SM_MEDIACENTER)
    int screenWidth = 1920;
    int screenHeight = 1080;
    // Empty: GetComputerName / GetUserName fail.
    std::string computerName = "TDL-WORKSTATION";
    std::string userName = "User";
    // GlobalMemoryStatus: 8 GiB of memory, half of it free, and a 64-bit process's user address space.
    ULONGLONG totalPhysical = 8ULL << 30;
    ULONGLONG availablePhysical = 4ULL << 30;
    ULONGLONG totalVirtual = 0x7FFFFFE0000ULL;
    ULONGLONG availableVirtual = 0x7FFFF000000ULL;
};

// The profile in force: the one a test set, else the default with the version of the release the kernel
// reports (NtVersionControl.h).
MachineProfile GetMachineProfile();
void SetMachineProfile(const MachineProfile& profile);
void ResetMachineProfile();

// The machine's state folder on the host, where what outlives a process is kept (the locks that make named
// mutexes visible to other processes). Set by the simulated machine; until then the environment variable
// TINDALOFT_STATE_DIR, else "$XDG_DATA_HOME/tindaloft" (or "~/.local/share/tindaloft"). An empty text goes
// back to that default. Test processes that run side by side should each use a folder of their own: in
// TINDALOFT_STATE_DIR, "{pid}" stands for the process id ("/tmp/tdl-state-{pid}"), which also covers named
// mutexes that static initialisers create before any test code runs.
void SetStateFolder(const std::string& hostPath);
std::string StateFolder();

} // namespace win32

// What the running system says about itself: version, processor, metrics, computer and user name. The answers
// come from the machine profile (WinMachineProfile.h), by default a 64-bit Windows 7 SP1 workstation.
#pragma once

#include "windef.h"

// The wide records, the VER_* constants and VerSetConditionMask are shared with kernel mode.
#include "NtVersion.h"

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#ifndef VER_SUITE_BACKOFFICE
#define VER_SUITE_BACKOFFICE 0x00000004
#endif
#ifndef VER_SUITE_DATACENTER
#define VER_SUITE_DATACENTER 0x00000080
#endif
#ifndef VER_SUITE_BLADE
#define VER_SUITE_BLADE 0x00000400
#endif
#ifndef VER_SUITE_WH_SERVER
#define VER_SUITE_WH_SERVER 0x00008000
#endif

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;
static_assert(sizeof(OSVERSIONINFOA) == 148);

typedef struct _OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;
static_assert(sizeof(OSVERSIONINFOEXA) == 156 && offsetof(OSVERSIONINFOEXA, wSuiteMask) == 152);

typedef RTL_OSVERSIONINFOW OSVERSIONINFOW;
typedef PRTL_OSVERSIONINFOW LPOSVERSIONINFOW;
typedef RTL_OSVERSIONINFOEXW OSVERSIONINFOEXW;
typedef PRTL_OSVERSIONINFOEXW LPOSVERSIONINFOEXW;

typedef OSVERSIONINFOA OSVERSIONINFO;
typedef LPOSVERSIONINFOA LPOSVERSIONINFO;
typedef OSVERSIONINFOEXA OSVERSIONINFOEX;
typedef LPOSVERSIONINFOEXA LPOSVERSIONINFOEX;

// The record's dwOSVersionInfoSize selects the basic or the extended form; any other size fails with
// ERROR_INSUFFICIENT_BUFFER.
BOOL GetVersionExA(LPOSVERSIONINFOA versionInformation);
BOOL GetVersionExW(LPOSVERSIONINFOW versionInformation);
inline BOOL GetVersionEx(LPOSVERSIONINFOA versionInformation) {
    return GetVersionExA(versionInformation);
}

#define PROCESSOR_ARCHITECTURE_INTEL 0
#define PROCESSOR_ARCHITECTURE_IA64 6
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define PROCESSOR_ARCHITECTURE_UNKNOWN 0xFFFF
#define PROCESSOR_AMD_X8664 8664

typedef struct _SYSTEM_INFO {
    union {
        DWORD dwOemId;
        struct {
            WORD wProcessorArchitecture;
            WORD wReserved;
        };
    };
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
} SYSTEM_INFO, *LPSYSTEM_INFO;
static_assert(sizeof(SYSTEM_INFO) == 48 && offsetof(SYSTEM_INFO, lpMinimumApplicationAddress) == 8 &&
              offsetof(SYSTEM_INFO, dwNumberOfProcessors) == 32 && offsetof(SYSTEM_INFO, wProcessorLevel) == 44);

// The native form tells the machine's processor; the other one what a program of this build sees (the same
// for a 64-bit program).
void GetNativeSystemInfo(LPSYSTEM_INFO systemInfo);
void GetSystemInfo(LPSYSTEM_INFO systemInfo);

// Sizes are in bytes; on a 64-bit build they are 64 bits wide, so memory above 4 GiB reads true.
typedef struct _MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    SIZE_T dwTotalPhys;
    SIZE_T dwAvailPhys;
    SIZE_T dwTotalPageFile;
    SIZE_T dwAvailPageFile;
    SIZE_T dwTotalVirtual;
    SIZE_T dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;
static_assert(sizeof(MEMORYSTATUS) == 56 && offsetof(MEMORYSTATUS, dwTotalPhys) == 8 &&
              offsetof(MEMORYSTATUS, dwAvailVirtual) == 48);

void GlobalMemoryStatus(LPMEMORYSTATUS buffer);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CMONITORS 80
#define SM_TABLETPC 86
#define SM_MEDIACENTER 87
#define SM_STARTER 88
#define SM_SERVERR2 89
int GetSystemMetrics(int index);

#define MAX_COMPUTERNAME_LENGTH 15
#define UNLEN 256
// size: in, the buffer's characters; out, the characters copied without the NUL, or the size needed with it
// (ERROR_BUFFER_OVERFLOW) when the buffer is short.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size);
// size: in, the buffer's characters; out, the characters copied with the NUL, or the size needed with it
// (ERROR_INSUFFICIENT_BUFFER) when the buffer is short.
BOOL GetUserNameA(LPSTR buffer, LPDWORD size);
inline BOOL GetComputerName(LPSTR buffer, LPDWORD size) {
    return GetComputerNameA(buffer, size);
}
inline BOOL GetUserName(LPSTR buffer, LPDWORD size) {
    return GetUserNameA(buffer, size);
}

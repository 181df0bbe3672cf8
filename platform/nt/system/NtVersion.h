// Operating-system version routines, run-time routine lookup and the Safe Mode variable. The release they
// report is chosen by the machine (NtVersionControl.h).
//
// VerSetConditionMask and the VER_* constants are the same in user mode, which may include this header.
#pragma once

#include "ntdef.h"
#include "ntstatus.h"

typedef struct _OSVERSIONINFOW {
    ULONG dwOSVersionInfoSize;
    ULONG dwMajorVersion;
    ULONG dwMinorVersion;
    ULONG dwBuildNumber;
    ULONG dwPlatformId;
    WCHAR szCSDVersion[128];
} RTL_OSVERSIONINFOW, *PRTL_OSVERSIONINFOW;
static_assert(sizeof(RTL_OSVERSIONINFOW) == 276);

typedef struct _OSVERSIONINFOEXW {
    ULONG dwOSVersionInfoSize;
    ULONG dwMajorVersion;
    ULONG dwMinorVersion;
    ULONG dwBuildNumber;
    ULONG dwPlatformId;
    WCHAR szCSDVersion[128];
    USHORT wServicePackMajor;
    USHORT wServicePackMinor;
    USHORT wSuiteMask;
    UCHAR wProductType;
    UCHAR wReserved;
} RTL_OSVERSIONINFOEXW, *PRTL_OSVERSIONINFOEXW;
static_assert(sizeof(RTL_OSVERSIONINFOEXW) == 284 && offsetof(RTL_OSVERSIONINFOEXW, szCSDVersion) == 20 &&
              offsetof(RTL_OSVERSIONINFOEXW, wServicePackMajor) == 276 &&
              offsetof(RTL_OSVERSIONINFOEXW, wProductType) == 282);

#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 0x0000001
#define VER_NT_DOMAIN_CONTROLLER 0x0000002
#define VER_NT_SERVER 0x0000003
#define VER_SUITE_SMALLBUSINESS 0x00000001
#define VER_SUITE_ENTERPRISE 0x00000002
#define VER_SUITE_TERMINAL 0x00000010
#define VER_SUITE_SINGLEUSERTS 0x00000100
#define VER_SUITE_PERSONAL 0x00000200

// Type mask bits, in the order of their condition fields in a condition mask.
#define VER_MINORVERSION 0x0000001
#define VER_MAJORVERSION 0x0000002
#define VER_BUILDNUMBER 0x0000004
#define VER_PLATFORMID 0x0000008
#define VER_SERVICEPACKMINOR 0x0000010
#define VER_SERVICEPACKMAJOR 0x0000020
#define VER_SUITENAME 0x0000040
#define VER_PRODUCT_TYPE 0x0000080

#define VER_EQUAL 1
#define VER_GREATER 2
#define VER_GREATER_EQUAL 3
#define VER_LESS 4
#define VER_LESS_EQUAL 5
#define VER_AND 6
#define VER_OR 7
#define VER_CONDITION_MASK 7
#define VER_NUM_BITS_PER_CONDITION_MASK 3

// Puts Condition in the 3-bit field of each type bit set in TypeMask.
ULONGLONG VerSetConditionMask(ULONGLONG ConditionMask, ULONG TypeMask, UCHAR Condition);
#define VER_SET_CONDITION(m, t, c) ((m) = VerSetConditionMask((m), (t), (c)))

// Fills the structure (its dwOSVersionInfoSize must be 276 or 284; with 284 the extended fields too).
NTSTATUS RtlGetVersion(PRTL_OSVERSIONINFOW VersionInformation);
// STATUS_SUCCESS when the running release meets every condition, STATUS_REVISION_MISMATCH when it does not,
// STATUS_INVALID_PARAMETER for an empty type or condition mask. Major, minor and service-pack numbers compare
// as one version, most significant first, as on the platform.
NTSTATUS RtlVerifyVersionInfo(PRTL_OSVERSIONINFOEXW VersionInfo, ULONG TypeMask, ULONGLONG ConditionMask);
// FALSE: a free (non-checked) build.
BOOLEAN PsGetVersion(PULONG MajorVersion, PULONG MinorVersion, PULONG BuildNumber, PUNICODE_STRING CSDVersion);

// The address of an exported kernel routine named SystemRoutineName (exact case), or null.
PVOID MmGetSystemRoutineAddress(PUNICODE_STRING SystemRoutineName);

// Non-zero when the machine started in Safe Mode (SAFEBOOT_MINIMAL, _NETWORK or _DSREPAIR).
extern PULONG InitSafeBootMode;
#define SAFEBOOT_MINIMAL 1
#define SAFEBOOT_NETWORK 2
#define SAFEBOOT_DSREPAIR 3

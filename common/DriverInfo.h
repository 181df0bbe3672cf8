// DRIVER_INFO: the driver's 19-byte information block, answered to IOCTL_TINDALOFT_INFO. The application
// reads it first, as a version gate.
#pragma once

#include <cstddef>

#include "ntdef.h"

#pragma pack(push, 1)
typedef struct _DRIVER_INFO {
    UCHAR MajorVersion;
    UCHAR MinorVersion;
    USHORT Revision;
    USHORT Build;
    ULONG LogBlockSize;      // bytes of one log block; a read buffer of this size takes any block
    ULONG MemlogFlags;       // current event-ring switches
    UCHAR CaptureLogActive;  // 1 while the capture log accepts records
    UCHAR CaptureOnBoot;     // as loaded at start
    UCHAR CaptureOnceOnBoot; // as held before this request (the request clears it for later boots)
    UCHAR SafeMode;          // the system was started in Safe Mode
    UCHAR EnableMiniportHook;
} DRIVER_INFO, *PDRIVER_INFO;
#pragma pack(pop)

static_assert(sizeof(DRIVER_INFO) == 19 && alignof(DRIVER_INFO) == 1);
static_assert(offsetof(DRIVER_INFO, MajorVersion) == 0 && offsetof(DRIVER_INFO, MinorVersion) == 1 &&
              offsetof(DRIVER_INFO, Revision) == 2 && offsetof(DRIVER_INFO, Build) == 4 &&
              offsetof(DRIVER_INFO, LogBlockSize) == 6 && offsetof(DRIVER_INFO, MemlogFlags) == 10 &&
              offsetof(DRIVER_INFO, CaptureLogActive) == 14 && offsetof(DRIVER_INFO, CaptureOnBoot) == 15 &&
              offsetof(DRIVER_INFO, CaptureOnceOnBoot) == 16 && offsetof(DRIVER_INFO, SafeMode) == 17 &&
              offsetof(DRIVER_INFO, EnableMiniportHook) == 18);

// The driver's version, which the application requires exactly.
constexpr UCHAR TINDALOFT_DRIVER_MAJOR = 3;
constexpr UCHAR TINDALOFT_DRIVER_MINOR = 41;
constexpr USHORT TINDALOFT_DRIVER_REVISION = 0;
constexpr USHORT TINDALOFT_DRIVER_BUILD = 627;

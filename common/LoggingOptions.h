// LOGGING_OPTIONS: the 325-byte capture settings block, the same in both directions
// (IOCTL_TINDALOFT_SET_LOGGING_OPTIONS and IOCTL_TINDALOFT_GET_LOGGING_OPTIONS). The three size fields lie
// at odd offsets; the struct is packed, so copy it in and out with memcpy (ReadStruct/WriteStruct).
#pragma once

#include <cstddef>

#include "common/FilterBlock.h"
#include "ntdef.h"

#pragma pack(push, 1)
typedef struct _LOGGING_OPTIONS {
    UCHAR Reserved[2];         // never read, never written by the driver
    UCHAR CaptureBulk;         // bulk and interrupt transfer data captured
    ULONG BulkMaxSize;         // bulk/interrupt data bytes kept per transfer
    UCHAR CaptureCtrl;         // control transfer data captured
    ULONG CtrlMaxSize;         // control data bytes kept per transfer
    UCHAR CaptureIsoch;        // isochronous transfer data captured
    ULONG IsochMaxSize;        // isochronous data bytes kept per transfer
    UCHAR CaptureUrbs;         // URB requests
    UCHAR CaptureHubInterface; // hub-interface calls: always 0
    UCHAR CaptureUsbportHook;  // port-driver hook: always 0
    UCHAR CaptureUsbIntern;    // other internal USB requests
    UCHAR CaptureHubIoctl;     // hub device-control requests
    UCHAR CaptureHcdIoctl;     // host-controller device-control requests
    UCHAR CaptureHidIoctl;     // HID device-control requests
    UCHAR CaptureHidIntern;    // HID internal requests
    UCHAR CapturePnp;          // Plug and Play requests
    UCHAR CapturePower;        // power requests
    UCHAR FilterPresent;       // non-zero: the filter block is in force
    FILTER_BLOCK Filter;       // capture filter
} LOGGING_OPTIONS, *PLOGGING_OPTIONS;
#pragma pack(pop)

static_assert(sizeof(LOGGING_OPTIONS) == 325 && alignof(LOGGING_OPTIONS) == 1);
static_assert(offsetof(LOGGING_OPTIONS, CaptureBulk) == 2 && offsetof(LOGGING_OPTIONS, BulkMaxSize) == 3 &&
              offsetof(LOGGING_OPTIONS, CaptureCtrl) == 7 && offsetof(LOGGING_OPTIONS, CtrlMaxSize) == 8 &&
              offsetof(LOGGING_OPTIONS, CaptureIsoch) == 12 && offsetof(LOGGING_OPTIONS, IsochMaxSize) == 13 &&
              offsetof(LOGGING_OPTIONS, CaptureUrbs) == 17 && offsetof(LOGGING_OPTIONS, CaptureHubInterface) == 18 &&
              offsetof(LOGGING_OPTIONS, CaptureUsbportHook) == 19 &&
              offsetof(LOGGING_OPTIONS, CaptureUsbIntern) == 20 && offsetof(LOGGING_OPTIONS, CaptureHubIoctl) == 21 &&
              offsetof(LOGGING_OPTIONS, CaptureHcdIoctl) == 22 && offsetof(LOGGING_OPTIONS, CaptureHidIoctl) == 23 &&
              offsetof(LOGGING_OPTIONS, CaptureHidIntern) == 24 && offsetof(LOGGING_OPTIONS, CapturePnp) == 25 &&
              offsetof(LOGGING_OPTIONS, CapturePower) == 26 && offsetof(LOGGING_OPTIONS, FilterPresent) == 27 &&
              offsetof(LOGGING_OPTIONS, Filter) == 28);

// The largest per-transfer size the application offers; the driver clamps larger settings to it, so one
// transfer gives at most one record and 15 continuation records.
// A size is not kept as sent: an unchecked one would let one transfer fill the log with its continuations.
constexpr ULONG LOGGING_OPTIONS_MAX_SIZE = 1048576;
// The default per-transfer size of the three size settings.
constexpr ULONG LOGGING_OPTIONS_DEFAULT_SIZE = 65536;

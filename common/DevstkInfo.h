// DEVSTK_INFO_REQUEST: the in/out block of IOCTL_TINDALOFT_GET_DEVSTK_INFO. The application keeps the
// answers whole, this 8-byte head included, and stores them in capture files in that form.
#pragma once

#include <cstddef>

#include "ntdef.h"

#pragma pack(push, 1)
typedef struct _DEVSTK_INFO_REQUEST {
    USHORT StackID;   // the device stack asked about
    USHORT Selector;  // DEVSTK_* below
    ULONG DataLength; // capacity of the data area (257), or the length passed down (260)
    UCHAR Data[1];    // filled on return
} DEVSTK_INFO_REQUEST, *PDEVSTK_INFO_REQUEST;
#pragma pack(pop)

static_assert(offsetof(DEVSTK_INFO_REQUEST, StackID) == 0 && offsetof(DEVSTK_INFO_REQUEST, Selector) == 2 &&
              offsetof(DEVSTK_INFO_REQUEST, DataLength) == 4 && offsetof(DEVSTK_INFO_REQUEST, Data) == 8);

// The head before the data area; also the smallest buffer the request takes.
constexpr ULONG DEVSTK_INFO_HEADER_SIZE = 8;

constexpr USHORT DEVSTK_DEVICE_DESCRIPTOR = 256;
constexpr USHORT DEVSTK_CONFIG_DESCRIPTOR = 257;
constexpr USHORT DEVSTK_HUB_DESCRIPTOR = 258;
constexpr USHORT DEVSTK_CONNECTION_INFORMATION = 259;
constexpr USHORT DEVSTK_DRIVERKEY_NAME = 260;

// Smallest buffer (head included) each selector accepts.
constexpr ULONG DEVSTK_DEVICE_DESCRIPTOR_MIN = 26;      // head + an 18-byte device descriptor
constexpr ULONG DEVSTK_CONFIG_DESCRIPTOR_MIN = 17;      // head + a 9-byte configuration descriptor
constexpr ULONG DEVSTK_HUB_DESCRIPTOR_MIN = 79;         // head + the largest hub descriptor the stack keeps
constexpr ULONG DEVSTK_CONNECTION_INFORMATION_MIN = 43; // head + a 35-byte connection-information block
constexpr ULONG DEVSTK_DRIVERKEY_NAME_MIN = 18;
// The connection-information block passed down for selector 259 (ConnectionIndex as u32 at data offset 0).
constexpr ULONG DEVSTK_CONNECTION_INFORMATION_SIZE = 35;

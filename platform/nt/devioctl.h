// Device I/O control codes, shared by kernel mode and user mode: device type in bits 16-31, required
// access in bits 14-15, function in bits 2-13, transfer method in bits 0-1.
#pragma once

#include "ntdef.h"

#define CTL_CODE(DeviceType, Function, Method, Access)                                                                 \
    (((ULONG)(DeviceType) << 16) | ((ULONG)(Access) << 14) | ((ULONG)(Function) << 2) | (ULONG)(Method))
#define DEVICE_TYPE_FROM_CTL_CODE(ctrlCode) (((ULONG)(ctrlCode)&0xffff0000) >> 16)
#define METHOD_FROM_CTL_CODE(ctrlCode) ((ULONG)((ctrlCode)&3))
#define FUNCTION_FROM_CTL_CODE(ctrlCode) (((ULONG)((ctrlCode)&0x3ffc)) >> 2)
#define ACCESS_FROM_CTL_CODE(ctrlCode) (((ULONG)((ctrlCode)&0xc000)) >> 14)

#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3

#define FILE_ANY_ACCESS 0
#define FILE_SPECIAL_ACCESS (FILE_ANY_ACCESS)
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002

typedef ULONG DEVICE_TYPE;
#define FILE_DEVICE_BUS_EXTENDER 0x0000002a
#define FILE_DEVICE_CONTROLLER 0x00000004
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_KEYBOARD 0x0000000b
#define FILE_DEVICE_MASS_STORAGE 0x0000002d
#define FILE_DEVICE_MOUSE 0x0000000f
#define FILE_DEVICE_NULL 0x00000015
#define FILE_DEVICE_PRINTER 0x00000018
#define FILE_DEVICE_UNKNOWN 0x00000022
#define FILE_DEVICE_USB FILE_DEVICE_UNKNOWN

static_assert(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS) == 0x222000);
static_assert(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x804, METHOD_NEITHER, FILE_WRITE_ACCESS) == 0x22A013);

// Node entries: what the driver reports about hooked drivers, device objects and device stacks, in node
// lists (DRVOBJ_NODES, DEVSTK_NODES, DEVSTK_NODES_EX), in SET_DEVOBJ_FLAGS requests and as the payload
// of change-log records. Every entry starts with u16 kind and u16 length (of the whole entry); a list ends
// with a 4-byte entry of kind 0 and length 0. Strings are NUL-terminated and NUL-padded within their width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "ntdef.h"

constexpr USHORT NODE_KIND_END = 0;
constexpr USHORT NODE_KIND_DRIVER = 1;
constexpr USHORT NODE_KIND_DEVICE = 2;
constexpr USHORT NODE_KIND_DEVSTK = 4; // kind 3 is never written

#pragma pack(push, 1)
typedef struct _NODE_HEADER {
    USHORT Kind;
    USHORT Length;
} NODE_HEADER, *PNODE_HEADER;

typedef struct _DRIVER_NODE {
    NODE_HEADER Header;  // kind 1, length 48
    CHAR DriverName[16]; // at most 15 characters
    ULONG64 DriverObject;
    ULONG DriverFlags;  // DRIVER_NODE_UNLOADED (0 in change-log records)
    ULONG64 HookTime;   // performance counter when hooked (0 in change-log records)
    ULONG64 UnloadTime; // performance counter at unload, 0 while loaded (0 in change-log records)
} DRIVER_NODE, *PDRIVER_NODE;

typedef struct _DEVICE_NODE {
    NODE_HEADER Header;  // kind 2, length 112
    CHAR DeviceName[64]; // at most 63 characters; empty for an unnamed device object
    ULONG64 DeviceObject;
    ULONG StatusFlags; // DEVOBJ_* below
    USHORT StackID;    // owning stack; 0 when it has none
    USHORT Position;   // in the stack, 0 = physical device object
    ULONG64 DriverObject;
    ULONG64 StartTime;   // performance counter
    ULONG64 RemovalTime; // performance counter, 0 while present
    USHORT BottomClass;  // 1-6, 0 when never classified
    USHORT UpperClass;   // 101-105, 0 when never classified
} DEVICE_NODE, *PDEVICE_NODE;

typedef struct _DEVSTK_NODE {
    NODE_HEADER Header; // kind 4, length 364
    USHORT StackID;
    USHORT ParentStackID;    // 0: none
    USHORT ChildStackIDs[8]; // the first eight children, unused slots 0
    CHAR DeviceDescription[64];
    CHAR EnumeratorName[16];
    CHAR ClassName[16];
    CHAR HardwareID[64];
    CHAR DeviceID[64];
    CHAR DriverKeyName[64];
    GUID ClassGuid;
    ULONG Removed;        // 0/1
    ULONG64 CreationTime; // performance counter
    ULONG64 RemovalTime;  // performance counter, 0 while present
    USHORT DeviceClass;   // 0 unknown; 1-255; DEVSTK_CLASS_FROM_INTERFACE; DEVSTK_CLASS_UNPARSED
    UCHAR DeviceSubClass;
    UCHAR DeviceProtocol;
    ULONG64 UsbDeviceHandle; // all ones for a host controller
    ULONG BosDescriptorSeen; // 0/1
} DEVSTK_NODE, *PDEVSTK_NODE;
#pragma pack(pop)

static_assert(sizeof(NODE_HEADER) == 4);
static_assert(sizeof(DRIVER_NODE) == 48 && offsetof(DRIVER_NODE, DriverName) == 4 &&
              offsetof(DRIVER_NODE, DriverObject) == 20 && offsetof(DRIVER_NODE, DriverFlags) == 28 &&
              offsetof(DRIVER_NODE, HookTime) == 32 && offsetof(DRIVER_NODE, UnloadTime) == 40);
static_assert(sizeof(DEVICE_NODE) == 112 && offsetof(DEVICE_NODE, DeviceName) == 4 &&
              offsetof(DEVICE_NODE, DeviceObject) == 68 && offsetof(DEVICE_NODE, StatusFlags) == 76 &&
              offsetof(DEVICE_NODE, StackID) == 80 && offsetof(DEVICE_NODE, Position) == 82 &&
              offsetof(DEVICE_NODE, DriverObject) == 84 && offsetof(DEVICE_NODE, StartTime) == 92 &&
              offsetof(DEVICE_NODE, RemovalTime) == 100 && offsetof(DEVICE_NODE, BottomClass) == 108 &&
              offsetof(DEVICE_NODE, UpperClass) == 110);
static_assert(sizeof(DEVSTK_NODE) == 364 && offsetof(DEVSTK_NODE, StackID) == 4 &&
              offsetof(DEVSTK_NODE, ParentStackID) == 6 && offsetof(DEVSTK_NODE, ChildStackIDs) == 8 &&
              offsetof(DEVSTK_NODE, DeviceDescription) == 24 && offsetof(DEVSTK_NODE, EnumeratorName) == 88 &&
              offsetof(DEVSTK_NODE, ClassName) == 104 && offsetof(DEVSTK_NODE, HardwareID) == 120 &&
              offsetof(DEVSTK_NODE, DeviceID) == 184 && offsetof(DEVSTK_NODE, DriverKeyName) == 248 &&
              offsetof(DEVSTK_NODE, ClassGuid) == 312 && offsetof(DEVSTK_NODE, Removed) == 328 &&
              offsetof(DEVSTK_NODE, CreationTime) == 332 && offsetof(DEVSTK_NODE, RemovalTime) == 340 &&
              offsetof(DEVSTK_NODE, DeviceClass) == 348 && offsetof(DEVSTK_NODE, DeviceSubClass) == 350 &&
              offsetof(DEVSTK_NODE, DeviceProtocol) == 351 && offsetof(DEVSTK_NODE, UsbDeviceHandle) == 352 &&
              offsetof(DEVSTK_NODE, BosDescriptorSeen) == 360);

constexpr USHORT NODE_END_SIZE = sizeof(NODE_HEADER);
constexpr USHORT DRIVER_NODE_SIZE = sizeof(DRIVER_NODE);
constexpr USHORT DEVICE_NODE_SIZE = sizeof(DEVICE_NODE);
constexpr USHORT DEVSTK_NODE_SIZE = sizeof(DEVSTK_NODE);

// DRIVER_NODE.DriverFlags
constexpr ULONG DRIVER_NODE_UNLOADED = 0x1;

// Device-object StatusFlags (driver node and the application's copy).
constexpr ULONG DEVOBJ_HOOKED = 0x01; // its driver is hooked
constexpr ULONG DEVOBJ_REMOVED = 0x04;
constexpr ULONG DEVOBJ_CAPTURE_OFF = 0x08; // its requests are not recorded
constexpr ULONG DEVOBJ_SELECTED = 0x10;    // its driver is to be hooked
constexpr ULONG DEVOBJ_REMOVING = 0x20;    // removal under way (driver only)
// A device object is loggable when its driver is selected and hooked.
constexpr bool DevobjLoggable(ULONG flags) {
    return (flags & (DEVOBJ_HOOKED | DEVOBJ_SELECTED)) == (DEVOBJ_HOOKED | DEVOBJ_SELECTED);
}

// DEVSTK_NODE.DeviceClass beyond the class codes 1-255.
constexpr USHORT DEVSTK_CLASS_FROM_INTERFACE = 512; // the ID gives class 00
constexpr USHORT DEVSTK_CLASS_UNPARSED = 513;       // the ID cannot be parsed, or is "USB\UNKNOWN"

// Entries of a SET_DEVOBJ_FLAGS request lie at this fixed stride; their length fields are not read.
constexpr size_t SET_DEVOBJ_FLAGS_STRIDE = DEVICE_NODE_SIZE;

// Copies `src` (up to its NUL or `srcLength` characters) into a fixed field of `width` bytes: at most
// width - 1 characters, the rest NUL.
void CopyNodeString(CHAR* field, size_t width, const char* src, size_t srcLength);
template <size_t N> inline void CopyNodeString(CHAR (&field)[N], const char* src, size_t srcLength) {
    CopyNodeString(field, N, src, srcLength);
}
// Characters of a fixed string field up to its first NUL (the whole width when it has none).
size_t NodeStringLength(const CHAR* field, size_t width);

// Walks a node list: each entry's kind and its bytes (as long as its length field says). Stops at the end
// entry, at the end of the bytes, or at a malformed entry (length below 4 or past the end); Error() tells
// the last two apart from a proper end.
class NodeListReader {
public:
    explicit NodeListReader(std::span<const uint8_t> list) : m_list(list) {}

    // The next entry before the end entry; false at the end of the list or at a malformed entry.
    bool Next(USHORT& kind, std::span<const uint8_t>& entry);

    bool Error() const { return m_error; } // malformed entry, or the list had no end entry
    bool Ended() const { return m_ended; } // the end entry was reached
    size_t Offset() const { return m_offset; }

private:
    std::span<const uint8_t> m_list;
    size_t m_offset = 0;
    bool m_error = false;
    bool m_ended = false;
};

// The system event log as drivers write it: allocate a packet, fill it, write it. The machine keeps written
// packets in a sink tests can read (NtErrorLogControl.h).
#pragma once

#include "ntdef.h"
#include "ntstatus.h"

typedef struct _IO_ERROR_LOG_PACKET {
    UCHAR MajorFunctionCode;
    UCHAR RetryCount;
    USHORT DumpDataSize;
    USHORT NumberOfStrings;
    USHORT StringOffset; // from the start of the packet
    USHORT EventCategory;
    NTSTATUS ErrorCode;
    ULONG UniqueErrorValue;
    NTSTATUS FinalStatus;
    ULONG SequenceNumber;
    ULONG IoControlCode;
    LARGE_INTEGER DeviceOffset;
    ULONG DumpData[1];
} IO_ERROR_LOG_PACKET, *PIO_ERROR_LOG_PACKET;
static_assert(sizeof(IO_ERROR_LOG_PACKET) == 48 && offsetof(IO_ERROR_LOG_PACKET, ErrorCode) == 12 &&
              offsetof(IO_ERROR_LOG_PACKET, DeviceOffset) == 32 && offsetof(IO_ERROR_LOG_PACKET, DumpData) == 40);

// The largest packet (header, dump data and strings), in bytes.
#define ERROR_LOG_MAXIMUM_SIZE 240

// A zeroed packet of EntrySize bytes written against IoObject (a driver or device object), or null when
// EntrySize is out of range or no memory is left.
PVOID IoAllocateErrorLogEntry(PVOID IoObject, UCHAR EntrySize);
// Queues the packet to the event log; the packet belongs to the system afterwards.
void IoWriteErrorLogEntry(PVOID ElEntry);
// Gives back a packet that will not be written.
void IoFreeErrorLogEntry(PVOID ElEntry);

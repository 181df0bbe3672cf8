// The driver's own pool allocations: non-paged, tagged "KxTd", zeroed. Log blocks have their own tags and
// fill (Log.h); everything else the driver allocates goes through here.
//
// Locks: none.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"

// "KxTd" in memory byte order; also the mark the driver writes into requests it sends itself.
constexpr ULONG KXTD_POOL_TAG = FourCC("KxTd");

// Zeroed non-paged memory with the driver's tag, or null.
inline PVOID DriverAllocate(SIZE_T size) {
    PVOID memory = ExAllocatePoolWithTag(NonPagedPool, size, KXTD_POOL_TAG);
    if (memory != nullptr) {
        RtlZeroMemory(memory, size);
    }
    return memory;
}

inline void DriverFree(PVOID memory) {
    if (memory != nullptr) {
        ExFreePoolWithTag(memory, KXTD_POOL_TAG);
    }
}

// Copies `source` into `destination` with a pool buffer of its own (length + 2 bytes, NUL-terminated).
// STATUS_INSUFFICIENT_RESOURCES when the buffer cannot be had; `destination` is then empty.
NTSTATUS DriverCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source);
// Frees a copy made by DriverCopyUnicodeString and empties the string (an empty string is left alone).
void DriverFreeUnicodeString(PUNICODE_STRING string);

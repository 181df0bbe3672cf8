// Counted-string copies with their own pool buffers.
//
// Locks: none.
#include "driver/core/Pool.h"

NTSTATUS DriverCopyUnicodeString(PUNICODE_STRING destination, PCUNICODE_STRING source) {
    destination->Length = 0;
    destination->MaximumLength = 0;
    destination->Buffer = nullptr;
    const USHORT length = source->Length;
    if (length > UNICODE_STRING_MAX_BYTES - sizeof(WCHAR)) {
        return STATUS_INVALID_PARAMETER;
    }
    const USHORT size = static_cast<USHORT>(length + sizeof(WCHAR));
    PWSTR buffer = static_cast<PWSTR>(DriverAllocate(size));
    if (buffer == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    if (length != 0) {
        RtlCopyMemory(buffer, source->Buffer, length);
    }
    destination->Buffer = buffer;
    destination->Length = length;
    destination->MaximumLength = size;
    return STATUS_SUCCESS;
}

void DriverFreeUnicodeString(PUNICODE_STRING string) {
    DriverFree(string->Buffer);
    string->Buffer = nullptr;
    string->Length = 0;
    string->MaximumLength = 0;
}

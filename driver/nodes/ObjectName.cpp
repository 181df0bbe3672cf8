// Locks: none; the name query needs PASSIVE_LEVEL.
#include "driver/nodes/ObjectName.h"

#include "driver/core/Pool.h"

VOID ObjectNameQueryAnsi(PVOID Object, PCWSTR Prefix, CHAR* Out, USHORT Width) {
    PASSIVE_CODE();
    RtlZeroMemory(Out, Width);
    if (Width < 2) {
        return;
    }
    // Most names fit the buffer on the stack; a longer one is fetched again into pool.
    union {
        OBJECT_NAME_INFORMATION info;
        UCHAR bytes[sizeof(OBJECT_NAME_INFORMATION) + 128 * sizeof(WCHAR)];
    } local;
    POBJECT_NAME_INFORMATION answer = &local.info;
    PVOID allocated = nullptr;
    ULONG needed = 0;
    NTSTATUS status = ObQueryNameString(Object, answer, sizeof local, &needed);
    if (status == STATUS_INFO_LENGTH_MISMATCH && needed > sizeof local) {
        allocated = DriverAllocate(needed);
        if (allocated == nullptr) {
            return;
        }
        answer = static_cast<POBJECT_NAME_INFORMATION>(allocated);
        status = ObQueryNameString(Object, answer, needed, &needed);
    }
    if (NT_SUCCESS(status)) {
        UNICODE_STRING name = answer->Name;
        UNICODE_STRING head;
        RtlInitUnicodeString(&head, Prefix);
        if (RtlPrefixUnicodeString(&head, &name, TRUE)) {
            name.Buffer += head.Length / sizeof(WCHAR);
            name.Length = static_cast<USHORT>(name.Length - head.Length);
        }
        // Only the characters kept are converted, so a long name is cut rather than refused.
        const USHORT keep = static_cast<USHORT>(Width - 1);
        if (name.Length > keep * sizeof(WCHAR)) {
            name.Length = static_cast<USHORT>(keep * sizeof(WCHAR));
        }
        name.MaximumLength = name.Length;
        ANSI_STRING ansi;
        ansi.Buffer = Out;
        ansi.Length = 0;
        ansi.MaximumLength = Width; // the characters kept and a NUL
        if (NT_SUCCESS(RtlUnicodeStringToAnsiString(&ansi, &name, FALSE))) {
            RtlZeroMemory(Out + ansi.Length, Width - ansi.Length);
        } else {
            RtlZeroMemory(Out, Width);
        }
    }
    DriverFree(allocated);
}

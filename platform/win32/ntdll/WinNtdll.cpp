// The "ntdll" module: the native object-manager and string routines user mode binds at run time. They are the
// kernel's own routines, so user mode sees the very namespace, handle table and pool the drivers use. The
// system and object information queries are bound by callers but not provided.
#include <vector>

#include "NtObject.h"
#include "NtRtlString.h"
#include "WinModulesControl.h"
#include "internal/ModuleTable.h"

namespace win32::internal {
namespace {

NTSTATUS ZwQuerySystemInformation(ULONG, PVOID, ULONG, PULONG ReturnLength) {
    if (ReturnLength) {
        *ReturnLength = 0;
    }
    return STATUS_NOT_IMPLEMENTED;
}

NTSTATUS ZwQueryObject(HANDLE, ULONG, PVOID, ULONG, PULONG ReturnLength) {
    if (ReturnLength) {
        *ReturnLength = 0;
    }
    return STATUS_NOT_IMPLEMENTED;
}

} // namespace

const std::vector<ModuleExport>& NtdllExports() {
    static const std::vector<ModuleExport> exports = {
        Export("ZwQuerySystemInformation", &ZwQuerySystemInformation),
        Export("ZwClose", &::ZwClose),
        Export("ZwQueryObject", &ZwQueryObject),
        Export("ZwOpenDirectoryObject", &::ZwOpenDirectoryObject),
        Export("ZwQueryDirectoryObject", &::ZwQueryDirectoryObject),
        Export("ZwOpenSymbolicLinkObject", &::ZwOpenSymbolicLinkObject),
        Export("ZwQuerySymbolicLinkObject", &::ZwQuerySymbolicLinkObject),
        Export("RtlInitAnsiString", &::RtlInitAnsiString),
        Export("RtlAnsiStringToUnicodeString", &::RtlAnsiStringToUnicodeString),
        Export("RtlFreeUnicodeString", &::RtlFreeUnicodeString),
        Export("RtlFreeAnsiString", &::RtlFreeAnsiString),
        Export("RtlUnicodeStringToAnsiString", &::RtlUnicodeStringToAnsiString),
    };
    return exports;
}

} // namespace win32::internal

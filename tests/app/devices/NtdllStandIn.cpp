#include "tests/app/devices/NtdllStandIn.h"

#include <cstring>
#include <mutex>

#include "NtObject.h"
#include "NtRtlString.h"
#include "NtText.h"
#include "WinModulesControl.h"

namespace tdl::test {
namespace {

std::mutex g_lock;
std::vector<std::u16string> g_directories;

NTSTATUS NotImplemented(ULONG, PVOID, ULONG, PULONG) {
    return STATUS_NOT_IMPLEMENTED;
}
NTSTATUS NotImplementedObject(HANDLE, ULONG, PVOID, ULONG, PULONG) {
    return STATUS_NOT_IMPLEMENTED;
}

NTSTATUS NotingOpenDirectory(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes) {
    {
        std::lock_guard guard(g_lock);
        g_directories.emplace_back(nt::text::View(attributes->ObjectName));
    }
    return ZwOpenDirectoryObject(handle, access, attributes);
}

} // namespace

void RegisterNtdll(const char* missingExport) {
    auto name = [missingExport](const char* export_) {
        return missingExport && std::strcmp(export_, missingExport) == 0 ? "(missing)" : export_;
    };
    win32::RegisterModule("ntdll",
                          {
                              win32::Export(name("ZwQuerySystemInformation"), &NotImplemented),
                              win32::Export(name("ZwClose"), &ZwClose),
                              win32::Export(name("ZwQueryObject"), &NotImplementedObject),
                              win32::Export(name("ZwOpenDirectoryObject"), &NotingOpenDirectory),
                              win32::Export(name("ZwQueryDirectoryObject"), &ZwQueryDirectoryObject),
                              win32::Export(name("ZwOpenSymbolicLinkObject"), &ZwOpenSymbolicLinkObject),
                              win32::Export(name("ZwQuerySymbolicLinkObject"), &ZwQuerySymbolicLinkObject),
                              win32::Export(name("RtlInitAnsiString"), &RtlInitAnsiString),
                              win32::Export(name("RtlAnsiStringToUnicodeString"), &RtlAnsiStringToUnicodeString),
                              win32::Export(name("RtlFreeUnicodeString"), &RtlFreeUnicodeString),
                              win32::Export(name("RtlFreeAnsiString"), &RtlFreeAnsiString),
                              win32::Export(name("RtlUnicodeStringToAnsiString"), &RtlUnicodeStringToAnsiString),
                          });
}

std::vector<std::u16string> OpenedDirectories() {
    std::lock_guard guard(g_lock);
    return g_directories;
}

void ClearOpenedDirectories() {
    std::lock_guard guard(g_lock);
    g_directories.clear();
}

} // namespace tdl::test

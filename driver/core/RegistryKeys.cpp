// Registry wrappers for the driver's own keys.
//
// Locks: none. PASSIVE_LEVEL only.
#include "driver/core/RegistryKeys.h"

#include "driver/core/Driver.h"

namespace {

constexpr ULONG KEY_ATTRIBUTES = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE;

} // namespace

NTSTATUS RegistryOpenKey(PHANDLE key, HANDLE parent, PCUNICODE_STRING name) {
    PASSIVE_CODE();
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, const_cast<PUNICODE_STRING>(name), KEY_ATTRIBUTES, parent, nullptr);
    *key = nullptr;
    return ZwOpenKey(key, KEY_ALL_ACCESS, &attributes);
}

NTSTATUS RegistryCreateKey(PHANDLE key, HANDLE parent, PCUNICODE_STRING name, PBOOLEAN created) {
    PASSIVE_CODE();
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, const_cast<PUNICODE_STRING>(name), KEY_ATTRIBUTES, parent, nullptr);
    ULONG disposition = 0;
    *key = nullptr;
    NTSTATUS status = ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE, &disposition);
    if (created != nullptr) {
        *created = NT_SUCCESS(status) && disposition == REG_CREATED_NEW_KEY;
    }
    return status;
}

NTSTATUS RegistryOpenServiceKey(PHANDLE key) {
    return RegistryOpenKey(key, nullptr, &g_Driver.RegistryPath);
}

NTSTATUS RegistryCreateServiceSubkey(PHANDLE key, PCWSTR name, PBOOLEAN created) {
    *key = nullptr;
    HANDLE serviceKey;
    NTSTATUS status = RegistryOpenServiceKey(&serviceKey);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    UNICODE_STRING subkeyName;
    RtlInitUnicodeString(&subkeyName, name);
    status = RegistryCreateKey(key, serviceKey, &subkeyName, created);
    ZwClose(serviceKey);
    return status;
}

NTSTATUS RegistryQueryDword(HANDLE key, PCWSTR name, PULONG value) {
    PASSIVE_CODE();
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    union {
        KEY_VALUE_PARTIAL_INFORMATION info;
        UCHAR bytes[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + sizeof(ULONG)];
    } answer;
    ULONG resultLength = 0;
    NTSTATUS status =
        ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, &answer, sizeof answer, &resultLength);
    if (status == STATUS_BUFFER_OVERFLOW) {
        return STATUS_OBJECT_TYPE_MISMATCH; // longer than a DWORD
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (answer.info.Type != REG_DWORD || answer.info.DataLength != sizeof(ULONG)) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    RtlCopyMemory(value, answer.info.Data, sizeof(ULONG));
    return STATUS_SUCCESS;
}

NTSTATUS RegistrySetDword(HANDLE key, PCWSTR name, ULONG value) {
    PASSIVE_CODE();
    UNICODE_STRING valueName;
    RtlInitUnicodeString(&valueName, name);
    return ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof value);
}

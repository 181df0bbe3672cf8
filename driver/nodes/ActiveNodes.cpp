// ActiveNodes: per-device-object capture state kept for a boot-time capture.
//
// Locks: none; PASSIVE_LEVEL only.
#include "driver/nodes/ActiveNodes.h"

#include "driver/core/RegistryKeys.h"

namespace {

constexpr PCWSTR ACTIVE_NODES_KEY = u"ActiveNodes";

// "<00>", "<01>" ... "<65535>": the value name of a position, NUL-terminated.
void ActiveNodeValueName(USHORT position, WCHAR (&name)[8]) {
    WCHAR digits[5];
    int count = 0;
    ULONG rest = position;
    do {
        digits[count++] = static_cast<WCHAR>(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (count < 2) {
        digits[count++] = u'0';
    }
    int out = 0;
    name[out++] = u'<';
    while (count > 0) {
        name[out++] = digits[--count];
    }
    name[out++] = u'>';
    name[out] = UNICODE_NULL;
}

BOOLEAN ActiveNodeHasPath(const ACTIVE_NODE_PATH* node) {
    static const GUID zero = {};
    return node->ClassGuid != nullptr && !(*node->ClassGuid == zero) && node->DriverKeyName != nullptr &&
           node->DriverKeyName[0] != '\0';
}

// Opens the stack's key below ActiveNodes; with `create`, creates ActiveNodes, the class-GUID key and the
// stack's key as needed.
NTSTATUS ActiveNodeOpenStackKey(const ACTIVE_NODE_PATH* node, BOOLEAN create, PHANDLE stackKey) {
    *stackKey = nullptr;
    HANDLE activeNodes;
    NTSTATUS status;
    if (create) {
        status = RegistryCreateServiceSubkey(&activeNodes, ACTIVE_NODES_KEY, nullptr);
    } else {
        HANDLE serviceKey;
        status = RegistryOpenServiceKey(&serviceKey);
        if (NT_SUCCESS(status)) {
            UNICODE_STRING name;
            RtlInitUnicodeString(&name, ACTIVE_NODES_KEY);
            status = RegistryOpenKey(&activeNodes, serviceKey, &name);
            ZwClose(serviceKey);
        }
    }
    if (!NT_SUCCESS(status)) {
        return status;
    }

    if (create) {
        UNICODE_STRING guidText;
        status = RtlStringFromGUID(*node->ClassGuid, &guidText);
        if (NT_SUCCESS(status)) {
            HANDLE classKey;
            status = RegistryCreateKey(&classKey, activeNodes, &guidText, nullptr);
            RtlFreeUnicodeString(&guidText);
            if (NT_SUCCESS(status)) {
                ZwClose(classKey);
            }
        }
    }

    if (NT_SUCCESS(status)) {
        ANSI_STRING driverKeyAnsi;
        RtlInitAnsiString(&driverKeyAnsi, node->DriverKeyName);
        UNICODE_STRING driverKey;
        status = RtlAnsiStringToUnicodeString(&driverKey, &driverKeyAnsi, TRUE);
        if (NT_SUCCESS(status)) {
            status = create ? RegistryCreateKey(stackKey, activeNodes, &driverKey, nullptr)
                            : RegistryOpenKey(stackKey, activeNodes, &driverKey);
            RtlFreeUnicodeString(&driverKey);
        }
    }
    ZwClose(activeNodes);
    return status;
}

// The name of subkey `index` of `key`, into `name` (pointing into `buffer`).
NTSTATUS SubkeyName(HANDLE key, ULONG index, KEY_BASIC_INFORMATION* buffer, ULONG bufferSize, PUNICODE_STRING name) {
    ULONG resultLength = 0;
    NTSTATUS status = ZwEnumerateKey(key, index, KeyBasicInformation, buffer, bufferSize, &resultLength);
    if (status == STATUS_BUFFER_OVERFLOW) {
        return STATUS_BUFFER_TOO_SMALL; // longer than any key name the registry allows
    }
    if (!NT_SUCCESS(status)) { // STATUS_NO_MORE_ENTRIES included
        return status;
    }
    name->Buffer = buffer->Name;
    name->Length = static_cast<USHORT>(buffer->NameLength);
    name->MaximumLength = name->Length;
    return STATUS_SUCCESS;
}

// Room for the longest key name (255 characters) after the fixed part.
union KeyNameBuffer {
    KEY_BASIC_INFORMATION info;
    UCHAR bytes[offsetof(KEY_BASIC_INFORMATION, Name) + 256 * sizeof(WCHAR)];
};

// Deletes every key below `classKey`, always the first remaining one.
NTSTATUS ClassKeyEmpty(HANDLE classKey) {
    KeyNameBuffer buffer;
    for (;;) {
        UNICODE_STRING name;
        NTSTATUS status = SubkeyName(classKey, 0, &buffer.info, sizeof buffer, &name);
        if (status == STATUS_NO_MORE_ENTRIES) {
            return STATUS_SUCCESS;
        }
        if (!NT_SUCCESS(status)) {
            return status;
        }
        HANDLE instanceKey;
        status = RegistryOpenKey(&instanceKey, classKey, &name);
        if (!NT_SUCCESS(status)) {
            return status;
        }
        status = ZwDeleteKey(instanceKey);
        ZwClose(instanceKey);
        if (!NT_SUCCESS(status)) {
            return status; // a key that cannot go would be found first again, for ever
        }
    }
}

} // namespace

BOOLEAN WriteActiveNode(const ACTIVE_NODE_PATH* node, ULONG value) {
    if (!ActiveNodeHasPath(node)) {
        return FALSE;
    }
    HANDLE stackKey;
    if (!NT_SUCCESS(ActiveNodeOpenStackKey(node, TRUE, &stackKey))) {
        return FALSE;
    }
    WCHAR valueName[8];
    ActiveNodeValueName(node->Position, valueName);
    NTSTATUS status = RegistrySetDword(stackKey, valueName, value);
    ZwClose(stackKey);
    return NT_SUCCESS(status);
}

BOOLEAN ReadActiveNode(const ACTIVE_NODE_PATH* node, PULONG value) {
    if (!ActiveNodeHasPath(node)) {
        return FALSE;
    }
    HANDLE stackKey;
    if (!NT_SUCCESS(ActiveNodeOpenStackKey(node, FALSE, &stackKey))) {
        return FALSE;
    }
    WCHAR valueName[8];
    ActiveNodeValueName(node->Position, valueName);
    NTSTATUS status = RegistryQueryDword(stackKey, valueName, value);
    ZwClose(stackKey);
    return NT_SUCCESS(status);
}

void DeleteActiveNode(const ACTIVE_NODE_PATH* node) {
    ULONG value;
    if (!ReadActiveNode(node, &value)) {
        return;
    }
    HANDLE stackKey;
    if (!NT_SUCCESS(ActiveNodeOpenStackKey(node, FALSE, &stackKey))) {
        return;
    }
    WCHAR valueName[8];
    ActiveNodeValueName(node->Position, valueName);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, valueName);
    ZwDeleteValueKey(stackKey, &name);
    ZwClose(stackKey);
}

NTSTATUS ClearActiveNodes(void) {
    HANDLE activeNodes;
    NTSTATUS status = RegistryCreateServiceSubkey(&activeNodes, ACTIVE_NODES_KEY, nullptr);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    KeyNameBuffer buffer;
    for (ULONG index = 0;; ++index) {
        UNICODE_STRING name;
        status = SubkeyName(activeNodes, index, &buffer.info, sizeof buffer, &name);
        if (status == STATUS_NO_MORE_ENTRIES) {
            status = STATUS_SUCCESS;
            break;
        }
        if (!NT_SUCCESS(status)) {
            break;
        }
        HANDLE classKey;
        status = RegistryOpenKey(&classKey, activeNodes, &name);
        if (!NT_SUCCESS(status)) {
            break;
        }
        status = ClassKeyEmpty(classKey);
        ZwClose(classKey);
        if (!NT_SUCCESS(status)) {
            break;
        }
    }
    ZwClose(activeNodes);
    return status;
}

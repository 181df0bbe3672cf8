// The stacks' cached descriptors, configuration handle and interface records (DescriptorCache.h).
//
// Locks: Stack->Interfaces.Lock around every change and read of a stack's cache fields, with the pipe
// table's lock taken under it while a configuration's pipe handles enter or leave the table. Pool is
// allocated before the lock is taken and freed after it is released.
#include "driver/stacktree/DescriptorCache.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "driver/capture/AddressCheck.h"
#include "driver/core/Pool.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

constexpr ULONG INTERFACE_HEAD_SIZE = offsetof(USBD_INTERFACE_INFORMATION, Pipes);
constexpr ULONG PIPE_SIZE = sizeof(USBD_PIPE_INFORMATION);
constexpr ULONG ALL_RECORDS = 0xFFFFFFFF;

KIRQL CacheLock(PDEVICE_STACK stack) {
    return KeAcquireSpinLockRaiseToDpc(&stack->Interfaces.Lock);
}
VOID CacheUnlock(PDEVICE_STACK stack, KIRQL irql) {
    KeReleaseSpinLock(&stack->Interfaces.Lock, irql);
}

PVOID* CacheField(PDEVICE_STACK stack, DESCRIPTOR_CACHE_KIND kind) {
    switch (kind) {
    case DescriptorCacheDevice: return &stack->DeviceDescriptor;
    case DescriptorCacheConfiguration: return &stack->ConfigDescriptor;
    case DescriptorCacheHub: return &stack->HubDescriptor;
    }
    return nullptr;
}

// The bytes a completed transfer brought back: the transfer buffer when it is valid memory, else the system
// mapping of the memory descriptor list (whose byte count bounds *length). Null when neither can be read.
const UCHAR* TransferBytes(PVOID buffer, PMDL mdl, ULONG* length) {
    if (*length == 0) {
        return nullptr;
    }
    if (AddressRangeIsValid(buffer, *length)) {
        return static_cast<const UCHAR*>(buffer);
    }
    if (!AddressRangeIsValid(mdl, sizeof(MDL))) {
        return nullptr;
    }
    *length = std::min(*length, MmGetMdlByteCount(mdl));
    return *length != 0 ? static_cast<const UCHAR*>(AddressOfMdlBytes(mdl)) : nullptr;
}

PDESCRIPTOR_COPY DescriptorCopyCreate(const UCHAR* bytes, ULONG length) {
    auto copy = static_cast<PDESCRIPTOR_COPY>(DriverAllocate(offsetof(DESCRIPTOR_COPY, Bytes) + length));
    if (copy != nullptr) {
        copy->Length = length;
        std::memcpy(copy->Bytes, bytes, length);
    }
    return copy;
}

// Puts `copy` (may be null) in place of the cached descriptor of `kind` and frees the old one.
VOID DescriptorReplace(PDEVICE_STACK stack, DESCRIPTOR_CACHE_KIND kind, PDESCRIPTOR_COPY copy) {
    PVOID* field = CacheField(stack, kind);
    const KIRQL irql = CacheLock(stack);
    PVOID old = *field;
    *field = copy;
    CacheUnlock(stack, irql);
    DriverFree(old);
}

VOID DescriptorCompleted(PDEVICE_STACK stack, DESCRIPTOR_CACHE_KIND kind, PVOID buffer, PMDL mdl, ULONG length) {
    const UCHAR* bytes = TransferBytes(buffer, mdl, &length);
    DescriptorReplace(stack, kind, bytes != nullptr ? DescriptorCopyCreate(bytes, length) : nullptr);
}

// Copies the run of interface information records at `run` into new records on `list`: each record's first
// u16 is its length; the walk stops at a length of 0, at a record longer than what remains, at a record too
// short to hold the interface head, after `limit` records, or when pool runs out.
VOID InterfaceRecordsCreate(const UCHAR* run, ULONG runLength, ULONG limit, PLIST_ENTRY list) {
    ULONG offset = 0;
    while (limit-- > 0 && runLength - offset >= sizeof(USHORT)) {
        USHORT length;
        std::memcpy(&length, run + offset, sizeof length);
        if (length == 0 || length > runLength - offset || length < INTERFACE_HEAD_SIZE) {
            break;
        }
        const SIZE_T size = offsetof(INTERFACE_RECORD, Info) + length;
        auto record = static_cast<PINTERFACE_RECORD>(
            DriverAllocate(size > sizeof(INTERFACE_RECORD) ? size : sizeof(INTERFACE_RECORD)));
        if (record == nullptr) {
            break;
        }
        std::memcpy(&record->Info, run + offset, length);
        const ULONG room = (length - INTERFACE_HEAD_SIZE) / PIPE_SIZE;
        record->PipeCount = record->Info.NumberOfPipes < room ? record->Info.NumberOfPipes : room;
        InsertTailList(list, &record->Links);
        offset += length;
    }
}

VOID InterfaceRecordsFree(PLIST_ENTRY list) {
    while (!IsListEmpty(list)) {
        DriverFree(CONTAINING_RECORD(RemoveHeadList(list), INTERFACE_RECORD, Links));
    }
}

// Enters the pipe handles of the records on `list` that the pipe table does not hold yet; stops at the first
// insertion that fails. The caller holds the stack's cache lock.
VOID InterfacePipesEnterLocked(PDEVICE_STACK stack, PLIST_ENTRY list) {
    for (PLIST_ENTRY link = list->Flink; link != list; link = link->Flink) {
        PINTERFACE_RECORD record = CONTAINING_RECORD(link, INTERFACE_RECORD, Links);
        for (ULONG i = 0; i < record->PipeCount; ++i) {
            const ULONG64 handle = reinterpret_cast<ULONG_PTR>(record->Info.Pipes[i].PipeHandle);
            if (handle == 0 || PipeTableContains(handle)) {
                continue;
            }
            if (!PipeTableInsert(handle, record, i, stack)) {
                return;
            }
        }
    }
}

// Moves the records of `list` to the end of the stack's interface list. The caller holds the cache lock.
VOID InterfaceRecordsAppendLocked(PDEVICE_STACK stack, PLIST_ENTRY list) {
    while (!IsListEmpty(list)) {
        InsertTailList(&stack->Interfaces.Head, RemoveHeadList(list));
        InterlockedIncrement(&stack->Interfaces.Count);
    }
}

// Moves the stack's interface records to `dropped`, their pipe handles out of the pipe table. The caller
// holds the cache lock.
VOID InterfaceRecordsDropLocked(PDEVICE_STACK stack, PLIST_ENTRY dropped) {
    while (!IsListEmpty(&stack->Interfaces.Head)) {
        PINTERFACE_RECORD record = CONTAINING_RECORD(RemoveHeadList(&stack->Interfaces.Head), INTERFACE_RECORD, Links);
        InterlockedDecrement(&stack->Interfaces.Count);
        PipeTableRemoveInterface(record);
        InsertTailList(dropped, &record->Links);
    }
}

// The run of interface records after `field` in a select request of Hdr.Length bytes, as far as they are readable.
ULONG RecordRunLength(const struct _URB_HEADER* header, SIZE_T fieldOffset) {
    if (header->Length <= fieldOffset) {
        return 0;
    }
    // Length is the sender's word for it: only the bytes that are really there count.
    return AddressReadablePrefix(reinterpret_cast<const UCHAR*>(header) + fieldOffset,
                                 static_cast<ULONG>(header->Length - fieldOffset));
}

// A copy of the configuration descriptor a select request points at: wTotalLength bytes, when they are valid
// memory. Null otherwise.
PDESCRIPTOR_COPY ConfigurationCopyCreate(PUSB_CONFIGURATION_DESCRIPTOR descriptor) {
    const auto* bytes = reinterpret_cast<const UCHAR*>(descriptor);
    if (!AddressRangeIsValid(bytes, sizeof(USB_CONFIGURATION_DESCRIPTOR))) {
        return nullptr;
    }
    USHORT total;
    std::memcpy(&total, bytes + offsetof(USB_CONFIGURATION_DESCRIPTOR, wTotalLength), sizeof total);
    if (total == 0 || !AddressRangeIsValid(bytes, total)) {
        return nullptr;
    }
    return DescriptorCopyCreate(bytes, total);
}

// bConfigurationValue of a configuration descriptor copy (0 for none, or one too short to hold it).
LONG ConfigurationValueOf(const DESCRIPTOR_COPY* copy) {
    constexpr ULONG offset = offsetof(USB_CONFIGURATION_DESCRIPTOR, bConfigurationValue);
    return copy != nullptr && copy->Length > offset ? copy->Bytes[offset] : 0;
}

} // namespace

VOID DescriptorCacheDeviceCompleted(PDEVICE_STACK Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length) {
    DescriptorCompleted(Stack, DescriptorCacheDevice, TransferBuffer, Mdl, Length);
}

VOID DescriptorCacheHubCompleted(PDEVICE_STACK Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length) {
    DescriptorCompleted(Stack, DescriptorCacheHub, TransferBuffer, Mdl, Length);
}

VOID DescriptorCacheBosCompleted(PDEVICE_STACK Stack, PVOID TransferBuffer, PMDL Mdl, ULONG Length) {
    const UCHAR* bytes = TransferBytes(TransferBuffer, Mdl, &Length);
    if (bytes != nullptr && Length >= 2 && bytes[1] == USB_BOS_DESCRIPTOR_TYPE) {
        Stack->BosDescriptorSeen = 1;
    }
}

VOID StackSelectConfigurationCompleted(PDEVICE_STACK Stack, const struct _URB_SELECT_CONFIGURATION* Urb) {
    PDESCRIPTOR_COPY copy = nullptr;
    LIST_ENTRY fresh;
    InitializeListHead(&fresh);
    if (Urb->ConfigurationDescriptor != nullptr) {
        KIRQL irql = CacheLock(Stack);
        const bool same = Stack->ConfigDescriptor != nullptr && Stack->ConfigurationHandle == Urb->ConfigurationHandle;
        CacheUnlock(Stack, irql);
        if (same) {
            return;
        }
        copy = ConfigurationCopyCreate(Urb->ConfigurationDescriptor);
        InterfaceRecordsCreate(reinterpret_cast<const UCHAR*>(&Urb->Interface),
                               RecordRunLength(&Urb->Hdr, offsetof(struct _URB_SELECT_CONFIGURATION, Interface)),
                               ALL_RECORDS, &fresh);
    }

    LIST_ENTRY dropped;
    InitializeListHead(&dropped);
    const KIRQL irql = CacheLock(Stack);
    PVOID oldCopy = Stack->ConfigDescriptor;
    Stack->ConfigDescriptor = copy;
    InterlockedExchange(&Stack->ConfigurationValue, ConfigurationValueOf(copy));
    Stack->ConfigurationHandle = Urb->ConfigurationDescriptor != nullptr ? Urb->ConfigurationHandle : nullptr;
    InterfaceRecordsDropLocked(Stack, &dropped);
    InterfacePipesEnterLocked(Stack, &fresh);
    InterfaceRecordsAppendLocked(Stack, &fresh);
    CacheUnlock(Stack, irql);

    InterfaceRecordsFree(&dropped);
    DriverFree(oldCopy);
}

VOID StackSelectInterfaceCompleted(PDEVICE_STACK Stack, const struct _URB_SELECT_INTERFACE* Urb) {
    const USBD_INTERFACE_HANDLE handle = Urb->Interface.InterfaceHandle;
    if (handle == nullptr) {
        return;
    }
    auto known = [&]() {
        for (PLIST_ENTRY link = Stack->Interfaces.Head.Flink; link != &Stack->Interfaces.Head; link = link->Flink) {
            if (CONTAINING_RECORD(link, INTERFACE_RECORD, Links)->Info.InterfaceHandle == handle) {
                return true;
            }
        }
        return false;
    };
    KIRQL irql = CacheLock(Stack);
    bool found = known();
    CacheUnlock(Stack, irql);
    if (found) {
        return;
    }

    LIST_ENTRY fresh;
    InitializeListHead(&fresh);
    InterfaceRecordsCreate(reinterpret_cast<const UCHAR*>(&Urb->Interface),
                           RecordRunLength(&Urb->Hdr, offsetof(struct _URB_SELECT_INTERFACE, Interface)), 1, &fresh);
    irql = CacheLock(Stack);
    if (!known()) { // another completion may have recorded it meanwhile
        InterfacePipesEnterLocked(Stack, &fresh);
        InterfaceRecordsAppendLocked(Stack, &fresh);
    }
    CacheUnlock(Stack, irql);
    InterfaceRecordsFree(&fresh);
}

ULONG DescriptorCacheCopy(PDEVICE_STACK Stack, DESCRIPTOR_CACHE_KIND Kind, PVOID Buffer, ULONG Capacity,
                          PBOOLEAN Cached) {
    ULONG copied = 0;
    const KIRQL irql = CacheLock(Stack);
    const auto* copy = static_cast<const DESCRIPTOR_COPY*>(*CacheField(Stack, Kind));
    if (copy != nullptr) {
        copied = copy->Length < Capacity ? copy->Length : Capacity;
        std::memcpy(Buffer, copy->Bytes, copied);
    }
    CacheUnlock(Stack, irql);
    if (Cached != nullptr) {
        *Cached = copy != nullptr;
    }
    return copied;
}

UCHAR StackConfigurationValue(const DEVICE_STACK* Stack) {
    return static_cast<UCHAR>(Stack->ConfigurationValue);
}

PVOID StackConfigurationHandle(PDEVICE_STACK Stack) {
    const KIRQL irql = CacheLock(Stack);
    PVOID handle = Stack->ConfigurationHandle;
    CacheUnlock(Stack, irql);
    return handle;
}

ULONG StackInterfaceCount(PDEVICE_STACK Stack) {
    return static_cast<ULONG>(Stack->Interfaces.Count);
}

VOID StackInterfacesDrop(PDEVICE_STACK Stack) {
    LIST_ENTRY dropped;
    InitializeListHead(&dropped);
    const KIRQL irql = CacheLock(Stack);
    InterfaceRecordsDropLocked(Stack, &dropped);
    CacheUnlock(Stack, irql);
    InterfaceRecordsFree(&dropped);
}

VOID DescriptorCacheFree(PDEVICE_STACK Stack) {
    StackInterfacesDrop(Stack);
    for (DESCRIPTOR_CACHE_KIND kind : {DescriptorCacheDevice, DescriptorCacheConfiguration, DescriptorCacheHub}) {
        PVOID* field = CacheField(Stack, kind);
        DriverFree(*field);
        *field = nullptr;
    }
    Stack->ConfigurationHandle = nullptr;
    InterlockedExchange(&Stack->ConfigurationValue, 0);
}

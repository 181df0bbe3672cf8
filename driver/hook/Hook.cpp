// Hooking of USB drivers' dispatch tables (Hook.h).
//
// Locks: g_Driver.HookedDriverList.Lock, then a driver's device-object list lock under it. Node references are
// dropped, nodes marked removed and change-log records written after both are released.
#include "driver/hook/Hook.h"

#include <atomic>
#include <cstring>

#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/core/Pool.h"
#include "driver/nodes/DeviceNode.h"
#include "driver/nodes/ObjectName.h"
#include "driver/record/RecordChangeLog.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

constexpr UCHAR HOOKED_MAJOR_FUNCTIONS[] = {IRP_MJ_DEVICE_CONTROL, IRP_MJ_INTERNAL_DEVICE_CONTROL, IRP_MJ_POWER,
                                            IRP_MJ_PNP};

// --- Rundown ---

// References held by requests inside HookedDispatch and by installed completion routines. They are counted
// per processor, each count in a cache line of its own, so that requests on different processors do not
// write one counter; a release may run on another processor than its acquire, so one count may go below
// zero and only the sum means anything. Unload sets Unloading before it sums the counts; an acquire reads
// Unloading after its increment, and a release that finds Unloading set sums the counts after its decrement,
// so one of the two always sees the other and the waiter is woken.
constexpr ULONG RUNDOWN_SLOTS = 64;
struct alignas(64) RUNDOWN_SLOT {
    volatile LONG Count;
};
RUNDOWN_SLOT g_RundownSlots[RUNDOWN_SLOTS];
volatile LONG g_RundownUnloading;
KEVENT g_RundownDone;

volatile LONG* RundownCountHere(VOID) {
    return &g_RundownSlots[KeGetCurrentProcessorNumberEx(nullptr) % RUNDOWN_SLOTS].Count;
}

// The count of a request's reference: chosen by a multiplicative hash of a key the request's routines all
// know, so that acquire and release need not ask which processor they run on (requests in flight on
// different processors are different requests, and mostly land on different counts).
constexpr unsigned RUNDOWN_SLOT_BITS = 6;
static_assert(RUNDOWN_SLOTS == 1u << RUNDOWN_SLOT_BITS);
volatile LONG* RundownCountOf(const VOID* key) {
    const auto mixed = static_cast<ULONG64>(reinterpret_cast<ULONG_PTR>(key)) * 0x9E3779B97F4A7C15ULL;
    return &g_RundownSlots[mixed >> (64 - RUNDOWN_SLOT_BITS)].Count;
}

BOOLEAN RundownUnloading(VOID) {
    return __atomic_load_n(&g_RundownUnloading, __ATOMIC_SEQ_CST) != 0;
}

LONG RundownSum(VOID) {
    LONG sum = 0;
    for (const RUNDOWN_SLOT& slot : g_RundownSlots) {
        sum += __atomic_load_n(&slot.Count, __ATOMIC_SEQ_CST);
    }
    return sum;
}

KIRQL ListLock(VOID) {
    return KeAcquireSpinLockRaiseToDpc(&g_Driver.HookedDriverList.Lock);
}
VOID ListUnlock(KIRQL irql) {
    KeReleaseSpinLock(&g_Driver.HookedDriverList.Lock, irql);
}

ULONG64 Now(VOID) {
    return static_cast<ULONG64>(KeQueryPerformanceCounter(nullptr).QuadPart);
}

// Releases the nodes of a chain of unlinked device-object entries and frees the entries; with markRemoved,
// nodes not yet marked removed are marked first (their driver has gone).
VOID DeviceEntriesFree(PLIST_ENTRY entries, BOOLEAN markRemoved) {
    while (!IsListEmpty(entries)) {
        auto entry = CONTAINING_RECORD(RemoveHeadList(entries), DRVOBJ_DEVICE_ENTRY, Links);
        if (markRemoved && !DeviceNodeIsRemoved(entry->Node)) {
            DeviceNodeMarkRemoved(entry->Node);
        }
        DeviceNodeRelease(entry->Node);
        DriverFree(entry);
    }
}

// Empties and frees a device-object list that is no longer reachable from the hooked-driver list.
VOID DeviceListFree(PLOCKED_LIST list, BOOLEAN markRemoved) {
    if (list == nullptr) {
        return;
    }
    LIST_ENTRY entries;
    InitializeListHead(&entries);
    while (!IsListEmpty(&list->Head)) {
        InsertTailList(&entries, RemoveHeadList(&list->Head));
    }
    DeviceEntriesFree(&entries, markRemoved);
    DriverFree(list);
}

VOID ChangeLogDriver(ULONG tag, PDRVOBJ_EXTENSION extension, PDRIVER_OBJECT driverObject, ULONG flags) {
    if (g_Driver.ChangeLog != nullptr) {
        ChangeLogWriteDriver(g_Driver.ChangeLog, tag, extension->DriverName, driverObject, flags, extension);
    }
}

// The extension of `driverObject` for this driver, allocated when there is none yet. A retired one (left by
// an earlier load of this driver under the same key) comes back as it is; the caller claims it.
PDRVOBJ_EXTENSION ExtensionAllocate(PDRIVER_OBJECT driverObject) {
    PVOID extension = IoGetDriverObjectExtension(driverObject, g_Driver.DriverObject);
    if (extension != nullptr) {
        return static_cast<PDRVOBJ_EXTENSION>(extension);
    }
    NTSTATUS status =
        IoAllocateDriverObjectExtension(driverObject, g_Driver.DriverObject, sizeof(DRVOBJ_EXTENSION), &extension);
    if (status == STATUS_OBJECT_NAME_COLLISION) { // another thread allocated it first
        extension = IoGetDriverObjectExtension(driverObject, g_Driver.DriverObject);
    } else if (!NT_SUCCESS(status)) {
        extension = nullptr;
    }
    return static_cast<PDRVOBJ_EXTENSION>(extension);
}

} // namespace

PDRVOBJ_EXTENSION HookFindExtension(PDRIVER_OBJECT driverObject) {
    if (driverObject == nullptr || g_Driver.DriverObject == nullptr) {
        return nullptr;
    }
    auto extension = static_cast<PDRVOBJ_EXTENSION>(IoGetDriverObjectExtension(driverObject, g_Driver.DriverObject));
    // A retired extension (this driver was unloaded and loaded again) is no hook.
    return extension != nullptr && extension->Tag == DRVOBJ_EXTENSION_TAG ? extension : nullptr;
}

// --- Hooking ---

PDRVOBJ_EXTENSION HookDriverObject(PDRIVER_OBJECT DriverObject) {
    PASSIVE_CODE();
    if (DriverObject == nullptr || g_Driver.DriverObject == nullptr) {
        return nullptr;
    }
    if (PDRVOBJ_EXTENSION hooked = HookFindExtension(DriverObject)) {
        return hooked;
    }
    PDRVOBJ_EXTENSION extension = ExtensionAllocate(DriverObject);
    if (extension == nullptr) {
        return nullptr;
    }
    auto devices = static_cast<PLOCKED_LIST>(DriverAllocate(sizeof(LOCKED_LIST)));
    if (devices == nullptr) {
        return nullptr;
    }
    LockedListInitialize(devices);
    CHAR name[HOOKED_DRIVER_NAME_SIZE];
    ObjectNameQueryAnsi(DriverObject, u"\\Driver\\", name, HOOKED_DRIVER_NAME_SIZE);

    // Claimed under the list lock, so that of two threads hooking the same driver only one saves its table.
    KIRQL irql = ListLock();
    if (extension->Tag == DRVOBJ_EXTENSION_TAG) {
        ListUnlock(irql);
        DriverFree(devices);
        return extension;
    }
    std::memset(extension, 0, sizeof *extension);
    extension->Tag = DRVOBJ_EXTENSION_TAG;
    extension->DriverObject = DriverObject;
    std::memcpy(extension->DriverName, name, sizeof name);
    extension->HookTime.QuadPart = static_cast<LONGLONG>(Now());
    extension->DeviceObjects = devices;
    for (ULONG major = 0; major < HOOKED_MAJOR_FUNCTION_COUNT; ++major) {
        extension->SavedMajorFunction[major] = DriverObject->MajorFunction[major];
    }
    extension->SavedDriverUnload = DriverObject->DriverUnload;
    InsertTailList(&g_Driver.HookedDriverList.Head, &extension->Links);
    InterlockedIncrement(&g_Driver.HookedDriverList.Count);
    ListUnlock(irql);

    // The saved table is complete before any request can reach HookedDispatch through the new entries.
    std::atomic_thread_fence(std::memory_order_seq_cst);
    for (UCHAR major : HOOKED_MAJOR_FUNCTIONS) {
        __atomic_store_n(&DriverObject->MajorFunction[major], &HookedDispatch, __ATOMIC_RELEASE);
    }
    // A driver without an unload routine cannot be unloaded; giving it one would change that.
    if (extension->SavedDriverUnload != nullptr) {
        __atomic_store_n(&DriverObject->DriverUnload, &HookedDriverUnload, __ATOMIC_RELEASE);
    }
    if (MemlogWants(MEMLOG_FLAG_TREE)) {
        MemlogWrite(FourCC("+Hok"), reinterpret_cast<ULONG_PTR>(DriverObject), reinterpret_cast<ULONG_PTR>(extension));
    }
    ChangeLogDriver(LogTag::vrdA, extension, DriverObject, extension->Flags);
    return extension;
}

PDRVOBJ_EXTENSION UnhookDriverObject(PDRIVER_OBJECT DriverObject) {
    PDRVOBJ_EXTENSION extension = HookFindExtension(DriverObject);
    if (extension == nullptr) {
        return nullptr;
    }
    auto copy = static_cast<PDRVOBJ_EXTENSION>(DriverAllocate(sizeof(DRVOBJ_EXTENSION)));

    KIRQL irql = ListLock();
    RemoveEntryList(&extension->Links);
    InitializeListHead(&extension->Links);
    InterlockedDecrement(&g_Driver.HookedDriverList.Count);
    extension->Flags |= DRVOBJ_FLAG_UNLOADED;
    extension->UnloadTime.QuadPart = static_cast<LONGLONG>(Now());
    PLOCKED_LIST devices = extension->DeviceObjects;
    extension->DeviceObjects = nullptr;
    if (copy != nullptr) {
        std::memcpy(copy, extension, sizeof *copy);
        copy->DeviceObjects = devices;
        copy->Copy = TRUE;
        InsertTailList(&g_Driver.HookedDriverList.Head, &copy->Links);
        InterlockedIncrement(&g_Driver.HookedDriverList.Count);
    }
    ListUnlock(irql);

    if (copy == nullptr) {
        DeviceListFree(devices, TRUE);
    }
    ChangeLogDriver(LogTag::vrdR, copy != nullptr ? copy : extension, DriverObject, extension->Flags);
    return copy;
}

VOID HookedDriverUnload(PDRIVER_OBJECT DriverObject) {
    PDRVOBJ_EXTENSION extension = HookFindExtension(DriverObject);
    if (extension == nullptr) {
        // Retired by this driver's unload while another driver had taken over the unload routine after us
        // (so it could not be given back): the driver's own routine must still run.
        auto retired =
            g_Driver.DriverObject != nullptr
                ? static_cast<PDRVOBJ_EXTENSION>(IoGetDriverObjectExtension(DriverObject, g_Driver.DriverObject))
                : nullptr;
        if (retired != nullptr && retired->SavedDriverUnload != nullptr) {
            retired->SavedDriverUnload(DriverObject);
        }
        return;
    }
    const PDRIVER_UNLOAD saved = extension->SavedDriverUnload;
    UnhookDriverObject(DriverObject);
    // The extension itself goes with the driver object; the copy stays listed until the next refresh.
    // Its tag goes before the driver's own unload runs: nothing that finds it meanwhile takes it for a hook.
    extension->Tag = 0;
    MemlogWrite(FourCC("UnL1"), reinterpret_cast<ULONG_PTR>(DriverObject), reinterpret_cast<ULONG_PTR>(saved));
    if (saved != nullptr) {
        saved(DriverObject);
    }
    MemlogWrite(FourCC("UnL2"), reinterpret_cast<ULONG_PTR>(DriverObject), 0);
}

// --- Device objects of hooked drivers ---

NTSTATUS AddDriverDeviceObject(PDEVOBJ_NODE Node) {
    PDRVOBJ_EXTENSION extension = HookFindExtension(Node->DriverObject);
    if (extension == nullptr) {
        return STATUS_UNSUCCESSFUL;
    }
    auto entry = static_cast<PDRVOBJ_DEVICE_ENTRY>(DriverAllocate(sizeof(DRVOBJ_DEVICE_ENTRY)));
    if (entry == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    entry->Tag = DRVOBJ_DEVICE_ENTRY_TAG;
    entry->DeviceObject = Node->DeviceObject;
    entry->Node = Node;

    NTSTATUS status = STATUS_SUCCESS;
    BOOLEAN entered = FALSE;
    KIRQL irql = ListLock();
    PLOCKED_LIST devices = extension->DeviceObjects;
    if (devices == nullptr) { // unhooked meanwhile
        status = STATUS_UNSUCCESSFUL;
    } else {
        KeAcquireSpinLockAtDpcLevel(&devices->Lock);
        BOOLEAN known = FALSE;
        for (PLIST_ENTRY link = devices->Head.Flink; link != &devices->Head; link = link->Flink) {
            auto other = CONTAINING_RECORD(link, DRVOBJ_DEVICE_ENTRY, Links);
            if (other->DeviceObject == Node->DeviceObject && other->Node == Node) {
                known = TRUE;
                break;
            }
        }
        if (!known) {
            DeviceNodeReference(Node);
            InsertTailList(&devices->Head, &entry->Links); // walked in registration order
            InterlockedIncrement(&devices->Count);
            entered = TRUE;
        }
        KeReleaseSpinLockFromDpcLevel(&devices->Lock);
    }
    ListUnlock(irql);
    if (!entered) {
        DriverFree(entry);
    }
    return status;
}

VOID RemoveDriverDeviceObject(PDRVOBJ_EXTENSION Extension, PDRVOBJ_DEVICE_ENTRY Entry) {
    BOOLEAN unlinked = FALSE;
    KIRQL irql = ListLock();
    PLOCKED_LIST devices = Extension->DeviceObjects;
    if (devices != nullptr) {
        KeAcquireSpinLockAtDpcLevel(&devices->Lock);
        for (PLIST_ENTRY link = devices->Head.Flink; link != &devices->Head; link = link->Flink) {
            if (link == &Entry->Links) {
                RemoveEntryList(link);
                InterlockedDecrement(&devices->Count);
                unlinked = TRUE;
                break;
            }
        }
        KeReleaseSpinLockFromDpcLevel(&devices->Lock);
    }
    ListUnlock(irql);
    if (unlinked) {
        LIST_ENTRY entries;
        InitializeListHead(&entries);
        InsertTailList(&entries, &Entry->Links);
        DeviceEntriesFree(&entries, TRUE);
    }
}

VOID HookPurge(VOID) {
    PASSIVE_CODE();
    LIST_ENTRY unloaded;
    LIST_ENTRY removed;
    InitializeListHead(&unloaded);
    InitializeListHead(&removed);

    KIRQL irql = ListLock();
    for (PLIST_ENTRY link = g_Driver.HookedDriverList.Head.Flink; link != &g_Driver.HookedDriverList.Head;) {
        auto extension = CONTAINING_RECORD(link, DRVOBJ_EXTENSION, Links);
        link = link->Flink;
        if ((extension->Flags & DRVOBJ_FLAG_UNLOADED) != 0) {
            RemoveEntryList(&extension->Links);
            InterlockedDecrement(&g_Driver.HookedDriverList.Count);
            InsertTailList(&unloaded, &extension->Links);
            continue;
        }
        PLOCKED_LIST devices = extension->DeviceObjects;
        KeAcquireSpinLockAtDpcLevel(&devices->Lock);
        for (PLIST_ENTRY d = devices->Head.Flink; d != &devices->Head;) {
            auto entry = CONTAINING_RECORD(d, DRVOBJ_DEVICE_ENTRY, Links);
            d = d->Flink;
            if (DeviceNodeIsRemoved(entry->Node)) {
                RemoveEntryList(&entry->Links);
                InterlockedDecrement(&devices->Count);
                InsertTailList(&removed, &entry->Links);
            }
        }
        KeReleaseSpinLockFromDpcLevel(&devices->Lock);
    }
    ListUnlock(irql);

    while (!IsListEmpty(&unloaded)) {
        auto extension = CONTAINING_RECORD(RemoveHeadList(&unloaded), DRVOBJ_EXTENSION, Links);
        DeviceListFree(extension->DeviceObjects, TRUE);
        // Only copies carry the unloaded flag on the list: the extension itself left with its driver object.
        DriverFree(extension);
    }
    DeviceEntriesFree(&removed, FALSE);
}

// --- This driver's unload ---

VOID HookUnloadRestore(VOID) {
    PASSIVE_CODE();
    KIRQL irql = ListLock();
    for (PLIST_ENTRY link = g_Driver.HookedDriverList.Head.Flink; link != &g_Driver.HookedDriverList.Head;
         link = link->Flink) {
        auto extension = CONTAINING_RECORD(link, DRVOBJ_EXTENSION, Links);
        if (extension->Copy || (extension->Flags & DRVOBJ_FLAG_UNLOADED) != 0) {
            continue;
        }
        PDRIVER_OBJECT driver = extension->DriverObject;
        for (UCHAR major : HOOKED_MAJOR_FUNCTIONS) {
            PDRIVER_DISPATCH expected = &HookedDispatch;
            __atomic_compare_exchange_n(&driver->MajorFunction[major], &expected, extension->SavedMajorFunction[major],
                                        false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
        }
        PDRIVER_UNLOAD expected = &HookedDriverUnload;
        __atomic_compare_exchange_n(&driver->DriverUnload, &expected, extension->SavedDriverUnload, false,
                                    __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    }
    ListUnlock(irql);

    // From here on no new reference is granted: a request that still reaches HookedDispatch through an entry
    // read before the restore is passed on unrecorded.
    KeInitializeEvent(&g_RundownDone, NotificationEvent, FALSE);
    InterlockedExchange(&g_RundownUnloading, 1);
    if (RundownSum() != 0) {
        KeWaitForSingleObject(&g_RundownDone, Executive, KernelMode, FALSE, nullptr);
    }
}

VOID HookFree(VOID) {
    LIST_ENTRY all;
    InitializeListHead(&all);
    KIRQL irql = ListLock();
    while (!IsListEmpty(&g_Driver.HookedDriverList.Head)) {
        InsertTailList(&all, RemoveHeadList(&g_Driver.HookedDriverList.Head));
    }
    g_Driver.HookedDriverList.Count = 0;
    ListUnlock(irql);

    while (!IsListEmpty(&all)) {
        auto extension = CONTAINING_RECORD(RemoveHeadList(&all), DRVOBJ_EXTENSION, Links);
        DeviceListFree(extension->DeviceObjects, FALSE);
        extension->DeviceObjects = nullptr;
        if (extension->Copy) {
            DriverFree(extension);
        } else {
            // The memory belongs to the loaded driver's object; retired, it can be claimed by a later load.
            extension->Tag = 0;
        }
    }
}

// --- Rundown ---

VOID HookRundownInitialize(VOID) {
    for (RUNDOWN_SLOT& slot : g_RundownSlots) {
        InterlockedExchange(&slot.Count, 0);
    }
    InterlockedExchange(&g_RundownUnloading, 0);
}

namespace {

VOID RundownRelease(volatile LONG* count) {
    InterlockedDecrement(count);
    if (RundownUnloading() && RundownSum() == 0) {
        KeSetEvent(&g_RundownDone, IO_NO_INCREMENT, FALSE);
    }
}

BOOLEAN RundownAcquire(volatile LONG* count) {
    InterlockedIncrement(count);
    if (RundownUnloading()) {
        RundownRelease(count);
        return FALSE;
    }
    return TRUE;
}

} // namespace

BOOLEAN HookRundownAcquire(VOID) {
    return RundownAcquire(RundownCountHere());
}

BOOLEAN HookRundownUnloading(VOID) {
    return RundownUnloading();
}

VOID HookRundownRelease(VOID) {
    RundownRelease(RundownCountHere());
}

BOOLEAN HookRundownAcquireFor(const VOID* Key) {
    return RundownAcquire(RundownCountOf(Key));
}

VOID HookRundownReleaseFor(const VOID* Key) {
    RundownRelease(RundownCountOf(Key));
}

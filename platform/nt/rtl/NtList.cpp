#include "NtList.h"

namespace nt {

void FatalListEntryError(PVOID p1, PVOID p2, PVOID p3) {
    BugCheck(KERNEL_SECURITY_CHECK_FAILURE, "corrupted LIST_ENTRY links", reinterpret_cast<ULONG_PTR>(p1),
             reinterpret_cast<ULONG_PTR>(p2), reinterpret_cast<ULONG_PTR>(p3));
}

} // namespace nt

PLIST_ENTRY ExInterlockedInsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry, PKSPIN_LOCK Lock) {
    KIRQL old = KeAcquireSpinLockRaiseToDpc(Lock);
    PLIST_ENTRY first = IsListEmpty(ListHead) ? nullptr : ListHead->Flink;
    InsertHeadList(ListHead, ListEntry);
    KeReleaseSpinLock(Lock, old);
    return first;
}

PLIST_ENTRY ExInterlockedInsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry, PKSPIN_LOCK Lock) {
    KIRQL old = KeAcquireSpinLockRaiseToDpc(Lock);
    PLIST_ENTRY last = IsListEmpty(ListHead) ? nullptr : ListHead->Blink;
    InsertTailList(ListHead, ListEntry);
    KeReleaseSpinLock(Lock, old);
    return last;
}

PLIST_ENTRY ExInterlockedRemoveHeadList(PLIST_ENTRY ListHead, PKSPIN_LOCK Lock) {
    KIRQL old = KeAcquireSpinLockRaiseToDpc(Lock);
    PLIST_ENTRY first = IsListEmpty(ListHead) ? nullptr : RemoveHeadList(ListHead);
    KeReleaseSpinLock(Lock, old);
    return first;
}

PSINGLE_LIST_ENTRY ExInterlockedPopEntryList(PSINGLE_LIST_ENTRY ListHead, PKSPIN_LOCK Lock) {
    KIRQL old = KeAcquireSpinLockRaiseToDpc(Lock);
    PSINGLE_LIST_ENTRY first = PopEntryList(ListHead);
    KeReleaseSpinLock(Lock, old);
    return first;
}

PSINGLE_LIST_ENTRY ExInterlockedPushEntryList(PSINGLE_LIST_ENTRY ListHead, PSINGLE_LIST_ENTRY ListEntry,
                                              PKSPIN_LOCK Lock) {
    KIRQL old = KeAcquireSpinLockRaiseToDpc(Lock);
    PSINGLE_LIST_ENTRY first = ListHead->Next;
    PushEntryList(ListHead, ListEntry);
    KeReleaseSpinLock(Lock, old);
    return first;
}

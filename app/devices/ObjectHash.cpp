#include "app/devices/ObjectHash.h"

#include <type_traits>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"

UINT ObjectAddressBucket(ULONG64 k) {
    // A 64-bit integer mix: every bit of the address reaches the low byte, so objects that differ only in
    // their high bits or by the allocator's alignment still spread over the buckets.
    k += ~(k << 32);
    k ^= k >> 22;
    k += ~(k << 13);
    k ^= k >> 8;
    k += k << 3;
    k ^= k >> 15;
    k += ~(k << 27);
    k ^= k >> 31;
    return static_cast<UINT>(k & 0xFF);
}

namespace {

ULONG64 AddressOf(const CDeviceObject* p) {
    return p->_NtDeviceObject;
}
ULONG64 AddressOf(const CDriverObject* p) {
    return p->m_NtDriverObject;
}

void TraceCandidate(const CDeviceObject* p) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH,
              p->IsRemoved() ? "REMOVED: CDeviceObject*=%p, StartTime=%I64u, ntDeviceObject=%I64x, StackID=%u"
                             : "NOT REMOVED: CDeviceObject*=%p, StartTime=%I64u, ntDeviceObject=%I64x, StackID=%u",
              p, p->_StartTime, p->_NtDeviceObject, static_cast<UINT>(p->_StackID));
}
void TraceCandidate(const CDriverObject* p) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH,
              p->IsRemoved() ? "REMOVED: CDriverObject*=%p, StartTime=%I64u, PDRIVER_OBJECT=%I64x"
                             : "NOT REMOVED: CDriverObject*=%p, StartTime=%I64u, PDRIVER_OBJECT=%I64x",
              p, p->m_StartTime, p->m_NtDriverObject);
}

void TraceMatch(const CDeviceObject* p) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "MATCH: CDeviceObject=%p", p);
}
void TraceMatch(const CDriverObject* p) {
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "MATCH: CDriverObject=%p", p);
}

template <class T> void TraceNoMatch(ULONG64 key) {
    if constexpr (std::is_same_v<T, CDeviceObject>)
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "NO MATCHES: ntDeviceObject=%I64x", key);
    else
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "NO MATCHES: ntDriverObject=%I64x", key);
}

} // namespace

template <class T> BOOL AddressHash<T>::Insert(T* pObject) {
    Entry* pEntry = m_pFreeList;
    if (pEntry != nullptr) {
        m_pFreeList = pEntry->next;
    } else {
        try {
            pEntry = static_cast<Entry*>(AfxAllocateRaw(sizeof(Entry)));
        } catch (CMemoryException* e) {
            e->Delete();
            return FALSE;
        }
    }
    pEntry->key = AddressOf(pObject);
    pEntry->object = pObject;
    Entry*& head = m_Buckets[ObjectAddressBucket(pEntry->key)];
    pEntry->next = head;
    head = pEntry;
    return TRUE;
}

template <class T> void AddressHash<T>::Remove(T* pObject) {
    ULONG64 key = AddressOf(pObject);
    for (Entry** pLink = &m_Buckets[ObjectAddressBucket(key)]; *pLink != nullptr; pLink = &(*pLink)->next) {
        Entry* pEntry = *pLink;
        if (pEntry->key == key && pEntry->object == pObject) {
            *pLink = pEntry->next;
            pEntry->next = m_pFreeList;
            m_pFreeList = pEntry;
            return;
        }
    }
}

template <class T> void AddressHash<T>::RemoveAll() {
    auto freeChain = [](Entry* p) {
        while (p != nullptr) {
            Entry* pNext = p->next;
            AfxFreeRaw(p);
            p = pNext;
        }
    };
    for (Entry*& head : m_Buckets) {
        freeChain(head);
        head = nullptr;
    }
    freeChain(m_pFreeList);
    m_pFreeList = nullptr;
}

template <class T> UINT AddressHash<T>::FreeEntryCount() const {
    UINT n = 0;
    for (const Entry* p = m_pFreeList; p != nullptr; p = p->next)
        ++n;
    return n;
}

template <class T> T* AddressHash<T>::FindPresent(ULONG64 key) const {
    // Newest first in the bucket, so the last present one met is the oldest.
    T* pFound = nullptr;
    for (const Entry* p = BucketHead(key); p != nullptr; p = p->next) {
        if (p->key != key)
            continue;
        TraceCandidate(p->object);
        if (!p->object->IsRemoved())
            pFound = p->object;
    }
    if (pFound != nullptr)
        TraceMatch(pFound);
    else
        TraceNoMatch<T>(key);
    return pFound;
}

template class AddressHash<CDeviceObject>;
template class AddressHash<CDriverObject>;

BOOL ObjectHash::GetClassDeviceObject(ULONG64 ntDeviceObject, CTypedPtrList<CPtrList, _HASH_ENTRY*>& list,
                                      int& nCount) const {
    nCount = 0;
    for (const Entry* p = BucketHead(ntDeviceObject); p != nullptr; p = p->next) {
        if (p->key == ntDeviceObject) {
            list.AddTail(const_cast<Entry*>(p));
            ++nCount;
        }
    }
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "return %s (%d matches)", nCount > 0 ? "TRUE" : "FALSE", nCount);
    return nCount > 0;
}

CDeviceObject* ObjectHash::GetClassDeviceObjectAtTime(ULONG64 ntDeviceObject, LONGLONG time) const {
    for (const Entry* p = BucketHead(ntDeviceObject); p != nullptr; p = p->next) {
        if (p->key != ntDeviceObject)
            continue;
        const CDeviceObject* pObject = p->object;
        if (pObject->_StartTime > time)
            continue;
        if (pObject->_EndTime == 0 || pObject->_EndTime >= time) {
            TraceMatch(pObject);
            return p->object;
        }
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "mismatch");
    }
    TraceNoMatch<CDeviceObject>(ntDeviceObject);
    return nullptr;
}

CDeviceObject* ObjectHash::GetClassDeviceObjectWithStackID(ULONG64 ntDeviceObject, USHORT stackId) const {
    for (const Entry* p = BucketHead(ntDeviceObject); p != nullptr; p = p->next) {
        if (p->key == ntDeviceObject && p->object->_StackID == stackId) {
            TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_OBJECT_HASH, "match for StackID=%04d", static_cast<int>(stackId));
            TraceMatch(p->object);
            return p->object;
        }
    }
    TraceNoMatch<CDeviceObject>(ntDeviceObject);
    return nullptr;
}

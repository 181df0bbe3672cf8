// The indexes of device and driver objects by kernel address: 256 buckets of singly linked entries, newest
// at a bucket's head, and a free list. An address can belong to several objects over time (the kernel reuses
// it), so every lookup says which of them it wants: the present one, the one alive at a time, the one of a
// stack. Entries are never freed while the hash lives: removal puts them on the free list for the next
// insertion. Neither hash owns its objects.
#pragma once

#include "afx.h"
#include "afxtempl.h"

class CDeviceObject;
class CDriverObject;

// The bucket of a kernel address: the low 8 bits of a 64-bit integer mix of it.
UINT ObjectAddressBucket(ULONG64 key);

template <class T> struct HashEntryOf {
    ULONG64 key;
    T* object;
    HashEntryOf* next;
};
typedef HashEntryOf<CDeviceObject> _HASH_ENTRY;
typedef HashEntryOf<CDriverObject> _HASH_ENTRY_DRVR;

template <class T> class AddressHash {
public:
    typedef HashEntryOf<T> Entry;
    static constexpr UINT BucketCount = 256;

    AddressHash() = default;
    ~AddressHash() { RemoveAll(); }
    AddressHash(const AddressHash&) = delete;
    AddressHash& operator=(const AddressHash&) = delete;

    // Enters the object under its address at the head of its bucket; FALSE when no entry can be had.
    BOOL Insert(T* pObject);
    // Takes out the entry of this object (address and pointer both match); nothing when it is absent.
    void Remove(T* pObject);
    // Frees every chain and the free list.
    void RemoveAll();

    // The first entry of the key's bucket; walk on with ->next and compare keys.
    const Entry* BucketHead(ULONG64 key) const { return m_Buckets[ObjectAddressBucket(key)]; }
    // Entries on the free list, for tests of their reuse.
    UINT FreeEntryCount() const;

protected:
    // The oldest object with the address that is not removed, or null.
    T* FindPresent(ULONG64 key) const;

private:
    Entry* m_Buckets[BucketCount] = {};
    Entry* m_pFreeList = nullptr;
};

class ObjectHash : public AddressHash<CDeviceObject> {
public:
    // Every entry with the address, in bucket order (newest first); TRUE when there is any.
    BOOL GetClassDeviceObject(ULONG64 ntDeviceObject, CTypedPtrList<CPtrList, _HASH_ENTRY*>& list,
                              int& nCount) const;
    // The first object in bucket order alive at the time: StartTime <= time and (EndTime 0 or >= time),
    // compared as signed numbers.
    CDeviceObject* GetClassDeviceObjectAtTime(ULONG64 ntDeviceObject, LONGLONG time) const;
    // The first object in bucket order that belongs to the stack.
    CDeviceObject* GetClassDeviceObjectWithStackID(ULONG64 ntDeviceObject, USHORT stackId) const;
    // The oldest object with the address that is not removed.
    CDeviceObject* GetPresentClassDeviceObject(ULONG64 ntDeviceObject) const { return FindPresent(ntDeviceObject); }
};

class DrvobjHash : public AddressHash<CDriverObject> {
public:
    // The oldest driver object with the address that is not removed.
    CDriverObject* GetPresentClassDriverObject(ULONG64 ntDriverObject) const { return FindPresent(ntDriverObject); }
};

extern template class AddressHash<CDeviceObject>;
extern template class AddressHash<CDriverObject>;

// The framework's hash map. Entries live in buckets chosen by hash % hash-table size (17 unless
// InitHashTable says otherwise); a new key goes to the head of its bucket. Iteration (GetStartPosition /
// GetNextAssoc, and Serialize) walks the buckets in order and each bucket from its head, which is the order
// the framework gives, so stored maps keep their byte order. Entries come from blocks of nBlockSize and are
// reused; the blocks and the table go back when the map becomes empty.
#pragma once

#include <utility>

#include "AfxCollTraits.h"
#include "AfxObject.h"

namespace afx_detail {

// Hash policies: the template map's HashKey, and the fixed hashes of the non-template maps.
template <class ARG_KEY> struct TemplateKeyHash {
    static UINT Hash(ARG_KEY key) { return HashKey<ARG_KEY>(key); }
};
struct ShiftKeyHash {
    template <class KEY> static UINT Hash(KEY key) {
        if constexpr (std::is_pointer_v<KEY>)
            return static_cast<UINT>(reinterpret_cast<uintptr_t>(key) >> 4);
        else
            return static_cast<UINT>(static_cast<DWORD>(key) >> 4);
    }
};
struct StringKeyHash {
    static UINT Hash(LPCSTR key) { return StringHash(key); }
};

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH> class MapBase : public CObject {
public:
    class CPair {
    public:
        const KEY key;
        VALUE value;

    protected:
        explicit CPair(ARG_KEY keyval) : key(keyval), value() {}
    };

protected:
    class CAssoc : public CPair {
    public:
        explicit CAssoc(ARG_KEY keyval) : CPair(keyval) {}
        CAssoc* pNext = nullptr;
        UINT nHashValue = 0;
    };

public:
    explicit MapBase(INT_PTR nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
    ~MapBase() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    BOOL Lookup(ARG_KEY key, VALUE& rValue) const {
        const CAssoc* pAssoc = Find(key);
        if (pAssoc == nullptr)
            return FALSE;
        rValue = pAssoc->value;
        return TRUE;
    }
    const CPair* PLookup(ARG_KEY key) const { return Find(key); }
    CPair* PLookup(ARG_KEY key) { return const_cast<CAssoc*>(Find(key)); }
    // The value under the key, entered (zero-initialised) when absent.
    VALUE& operator[](ARG_KEY key);
    void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }
    BOOL RemoveKey(ARG_KEY key);
    void RemoveAll();

    POSITION GetStartPosition() const { return m_nCount == 0 ? nullptr : BEFORE_START_POSITION; }
    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const;
    const CPair* PGetFirstAssoc() const { return m_nCount == 0 ? nullptr : FirstFrom(0); }
    CPair* PGetFirstAssoc() { return m_nCount == 0 ? nullptr : FirstFrom(0); }
    const CPair* PGetNextAssoc(const CPair* pAssoc) const { return Next(static_cast<const CAssoc*>(pAssoc)); }
    CPair* PGetNextAssoc(const CPair* pAssoc) { return Next(static_cast<const CAssoc*>(pAssoc)); }

    UINT GetHashTableSize() const { return m_nHashTableSize; }
    // Sets the number of buckets (a prime a little above the expected count is best). Entries already in
    // the map are moved to their new buckets.
    void InitHashTable(UINT nHashSize, BOOL bAllocNow = TRUE);

    void Serialize(CArchive& ar) override;

protected:
    const CAssoc* Find(ARG_KEY key) const;
    CAssoc* FirstFrom(UINT nBucket) const;
    CAssoc* Next(const CAssoc* pAssoc) const;
    CAssoc* NewAssoc(ARG_KEY key);
    void FreeAssoc(CAssoc* pAssoc);
    void AllocTable(UINT nHashSize);

    CAssoc** m_pHashTable = nullptr;
    UINT m_nHashTableSize = 17;
    INT_PTR m_nCount = 0;
    CAssoc* m_pFreeList = nullptr;
    void* m_pBlocks = nullptr; // each block starts with the pointer to the previous one
    INT_PTR m_nBlockSize;
};

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::AllocTable(UINT nHashSize) {
    m_pHashTable = static_cast<CAssoc**>(AfxAllocateRaw(sizeof(CAssoc*) * nHashSize));
    std::memset(static_cast<void*>(m_pHashTable), 0, sizeof(CAssoc*) * nHashSize);
    m_nHashTableSize = nHashSize;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::InitHashTable(UINT nHashSize, BOOL bAllocNow) {
    if (nHashSize == 0)
        AfxThrowInvalidArgException();
    CAssoc** pOldTable = m_pHashTable;
    UINT nOldSize = m_nHashTableSize;
    m_pHashTable = nullptr;
    m_nHashTableSize = nHashSize;
    if (bAllocNow || m_nCount > 0) {
        try {
            AllocTable(nHashSize);
        } catch (...) {
            m_pHashTable = pOldTable;
            m_nHashTableSize = nOldSize;
            throw;
        }
    }
    if (pOldTable != nullptr) {
        for (UINT nBucket = 0; nBucket < nOldSize; ++nBucket) {
            for (CAssoc* pAssoc = pOldTable[nBucket]; pAssoc != nullptr;) {
                CAssoc* pNext = pAssoc->pNext;
                UINT nNewBucket = pAssoc->nHashValue % m_nHashTableSize;
                pAssoc->pNext = m_pHashTable[nNewBucket];
                m_pHashTable[nNewBucket] = pAssoc;
                pAssoc = pNext;
            }
        }
        AfxFreeRaw(pOldTable);
    }
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
auto MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::Find(ARG_KEY key) const -> const CAssoc* {
    if (m_pHashTable == nullptr)
        return nullptr;
    UINT nHashValue = HASH::Hash(key);
    for (CAssoc* pAssoc = m_pHashTable[nHashValue % m_nHashTableSize]; pAssoc != nullptr; pAssoc = pAssoc->pNext)
        if (pAssoc->nHashValue == nHashValue &&
            CompareElements<KEY, std::remove_cv_t<std::remove_reference_t<ARG_KEY>>>(&pAssoc->key, &key))
            return pAssoc;
    return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
auto MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::FirstFrom(UINT nBucket) const -> CAssoc* {
    if (m_pHashTable == nullptr)
        return nullptr;
    for (; nBucket < m_nHashTableSize; ++nBucket)
        if (m_pHashTable[nBucket] != nullptr)
            return m_pHashTable[nBucket];
    return nullptr;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
auto MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::Next(const CAssoc* pAssoc) const -> CAssoc* {
    if (pAssoc == nullptr)
        AfxThrowInvalidArgException();
    if (pAssoc->pNext != nullptr)
        return pAssoc->pNext;
    return FirstFrom(pAssoc->nHashValue % m_nHashTableSize + 1);
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::GetNextAssoc(POSITION& rNextPosition, KEY& rKey,
                                                                 VALUE& rValue) const {
    if (rNextPosition == nullptr)
        AfxThrowInvalidArgException();
    const CAssoc* pAssoc =
        rNextPosition == BEFORE_START_POSITION ? FirstFrom(0) : reinterpret_cast<const CAssoc*>(rNextPosition);
    if (pAssoc == nullptr)
        AfxThrowInvalidArgException();
    rNextPosition = reinterpret_cast<POSITION>(Next(pAssoc));
    rKey = pAssoc->key;
    rValue = pAssoc->value;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
auto MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::NewAssoc(ARG_KEY key) -> CAssoc* {
    if (m_pFreeList == nullptr) {
        size_t header = (sizeof(void*) + alignof(CAssoc) - 1) / alignof(CAssoc) * alignof(CAssoc);
        auto* block = static_cast<BYTE*>(AfxAllocateRaw(header + static_cast<size_t>(m_nBlockSize) * sizeof(CAssoc)));
        *reinterpret_cast<void**>(block) = m_pBlocks;
        m_pBlocks = block;
        // Free slots are chained through their first bytes until they are constructed.
        auto* slots = reinterpret_cast<CAssoc*>(block + header);
        for (INT_PTR i = m_nBlockSize - 1; i >= 0; --i) {
            *reinterpret_cast<CAssoc**>(static_cast<void*>(&slots[i])) = m_pFreeList;
            m_pFreeList = &slots[i];
        }
    }
    CAssoc* pSlot = m_pFreeList;
    CAssoc* pNextFree = *reinterpret_cast<CAssoc**>(static_cast<void*>(pSlot));
    CAssoc* pAssoc = ::new (static_cast<void*>(pSlot)) CAssoc(key);
    m_pFreeList = pNextFree;
    ++m_nCount;
    return pAssoc;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::FreeAssoc(CAssoc* pAssoc) {
    pAssoc->~CAssoc();
    *reinterpret_cast<CAssoc**>(static_cast<void*>(pAssoc)) = m_pFreeList;
    m_pFreeList = pAssoc;
    if (--m_nCount == 0)
        RemoveAll();
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
VALUE& MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::operator[](ARG_KEY key) {
    if (const CAssoc* pFound = Find(key))
        return const_cast<CAssoc*>(pFound)->value;
    UINT nHashValue = HASH::Hash(key);
    if (m_pHashTable == nullptr)
        AllocTable(m_nHashTableSize);
    CAssoc* pAssoc = NewAssoc(key);
    pAssoc->nHashValue = nHashValue;
    UINT nBucket = nHashValue % m_nHashTableSize;
    pAssoc->pNext = m_pHashTable[nBucket];
    m_pHashTable[nBucket] = pAssoc;
    return pAssoc->value;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
BOOL MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::RemoveKey(ARG_KEY key) {
    if (m_pHashTable == nullptr)
        return FALSE;
    UINT nHashValue = HASH::Hash(key);
    CAssoc** ppAssocPrev = &m_pHashTable[nHashValue % m_nHashTableSize];
    for (CAssoc* pAssoc = *ppAssocPrev; pAssoc != nullptr; pAssoc = pAssoc->pNext) {
        if (pAssoc->nHashValue == nHashValue &&
            CompareElements<KEY, std::remove_cv_t<std::remove_reference_t<ARG_KEY>>>(&pAssoc->key, &key)) {
            *ppAssocPrev = pAssoc->pNext;
            FreeAssoc(pAssoc);
            return TRUE;
        }
        ppAssocPrev = &pAssoc->pNext;
    }
    return FALSE;
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::RemoveAll() {
    if (m_pHashTable != nullptr) {
        for (UINT nBucket = 0; nBucket < m_nHashTableSize; ++nBucket) {
            for (CAssoc* pAssoc = m_pHashTable[nBucket]; pAssoc != nullptr;) {
                CAssoc* pNext = pAssoc->pNext;
                pAssoc->~CAssoc();
                pAssoc = pNext;
            }
        }
        AfxFreeRaw(m_pHashTable);
        m_pHashTable = nullptr;
    }
    m_nCount = 0;
    m_pFreeList = nullptr;
    while (m_pBlocks != nullptr) {
        void* previous = *static_cast<void**>(m_pBlocks);
        AfxFreeRaw(m_pBlocks);
        m_pBlocks = previous;
    }
}

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE, class HASH>
void MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, HASH>::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_nCount));
        for (CAssoc* pAssoc = m_nCount == 0 ? nullptr : FirstFrom(0); pAssoc != nullptr; pAssoc = Next(pAssoc)) {
            SerializeElements<KEY>(ar, const_cast<KEY*>(&pAssoc->key), 1);
            SerializeElements<VALUE>(ar, &pAssoc->value, 1);
        }
        return;
    }
    for (DWORD_PTR nNewCount = ar.ReadCount(); nNewCount > 0; --nNewCount) {
        KEY newKey[1] = {};
        VALUE newValue[1] = {};
        SerializeElements<KEY>(ar, newKey, 1);
        SerializeElements<VALUE>(ar, newValue, 1);
        SetAt(newKey[0], newValue[0]);
    }
}

} // namespace afx_detail

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public afx_detail::MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, afx_detail::TemplateKeyHash<ARG_KEY>> {
public:
    explicit CMap(INT_PTR nBlockSize = 10)
        : afx_detail::MapBase<KEY, ARG_KEY, VALUE, ARG_VALUE, afx_detail::TemplateKeyHash<ARG_KEY>>(nBlockSize) {}
};

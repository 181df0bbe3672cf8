// CArray: the framework's growable array. An index outside 0..GetUpperBound() (a negative one included)
// throws CInvalidArgException*, as does a negative size or count. Growth follows the framework: SetSize
// with a grow-by step allocates at least that many more elements; with grow-by 0 (the default) the step is
// an eighth of the size, at least 4 and at most 1024. New elements start zeroed and default-constructed.
#pragma once

#include <utility>

#include "AfxCollTraits.h"
#include "AfxObject.h"

template <class TYPE, class ARG_TYPE = const TYPE&> class CArray : public CObject {
public:
    CArray() = default;
    ~CArray() override { RemoveAll(); }

    INT_PTR GetSize() const { return m_nSize; }
    INT_PTR GetCount() const { return m_nSize; }
    BOOL IsEmpty() const { return m_nSize == 0; }
    INT_PTR GetUpperBound() const { return m_nSize - 1; }

    // nGrowBy -1 keeps the current step.
    void SetSize(INT_PTR nNewSize, INT_PTR nGrowBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0, -1); }

    const TYPE& GetAt(INT_PTR nIndex) const { return m_pData[CheckIndex(nIndex)]; }
    TYPE& GetAt(INT_PTR nIndex) { return m_pData[CheckIndex(nIndex)]; }
    void SetAt(INT_PTR nIndex, ARG_TYPE newElement) { m_pData[CheckIndex(nIndex)] = newElement; }
    const TYPE& ElementAt(INT_PTR nIndex) const { return m_pData[CheckIndex(nIndex)]; }
    TYPE& ElementAt(INT_PTR nIndex) { return m_pData[CheckIndex(nIndex)]; }
    const TYPE* GetData() const { return m_pData; }
    TYPE* GetData() { return m_pData; }
    const TYPE& operator[](INT_PTR nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](INT_PTR nIndex) { return ElementAt(nIndex); }

    void SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement);
    INT_PTR Add(ARG_TYPE newElement) {
        INT_PTR nIndex = m_nSize;
        SetAtGrow(nIndex, newElement);
        return nIndex;
    }
    INT_PTR Append(const CArray& src);
    void Copy(const CArray& src);
    void InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount = 1);
    void InsertAt(INT_PTR nStartIndex, CArray* pNewArray);
    void RemoveAt(INT_PTR nIndex, INT_PTR nCount = 1);

    void Serialize(CArchive& ar) override;

protected:
    INT_PTR CheckIndex(INT_PTR nIndex) const {
        if (nIndex < 0 || nIndex >= m_nSize)
            AfxThrowInvalidArgException();
        return nIndex;
    }
    void Reallocate(INT_PTR nNewMax);

    TYPE* m_pData = nullptr;
    INT_PTR m_nSize = 0;
    INT_PTR m_nMaxSize = 0;
    INT_PTR m_nGrowBy = 0;
};

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Reallocate(INT_PTR nNewMax) {
    TYPE* pNewData = nullptr;
    if (nNewMax > 0) {
        if (static_cast<size_t>(nNewMax) > SIZE_MAX / sizeof(TYPE))
            AfxThrowMemoryException();
        pNewData = static_cast<TYPE*>(AfxAllocateRaw(static_cast<size_t>(nNewMax) * sizeof(TYPE)));
        afx_detail::Relocate(pNewData, m_pData, m_nSize);
    }
    AfxFreeRaw(m_pData);
    m_pData = pNewData;
    m_nMaxSize = nNewMax;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::SetSize(INT_PTR nNewSize, INT_PTR nGrowBy) {
    if (nNewSize < 0)
        AfxThrowInvalidArgException();
    if (nGrowBy >= 0)
        m_nGrowBy = nGrowBy;
    if (nNewSize == 0) {
        afx_detail::Destruct(m_pData, m_nSize);
        m_nSize = 0;
        Reallocate(0);
        return;
    }
    if (m_pData == nullptr) {
        INT_PTR nAlloc = nNewSize > m_nGrowBy ? nNewSize : m_nGrowBy;
        Reallocate(nAlloc);
        afx_detail::ConstructZeroed(m_pData, nNewSize);
        m_nSize = nNewSize;
        return;
    }
    if (nNewSize <= m_nMaxSize) {
        if (nNewSize > m_nSize)
            afx_detail::ConstructZeroed(m_pData + m_nSize, nNewSize - m_nSize);
        else
            afx_detail::Destruct(m_pData + nNewSize, m_nSize - nNewSize);
        m_nSize = nNewSize;
        return;
    }
    INT_PTR nStep = m_nGrowBy;
    if (nStep == 0) {
        nStep = m_nSize / 8;
        nStep = nStep < 4 ? 4 : (nStep > 1024 ? 1024 : nStep);
    }
    INT_PTR nNewMax = nNewSize < m_nMaxSize + nStep ? m_nMaxSize + nStep : nNewSize;
    Reallocate(nNewMax);
    afx_detail::ConstructZeroed(m_pData + m_nSize, nNewSize - m_nSize);
    m_nSize = nNewSize;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::FreeExtra() {
    if (m_nSize != m_nMaxSize)
        Reallocate(m_nSize);
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::SetAtGrow(INT_PTR nIndex, ARG_TYPE newElement) {
    if (nIndex < 0)
        AfxThrowInvalidArgException();
    if (nIndex >= m_nSize) {
        // The new element may live in this array: copy it before the storage moves.
        TYPE copy(newElement);
        SetSize(nIndex + 1, -1);
        m_pData[nIndex] = std::move(copy);
        return;
    }
    m_pData[nIndex] = newElement;
}

template <class TYPE, class ARG_TYPE> INT_PTR CArray<TYPE, ARG_TYPE>::Append(const CArray& src) {
    if (this == &src)
        AfxThrowInvalidArgException();
    INT_PTR nOldSize = m_nSize;
    SetSize(m_nSize + src.m_nSize);
    CopyElements<TYPE>(m_pData + nOldSize, src.m_pData, src.m_nSize);
    return nOldSize;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Copy(const CArray& src) {
    if (this == &src)
        return;
    SetSize(src.m_nSize);
    CopyElements<TYPE>(m_pData, src.m_pData, src.m_nSize);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nIndex, ARG_TYPE newElement, INT_PTR nCount) {
    if (nIndex < 0 || nCount <= 0)
        AfxThrowInvalidArgException();
    TYPE copy(newElement); // newElement may live in this array
    INT_PTR nOldSize = m_nSize;
    if (nIndex >= m_nSize) {
        SetSize(nIndex + nCount, -1);
    } else {
        SetSize(m_nSize + nCount, -1);
        if constexpr (std::is_trivially_copyable_v<TYPE>) {
            std::memmove(static_cast<void*>(m_pData + nIndex + nCount), static_cast<const void*>(m_pData + nIndex),
                         static_cast<size_t>(nOldSize - nIndex) * sizeof(TYPE));
        } else {
            for (INT_PTR i = nOldSize - 1; i >= nIndex; --i)
                m_pData[i + nCount] = std::move(m_pData[i]);
        }
    }
    for (INT_PTR i = 0; i < nCount; ++i)
        m_pData[nIndex + i] = copy;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::InsertAt(INT_PTR nStartIndex, CArray* pNewArray) {
    if (pNewArray == nullptr || nStartIndex < 0)
        AfxThrowInvalidArgException();
    if (pNewArray->GetSize() == 0)
        return;
    if (pNewArray == this) {
        CArray copy;
        copy.Copy(*this);
        InsertAt(nStartIndex, &copy);
        return;
    }
    InsertAt(nStartIndex, pNewArray->GetAt(0), pNewArray->GetSize());
    for (INT_PTR i = 1; i < pNewArray->GetSize(); ++i)
        SetAt(nStartIndex + i, pNewArray->GetAt(i));
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::RemoveAt(INT_PTR nIndex, INT_PTR nCount) {
    INT_PTR nUpperBound = nIndex + nCount;
    if (nIndex < 0 || nCount < 0 || nUpperBound > m_nSize || nUpperBound < nIndex)
        AfxThrowInvalidArgException();
    INT_PTR nMoveCount = m_nSize - nUpperBound;
    if constexpr (std::is_trivially_copyable_v<TYPE>) {
        if (nMoveCount > 0)
            std::memmove(static_cast<void*>(m_pData + nIndex), static_cast<const void*>(m_pData + nUpperBound),
                         static_cast<size_t>(nMoveCount) * sizeof(TYPE));
    } else {
        for (INT_PTR i = 0; i < nMoveCount; ++i)
            m_pData[nIndex + i] = std::move(m_pData[nUpperBound + i]);
        afx_detail::Destruct(m_pData + m_nSize - nCount, nCount);
    }
    m_nSize -= nCount;
}

template <class TYPE, class ARG_TYPE> void CArray<TYPE, ARG_TYPE>::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_nSize));
        SerializeElements<TYPE>(ar, m_pData, m_nSize);
        return;
    }
    // The stored count is only a claim: the array grows as its elements actually arrive, so a damaged
    // count meets the end of the input before it can cost a large allocation.
    DWORD_PTR nCount = ar.ReadCount();
    if (nCount > static_cast<DWORD_PTR>(INT64_MAX / static_cast<INT_PTR>(sizeof(TYPE))))
        AfxThrowArchiveException(CArchiveException::endOfFile, ar.m_strFileName);
    SetSize(0, -1);
    INT_PTR nTotal = static_cast<INT_PTR>(nCount);
    INT_PTR nDone = 0;
    while (nDone < nTotal) {
        INT_PTR nChunk = nDone < 1024 ? 1024 : nDone;
        if (nChunk > nTotal - nDone)
            nChunk = nTotal - nDone;
        SetSize(nDone + nChunk, -1);
        SerializeElements<TYPE>(ar, m_pData + nDone, nChunk);
        nDone += nChunk;
    }
}

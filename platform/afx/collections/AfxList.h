// CList: the framework's doubly linked list, walked with POSITION values. Nodes come from blocks of
// nBlockSize and are reused; the blocks go back when the list becomes empty. Asking an empty list for its
// head or tail, or passing a null POSITION where an element is needed, throws CInvalidArgException*.
#pragma once

#include <utility>

#include "AfxCollTraits.h"
#include "AfxObject.h"

template <class TYPE, class ARG_TYPE = const TYPE&> class CList : public CObject {
protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CList(INT_PTR nBlockSize = 10) : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
    ~CList() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return NonEmpty(m_pNodeHead)->data; }
    const TYPE& GetHead() const { return NonEmpty(m_pNodeHead)->data; }
    TYPE& GetTail() { return NonEmpty(m_pNodeTail)->data; }
    const TYPE& GetTail() const { return NonEmpty(m_pNodeTail)->data; }

    TYPE RemoveHead();
    TYPE RemoveTail();
    POSITION AddHead(ARG_TYPE newElement) { return Link(NewNode(newElement), nullptr, m_pNodeHead); }
    POSITION AddTail(ARG_TYPE newElement) { return Link(NewNode(newElement), m_pNodeTail, nullptr); }
    void AddHead(CList* pNewList);
    void AddTail(CList* pNewList);
    void RemoveAll();

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pNodeHead); }
    POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_pNodeTail); }
    TYPE& GetNext(POSITION& rPosition) { return Step(rPosition, true)->data; }
    const TYPE& GetNext(POSITION& rPosition) const { return Step(rPosition, true)->data; }
    TYPE& GetPrev(POSITION& rPosition) { return Step(rPosition, false)->data; }
    const TYPE& GetPrev(POSITION& rPosition) const { return Step(rPosition, false)->data; }
    TYPE& GetAt(POSITION position) { return NodeAt(position)->data; }
    const TYPE& GetAt(POSITION position) const { return NodeAt(position)->data; }
    void SetAt(POSITION pos, ARG_TYPE newElement) { NodeAt(pos)->data = newElement; }
    void RemoveAt(POSITION position);
    // A null position inserts at the head (InsertBefore) or the tail (InsertAfter).
    POSITION InsertBefore(POSITION position, ARG_TYPE newElement);
    POSITION InsertAfter(POSITION position, ARG_TYPE newElement);

    POSITION Find(ARG_TYPE searchValue, POSITION startAfter = nullptr) const;
    POSITION FindIndex(INT_PTR nIndex) const;

    void Serialize(CArchive& ar) override;

protected:
    static CNode* NodeAt(POSITION position) {
        if (position == nullptr || position == BEFORE_START_POSITION)
            AfxThrowInvalidArgException();
        return reinterpret_cast<CNode*>(position);
    }
    static CNode* NonEmpty(CNode* pNode) {
        if (pNode == nullptr)
            AfxThrowInvalidArgException();
        return pNode;
    }
    static CNode* Step(POSITION& rPosition, bool forward) {
        CNode* pNode = NodeAt(rPosition);
        rPosition = reinterpret_cast<POSITION>(forward ? pNode->pNext : pNode->pPrev);
        return pNode;
    }
    CNode* NewNode(ARG_TYPE newElement);
    void FreeNode(CNode* pNode);
    POSITION Link(CNode* pNode, CNode* pPrev, CNode* pNext);

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    INT_PTR m_nCount = 0;
    CNode* m_pNodeFree = nullptr;
    void* m_pBlocks = nullptr; // each block starts with the pointer to the previous one
    INT_PTR m_nBlockSize;
};

template <class TYPE, class ARG_TYPE>
typename CList<TYPE, ARG_TYPE>::CNode* CList<TYPE, ARG_TYPE>::NewNode(ARG_TYPE newElement) {
    TYPE value(newElement); // taken before any storage changes
    if (m_pNodeFree == nullptr) {
        size_t header = (sizeof(void*) + alignof(CNode) - 1) / alignof(CNode) * alignof(CNode);
        auto* block = static_cast<BYTE*>(AfxAllocateRaw(header + static_cast<size_t>(m_nBlockSize) * sizeof(CNode)));
        *reinterpret_cast<void**>(block) = m_pBlocks;
        m_pBlocks = block;
        auto* nodes = reinterpret_cast<CNode*>(block + header);
        for (INT_PTR i = m_nBlockSize - 1; i >= 0; --i) {
            nodes[i].pNext = m_pNodeFree;
            m_pNodeFree = &nodes[i];
        }
    }
    CNode* pNode = m_pNodeFree;
    m_pNodeFree = pNode->pNext;
    afx_detail::ConstructZeroed(&pNode->data, 1);
    pNode->data = std::move(value);
    ++m_nCount;
    return pNode;
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::FreeNode(CNode* pNode) {
    afx_detail::Destruct(&pNode->data, 1);
    pNode->pNext = m_pNodeFree;
    m_pNodeFree = pNode;
    if (--m_nCount == 0)
        RemoveAll();
}

template <class TYPE, class ARG_TYPE> POSITION CList<TYPE, ARG_TYPE>::Link(CNode* pNode, CNode* pPrev, CNode* pNext) {
    pNode->pPrev = pPrev;
    pNode->pNext = pNext;
    if (pPrev != nullptr)
        pPrev->pNext = pNode;
    else
        m_pNodeHead = pNode;
    if (pNext != nullptr)
        pNext->pPrev = pNode;
    else
        m_pNodeTail = pNode;
    return reinterpret_cast<POSITION>(pNode);
}

template <class TYPE, class ARG_TYPE> TYPE CList<TYPE, ARG_TYPE>::RemoveHead() {
    CNode* pOldNode = NonEmpty(m_pNodeHead);
    TYPE returnValue(std::move(pOldNode->data));
    RemoveAt(reinterpret_cast<POSITION>(pOldNode));
    return returnValue;
}

template <class TYPE, class ARG_TYPE> TYPE CList<TYPE, ARG_TYPE>::RemoveTail() {
    CNode* pOldNode = NonEmpty(m_pNodeTail);
    TYPE returnValue(std::move(pOldNode->data));
    RemoveAt(reinterpret_cast<POSITION>(pOldNode));
    return returnValue;
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::AddHead(CList* pNewList) {
    if (pNewList == nullptr)
        AfxThrowInvalidArgException();
    // Backwards, so the other list keeps its order at our head.
    for (POSITION pos = pNewList->GetTailPosition(); pos != nullptr;)
        AddHead(pNewList->GetPrev(pos));
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::AddTail(CList* pNewList) {
    if (pNewList == nullptr)
        AfxThrowInvalidArgException();
    INT_PTR n = pNewList->GetCount(); // the list may be this one
    POSITION pos = pNewList->GetHeadPosition();
    for (INT_PTR i = 0; i < n; ++i)
        AddTail(pNewList->GetNext(pos));
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::RemoveAll() {
    for (CNode* pNode = m_pNodeHead; pNode != nullptr;) {
        CNode* pNext = pNode->pNext;
        afx_detail::Destruct(&pNode->data, 1);
        pNode = pNext;
    }
    m_pNodeHead = m_pNodeTail = m_pNodeFree = nullptr;
    m_nCount = 0;
    while (m_pBlocks != nullptr) {
        void* previous = *static_cast<void**>(m_pBlocks);
        AfxFreeRaw(m_pBlocks);
        m_pBlocks = previous;
    }
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::RemoveAt(POSITION position) {
    CNode* pOldNode = NodeAt(position);
    if (pOldNode == m_pNodeHead)
        m_pNodeHead = pOldNode->pNext;
    else
        pOldNode->pPrev->pNext = pOldNode->pNext;
    if (pOldNode == m_pNodeTail)
        m_pNodeTail = pOldNode->pPrev;
    else
        pOldNode->pNext->pPrev = pOldNode->pPrev;
    FreeNode(pOldNode);
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::InsertBefore(POSITION position, ARG_TYPE newElement) {
    if (position == nullptr)
        return AddHead(newElement);
    CNode* pOldNode = NodeAt(position);
    return Link(NewNode(newElement), pOldNode->pPrev, pOldNode);
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::InsertAfter(POSITION position, ARG_TYPE newElement) {
    if (position == nullptr)
        return AddTail(newElement);
    CNode* pOldNode = NodeAt(position);
    return Link(NewNode(newElement), pOldNode, pOldNode->pNext);
}

template <class TYPE, class ARG_TYPE>
POSITION CList<TYPE, ARG_TYPE>::Find(ARG_TYPE searchValue, POSITION startAfter) const {
    CNode* pNode = startAfter == nullptr ? m_pNodeHead : NodeAt(startAfter)->pNext;
    for (; pNode != nullptr; pNode = pNode->pNext)
        if (CompareElements<TYPE, std::remove_cv_t<std::remove_reference_t<ARG_TYPE>>>(&pNode->data, &searchValue))
            return reinterpret_cast<POSITION>(pNode);
    return nullptr;
}

template <class TYPE, class ARG_TYPE> POSITION CList<TYPE, ARG_TYPE>::FindIndex(INT_PTR nIndex) const {
    if (nIndex < 0 || nIndex >= m_nCount)
        return nullptr;
    CNode* pNode = m_pNodeHead;
    while (nIndex-- > 0)
        pNode = pNode->pNext;
    return reinterpret_cast<POSITION>(pNode);
}

template <class TYPE, class ARG_TYPE> void CList<TYPE, ARG_TYPE>::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_nCount));
        for (CNode* pNode = m_pNodeHead; pNode != nullptr; pNode = pNode->pNext)
            SerializeElements<TYPE>(ar, &pNode->data, 1);
        return;
    }
    for (DWORD_PTR nNewCount = ar.ReadCount(); nNewCount > 0; --nNewCount) {
        TYPE newData[1] = {};
        SerializeElements<TYPE>(ar, newData, 1);
        AddTail(newData[0]);
    }
}

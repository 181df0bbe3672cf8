#include "app/devices/ConnectionTree.h"

#include <memory>
#include <new>

#include "afx.h"

namespace core {

template <class T> tree<T>::tree(const T& element) : m_element(element) {}

template <class T> tree<T>::~tree() {
    if (m_pObserver != nullptr)
        m_pObserver->node_destroyed(this);
    unlink();
    clear();
}

template <class T> void* tree<T>::operator new(size_t nSize) {
    return AfxAllocateRaw(nSize);
}

template <class T> void tree<T>::operator delete(void* p) noexcept {
    AfxFreeRaw(p);
}

template <class T> tree_iterator<T> tree<T>::insert(const T& element) {
    // Find the child the new one replaces before anything is allocated, so the allocations know whether the
    // replacement leaves this node without children (and so without its head).
    tree* pReplaced = nullptr;
    for (tree* p = m_pFirstChild; p != nullptr && pReplaced == nullptr; p = p->m_pNext)
        if (T::IsSameElement(p->m_element, element))
            pReplaced = p;
    const bool needsHead = m_pFirstChild == nullptr || (pReplaced == m_pFirstChild && pReplaced->m_pNext == nullptr);
    std::unique_ptr<tree> pNewNode;
    std::unique_ptr<tree> pNewHead;
    try {
        pNewNode.reset(new tree(element));
        if (needsHead)
            pNewHead.reset(new tree());
    } catch (CMemoryException* e) {
        e->Delete();
        return tree_iterator<T>();
    }

    delete pReplaced; // the replaced child leaves with its subtree, reporting each node
    tree* pNode = pNewNode.release();
    if (m_pFirstChild == nullptr) {
        // The head is the first child's, until the last child goes (unlink).
        tree* pHead = pNewHead.release();
        pHead->m_pNext = pNode;
        pNode->m_pPrev = pHead;
        m_pFirstChild = pNode;
    } else {
        // An unused head (the replaced child was not the only one after all) goes on the way out.
        tree* pLast = m_pFirstChild;
        while (pLast->m_pNext != nullptr)
            pLast = pLast->m_pNext;
        pLast->m_pNext = pNode;
        pNode->m_pPrev = pLast;
    }
    pNode->m_pParent = this;
    pNode->m_nDepth = m_nDepth + 1;
    pNode->m_pObserver = m_pObserver;
    ++m_nChildren;
    return tree_iterator<T>(pNode);
}

template <class T> tree_iterator<T> tree<T>::find(const T& key) const {
    for (tree* p = m_pFirstChild; p != nullptr; p = p->m_pNext)
        if (T::IsSameElement(p->m_element, key))
            return tree_iterator<T>(p);
    return tree_iterator<T>();
}

template <class T> tree_iterator<T> tree<T>::find_in_subtree(const T& key) const {
    for (tree* p = m_pFirstChild; p != nullptr; p = p->m_pNext) {
        if (T::IsSameElement(p->m_element, key))
            return tree_iterator<T>(p);
        tree_iterator<T> below = p->find_in_subtree(key);
        if (below.node() != nullptr)
            return below;
    }
    return tree_iterator<T>();
}

template <class T> tree_iterator<T> tree<T>::begin() const {
    return tree_iterator<T>(m_pFirstChild);
}

template <class T> void tree<T>::unlink() {
    if (m_pParent != nullptr) {
        if (m_pParent->m_pFirstChild != this) {
            m_pPrev->m_pNext = m_pNext;
            if (m_pNext != nullptr)
                m_pNext->m_pPrev = m_pPrev;
        } else if (m_pNext != nullptr) {
            tree* pHead = m_pPrev;
            pHead->m_pNext = m_pNext;
            m_pNext->m_pPrev = pHead;
            m_pParent->m_pFirstChild = m_pNext;
        } else {
            delete m_pPrev; // the head goes with the only child
            m_pParent->m_pFirstChild = nullptr;
        }
        --m_pParent->m_nChildren;
        m_pParent = nullptr;
    }
    m_pNext = nullptr;
    m_pPrev = nullptr;
}

template <class T> void tree<T>::clear() {
    if (m_pFirstChild == nullptr)
        return;
    tree* pHead = m_pFirstChild->m_pPrev;
    for (tree* p = m_pFirstChild; p != nullptr;) {
        tree* pNext = p->m_pNext;
        // Detached first, so its own unlink leaves this node's links alone.
        p->m_pParent = nullptr;
        p->m_pNext = nullptr;
        p->m_pPrev = nullptr;
        delete p; // with its subtree, each node reporting its destruction
        p = pNext;
    }
    delete pHead; // the children's head, owned by the first child's list
    m_pFirstChild = nullptr;
    m_nChildren = 0;
}

template class tree<ConnectionElement>;

} // namespace core

constinit const core::tree_iterator<ConnectionElement> g_ConnectionTreeEnd{};

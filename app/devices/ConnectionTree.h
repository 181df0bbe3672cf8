// core::tree: the ordered n-ary tree the connection tree is made of, one element per node, and its iterator.
//
// A node with children also owns a hidden head node: the first child's previous link is the head and the
// head's next link the first child, so a child's previous link is never null. The head is never counted
// or visited. Nodes come from AfxAllocateRaw, so the framework's allocation failure plan reaches them.
//
// Destruction is reported: a tree's root can carry one observer, every node inserted below takes its
// parent's, and each node tells it once when it is destroyed, whatever destroys it (a replacement in
// insert, clear, deleting a node with or without unlink first, destroying the root). Holders of node
// pointers forget them there, and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace core {

template <class T> class tree;
template <class T> class tree_iterator;

template <class T> class tree_observer {
public:
    virtual void node_destroyed(tree<T>* pNode) = 0;

protected:
    ~tree_observer() = default;
};

template <class T> class tree {
public:
    explicit tree(const T& element = T());
    // Unlinks the node, destroys its subtree and reports each destroyed node; the elements' objects stay.
    virtual ~tree();
    tree(const tree&) = delete;
    tree& operator=(const tree&) = delete;

    static void* operator new(size_t nSize);
    static void operator delete(void* p) noexcept;

    // A copy of the element as the new last child. A child holding the same element is destroyed with its
    // subtree first. The new node (and a head node) are allocated before the tree is touched: when memory is
    // short the result is the end iterator and the tree, that child included, is unchanged.
    tree_iterator<T> insert(const T& element);
    // The first direct child holding the same element as the key.
    tree_iterator<T> find(const T& key) const;
    // The first descendant in pre-order holding the same element; the node itself is not tested.
    tree_iterator<T> find_in_subtree(const T& key) const;
    tree_iterator<T> begin() const;
    // Detaches the node from its parent with its subtree; the parent's links close over the gap.
    void unlink();
    // Destroys every child and the head node.
    void clear();

    // Only on a root: reported by every node inserted below it from now on.
    void set_observer(tree_observer<T>* pObserver) { m_pObserver = pObserver; }

    T& get() { return m_element; }
    const T& get() const { return m_element; }
    tree* parent() const { return m_pParent; }
    tree* next_sibling() const { return m_pNext; }
    tree* prev_sibling() const { return m_pPrev; }
    tree* first_child() const { return m_pFirstChild; }
    uint64_t depth() const { return m_nDepth; }
    uint64_t size() const { return m_nChildren; }

private:
    T m_element;
    tree* m_pNext = nullptr;
    tree* m_pPrev = nullptr;
    tree* m_pFirstChild = nullptr;
    tree* m_pParent = nullptr;
    uint64_t m_nDepth = 0;
    uint64_t m_nChildren = 0;
    tree_observer<T>* m_pObserver = nullptr;
};

// Points at one node; a null node is the end. Destroying an iterator never touches its node.
template <class T> class tree_iterator {
public:
    constexpr tree_iterator() = default;
    constexpr explicit tree_iterator(tree<T>* pNode) : m_pNode(pNode) {}

    tree<T>* node() const { return m_pNode; }
    T& operator*() const { return m_pNode->get(); }
    T* operator->() const { return &m_pNode->get(); }

    tree_iterator begin() const { return m_pNode->begin(); }
    // Moves to the next sibling (the end after the last) and returns where it was.
    tree_iterator operator++(int) {
        tree_iterator was = *this;
        m_pNode = m_pNode->next_sibling();
        return was;
    }
    tree_iterator insert(const T& element) const { return m_pNode->insert(element); }
    tree_iterator find(const T& key) const { return m_pNode->find(key); }
    tree_iterator find_in_subtree(const T& key) const { return m_pNode->find_in_subtree(key); }

    friend bool operator==(const tree_iterator& a, const tree_iterator& b) { return a.m_pNode == b.m_pNode; }

private:
    tree<T>* m_pNode = nullptr;
};

} // namespace core

#include "app/devices/ConnectionElement.h"

extern template class core::tree<ConnectionElement>;

// The end of every search of the connection tree; constant-initialised, so it can be used while other
// files are still being initialised.
extern const core::tree_iterator<ConnectionElement> g_ConnectionTreeEnd;

// PtrStack8: the property-grid back-end's path of open grid items: eight slots and a count. The depth is
// fixed because decoders nest at most a few levels; a push beyond it is dropped, and a pop from an empty
// stack gives null, so a decoder's unbalanced calls never reach outside the slots.
#pragma once

#include <cstdint>

class CGkPropertyGridItem;

class PtrStack8 {
public:
    static constexpr uint32_t kSlots = 8;

    PtrStack8() { Clear(); }

    bool IsEmpty() const { return m_Count == 0; }
    bool IsFull() const { return m_Count == kSlots; }
    uint32_t GetCount() const { return m_Count; }
    // The entry `depth` below the top (0: the top); null past the bottom.
    CGkPropertyGridItem* Peek(uint32_t depth = 0) const {
        return depth < m_Count ? m_Slots[m_Count - 1 - depth] : nullptr;
    }

    // Stores nothing when the stack is full.
    void Push(CGkPropertyGridItem* item) {
        if (m_Count < kSlots)
            m_Slots[m_Count++] = item;
    }
    // The top entry, removed; null when empty.
    CGkPropertyGridItem* Pop() { return m_Count == 0 ? nullptr : m_Slots[--m_Count]; }
    void Clear() {
        for (CGkPropertyGridItem*& slot : m_Slots)
            slot = nullptr;
        m_Count = 0;
    }

private:
    CGkPropertyGridItem* m_Slots[kSlots];
    uint32_t m_Count;
};
static_assert(sizeof(PtrStack8) == 72);

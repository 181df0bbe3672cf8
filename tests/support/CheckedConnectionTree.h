// The device tree's walk of checked devices, until the device tree pane exists: the nodes of a capture
// document's connection tree in the order the pane shows them (depth first, the root item first), with the
// objects a test checks. While it lives, CPanePointers walks it.
#pragma once

#include <set>

#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceViews.h"
#include "app/ui/PanePointers.h"

namespace tdl::test {

class CheckedConnectionTree final : public ICheckedDevices {
public:
    using Node = core::tree<ConnectionElement>;

    explicit CheckedConnectionTree(Node& root) : m_root(root) { CPanePointers::SetCheckedDevices(this); }
    ~CheckedConnectionTree() { CPanePointers::SetCheckedDevices(nullptr); }
    CheckedConnectionTree(const CheckedConnectionTree&) = delete;
    CheckedConnectionTree& operator=(const CheckedConnectionTree&) = delete;

    void Check(const CObject* pObject) { m_checked.insert(pObject); }
    // Every node that has a check box.
    void CheckAll() {
        for (Node* p = &m_root; p != nullptr; p = Next(p)) {
            if (p->get().m_IsCheckable)
                Check(p->get().m_pElemObject);
        }
    }
    size_t CheckedCount() const { return m_checked.size(); }

    BOOL GetNextCheckedDevice(Position& rPosition, int& rImage, CObject*& rpDevice) override {
        Node* p = rPosition == nullptr ? &m_root : Next(static_cast<Node*>(rPosition));
        for (; p != nullptr; p = Next(p)) {
            CObject* pObject = p->get().m_pElemObject;
            if (pObject != nullptr && m_checked.count(pObject) != 0) {
                rPosition = p;
                rImage = static_cast<int>(p->get().m_ElementType);
                rpDevice = pObject;
                return TRUE;
            }
        }
        return FALSE;
    }

    // The node after `p` in the walk: its first child, else its next sibling, else the next sibling of the
    // nearest ancestor that has one.
    Node* Next(Node* p) const {
        if (p->first_child() != nullptr)
            return p->first_child();
        for (; p != nullptr && p != &m_root; p = p->parent()) {
            if (p->next_sibling() != nullptr)
                return p->next_sibling();
        }
        return nullptr;
    }

private:
    Node& m_root;
    std::set<const CObject*> m_checked;
};

} // namespace tdl::test

// What the device tree shows of a capture document's connection tree, as text, and the check that no stack
// and no node names a topology object or a node that is gone.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/core/document/USBLog.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"

namespace apptest {

using ConnectionNode = core::tree<ConnectionElement>;

// What the device tree shows of a node's object: the image its stack gives it.
inline int ImageOf(const CObject* pObject) {
    if (pObject == nullptr)
        return -1;
    if (pObject->IsKindOf(RUNTIME_CLASS(CHostController))) {
        const CDeviceStack* pStack = static_cast<const CHostController*>(pObject)->m_devstk;
        return pStack != nullptr ? pStack->m_iDeviceType : -1;
    }
    if (pObject->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
        const CDeviceStack* pStack = static_cast<const CUsbHub*>(pObject)->m_devstk;
        return pStack != nullptr ? pStack->m_iDeviceType : -1;
    }
    if (pObject->IsKindOf(RUNTIME_CLASS(CHubPort)))
        return static_cast<const CHubPort*>(pObject)->GetImageIndex();
    return 0;
}

// One line a node, indented by depth: type, whether it has a check box, image (unless left out), label.
inline void DumpTree(const ConnectionNode* pNode, std::string& out, bool bImages, int depth = 0) {
    const ConnectionElement& e = pNode->get();
    out += std::string(static_cast<size_t>(depth) * 2, ' ') + ConnectionElement::GetElementTypeName(e.m_ElementType) +
           (e.m_IsCheckable ? " [x] " : " [ ] ") + (bImages ? std::to_string(ImageOf(e.m_pElemObject)) + " " : "") +
           e.m_LabelText.GetString() + "\n";
    for (const ConnectionNode* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
        DumpTree(p, out, bImages, depth + 1);
}

inline std::string DumpTree(CUSBLog& doc, bool bImages = true) {
    std::string out;
    DumpTree(&doc.GetConnectionTree(), out, bImages);
    return out;
}

// Every model object the document's controllers own, and every node.
inline void CollectObjects(const CObject* pObject, std::set<const void*>& live) {
    if (pObject == nullptr || !live.insert(pObject).second)
        return;
    if (pObject->IsKindOf(RUNTIME_CLASS(CHostController))) {
        CollectObjects(static_cast<const CHostController*>(pObject)->GetRootHub(), live);
    } else if (pObject->IsKindOf(RUNTIME_CLASS(CUsbHub))) {
        const auto* pHub = static_cast<const CUsbHub*>(pObject);
        for (INT_PTR i = 0; i < pHub->m_Ports.GetSize(); ++i)
            CollectObjects(pHub->m_Ports[i], live);
    } else if (pObject->IsKindOf(RUNTIME_CLASS(CHubPort))) {
        CollectObjects(static_cast<const CHubPort*>(pObject)->GetExternalHub(), live);
    }
}

inline void CollectNodes(const ConnectionNode* pNode, std::set<const void*>& nodes) {
    nodes.insert(pNode);
    for (const ConnectionNode* p = pNode->first_child(); p != nullptr; p = p->next_sibling())
        CollectNodes(p, nodes);
}

// No stack names an object or a node that is gone, and no node below the root stands for a gone object.
inline void ExpectNoStaleLinks(CUSBLog& doc) {
    std::set<const void*> objects;
    std::set<const void*> nodes;
    CSystemHostControllers* pControllers = doc.GetHostControllers();
    for (INT_PTR i = 0; i < pControllers->GetCount(); ++i)
        CollectObjects(pControllers->GetAt(i), objects);
    CollectNodes(&doc.GetConnectionTree(), nodes);
    for (const void* p : nodes) {
        const auto* pNode = static_cast<const ConnectionNode*>(p);
        if (pNode != &doc.GetConnectionTree())
            EXPECT_EQ(1u, objects.count(pNode->get().m_pElemObject)) << pNode->get().m_LabelText.GetString();
    }
    CStackTree* pStacks = doc.GetStackTree();
    for (auto* p = pStacks->m_StackMap.PGetFirstAssoc(); p != nullptr; p = pStacks->m_StackMap.PGetNextAssoc(p)) {
        SCOPED_TRACE(p->value->Description.GetString());
        if (p->value->m_deviceNode != nullptr)
            EXPECT_EQ(1u, objects.count(p->value->m_deviceNode)) << p->key;
        if (p->value->m_pSubtree != nullptr)
            EXPECT_EQ(1u, nodes.count(p->value->m_pSubtree)) << p->key;
    }
}

} // namespace apptest

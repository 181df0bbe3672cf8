// Deleting a part of the USB topology from the capture document: the one way a hub, a hub port or anything
// below them leaves the connection tree. The node goes (the tree's destruction notice clears the stacks'
// m_pSubtree), and no device stack keeps standing for an object of the removed part, so neither the tree
// nor a stack names an object its owner is about to delete.
#pragma once

#include "afx.h"

class CUSBLog;
struct ConnectionElement;
namespace core {
template <class T> class tree;
}

// Destroys the node that holds pObject with its subtree (when there is one) and resets every stack whose
// m_deviceNode is pObject, a model object below it (a hub's ports, a port's hub) or the object of a
// destroyed node: m_deviceNode null, type DT_NONE. The objects stay with their owners. TRUE when a node was
// found.
BOOL DeleteTopologyObject(CUSBLog* pDocument, CObject* pObject);

// The same for every child of the node, which itself stays.
void DeleteTopologyChildren(CUSBLog* pDocument, core::tree<ConnectionElement>* pNode);

// The capture document's side of device arrival and removal: the connection tree's upkeep.
#include "app/core/Trace.h"
#include "app/core/USBLog.h"
#include "app/devices/StackTree.h"

BOOL CUSBLog::RemoveSubtree(CObject* pObject) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL, "--CUSBLog::RemoveSubtree");
    const ::ConnectionElement key(FALSE, UnassignedType, pObject);
    core::tree_iterator<::ConnectionElement> found = m_ConnectionTree.find_in_subtree(key);
    if (found == g_ConnectionTreeEnd)
        return FALSE;
    found.node()->clear();
    return TRUE;
}

void CUSBLog::SubtreeObserver::node_destroyed(core::tree<::ConnectionElement>* pNode) {
    if (CStackTree* pStacks = m_pDocument->GetStackTree())
        pStacks->ForgetSubtree(pNode);
}

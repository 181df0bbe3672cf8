#include "app/devices/TopologyArchive.h"

#include "app/core/document/USBLog.h"
#include "app/devices/StackTree.h"

CUSBLog* ArchiveDocument(const CArchive& ar) {
    CDocument* pDocument = ar.m_pDocument;
    return pDocument != nullptr && pDocument->IsKindOf(RUNTIME_CLASS(CUSBLog)) ? static_cast<CUSBLog*>(pDocument)
                                                                               : nullptr;
}

CDeviceStack* ArchiveStack(const CArchive& ar, USHORT stackId) {
    CUSBLog* pDocument = ArchiveDocument(ar);
    if (stackId == 0 || pDocument == nullptr || pDocument->GetStackTree() == nullptr)
        return nullptr;
    return pDocument->GetStackTree()->FindStackById(stackId);
}

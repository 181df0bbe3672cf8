// The sweep after a merge of the driver's list: CDriverObject's part.
#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"

namespace {

// Out of its stack's map of positions: the map must not keep a deleted object.
void RemoveFromStack(CDeviceObject* pDevice) {
    CDeviceStack* pStack = pDevice->_DevStack;
    if (pStack == nullptr)
        return;
    for (;;) {
        const auto* pPair = pStack->m_DevObjMap.PGetFirstAssoc();
        while (pPair != nullptr && pPair->value != pDevice)
            pPair = pStack->m_DevObjMap.PGetNextAssoc(pPair);
        if (pPair == nullptr)
            break;
        pStack->m_DevObjMap.RemoveKey(pPair->key);
    }
    pDevice->_DevStack = nullptr;
}

} // namespace

void CDriverObject::RemoveUnmarkedDOs(CAttachedDevices* pDevices) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL_PROCESSING, "--CDriverObject::RemoveUnmarkedDOs");
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize();) {
        CDeviceObject* pDevice = m_DeviceObjects[i];
        if ((pDevice->_StatusFlags & SeenMark) != 0) {
            ++i;
            continue;
        }
        RemoveFromStack(pDevice);
        m_DeviceObjects.RemoveAt(i);
        pDevice->_Driver = nullptr;
        std::unique_ptr<CDeviceObject> pRemoved = pDevices->RemoveDeviceObject(pDevice);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL_PROCESSING,
                  "--- delete CDeviceObject = %p, PDEVICE_OBJECT=%I64x", pDevice, pDevice->_NtDeviceObject);
    }
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i)
        m_DeviceObjects[i]->_StatusFlags &= ~SeenMark;
}

// The capture document's look-ups of the kernel objects its records name.
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"

CDeviceObject* CUSBLog::FindAttachedObject(ULONG64 ntDeviceObject, LONGLONG timeStamp) const {
    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices)
        m_pAttachedDevices->GetClassDeviceObjectAtTime(ntDeviceObject, timeStamp, pDevice);
    return pDevice;
}

CDeviceObject* CUSBLog::FindDeviceObject(ULONG64 ntDeviceObject) const {
    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices)
        m_pAttachedDevices->GetPresentClassDeviceObject(ntDeviceObject, pDevice);
    return pDevice;
}

BOOL CUSBLog::LookupDeviceTypeInfo(ULONG64 ntDeviceObject, DeviceSummary& summary) const {
    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices == nullptr || !m_pAttachedDevices->GetPresentClassDeviceObject(ntDeviceObject, pDevice) ||
        pDevice == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_URB_DECODER, "failed to get CDeviceObject for DeviceObjAddr");
        return FALSE;
    }
    CDeviceStack* pStack = pDevice->_DevStack;
    if (pStack == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_URB_DECODER, "failed to get CDeviceStack for CDeviceObject");
        return FALSE;
    }
    CObject* pNode = pStack->m_deviceNode;
    if (pNode == nullptr || !pNode->IsKindOf(RUNTIME_CLASS(CHubPort))) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_URB_DECODER, "failed to get CHubPort for CDeviceStack");
        return FALSE;
    }
    if (pStack->m_iDeviceType != DT_GENERIC_USB && pStack->m_iDeviceType != DT_SS_GENERIC_USB) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_URB_DECODER, "devstk->m_iDeviceType NOT DT_GENERIC_USB or DT_SS_GENERIC_USB");
        return FALSE;
    }
    DeviceSummary filled{};
    static_cast<CHubPort*>(pNode)->GetDeviceTypeSummary(0, filled);
    summary = filled;
    return TRUE;
}

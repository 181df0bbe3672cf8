#include "app/devices/DriverObject.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CDriverObject, CObject, 1)

CDriverObject::CDriverObject(const DRIVER_NODE& node, BOOL bListed)
    : m_NtDriverObject(node.DriverObject), m_DriverName(NodeText(node.DriverName)), m_bListed(bListed),
      m_Flags(node.DriverFlags | SeenMark), m_StartTime(node.HookTime), m_UnloadTime(node.UnloadTime),
      m_nStateImage(bListed ? CHECKSTATE_UNCHECKED : CHECKSTATE_UNCHECKABLE) {}

CDriverObject::~CDriverObject() {
    // No device object may keep pointing at a deleted driver.
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i)
        m_DeviceObjects[i]->_Driver = nullptr;
}

BOOL CDriverObject::AddDeviceObject(CDeviceObject* pDevice) {
    if (pDevice->_Driver == this)
        return TRUE;
    try {
        m_DeviceObjects.Add(pDevice);
    } catch (CMemoryException* e) {
        e->Delete();
        return FALSE;
    }
    if (pDevice->_Driver != nullptr)
        pDevice->_Driver->RemoveDeviceObject(pDevice);
    pDevice->_Driver = this;
    return TRUE;
}

void CDriverObject::RemoveDeviceObject(CDeviceObject* pDevice) {
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i) {
        if (m_DeviceObjects[i] == pDevice) {
            m_DeviceObjects.RemoveAt(i);
            if (pDevice->_Driver == this)
                pDevice->_Driver = nullptr;
            return;
        }
    }
}

void CDriverObject::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_NtDriverObject = %I64x", m_NtDriverObject);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_DriverName = %s", m_DriverName.GetString());
        ar << m_NtDriverObject << m_DriverName << static_cast<BYTE>(m_bListed ? 1 : 0) << m_Flags << m_StartTime
           << m_UnloadTime;
        auto count = static_cast<DWORD>(m_DeviceObjects.GetSize());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDeviceObjectsInDriver = %d", static_cast<int>(count));
        ar << count;
        for (DWORD i = 0; i < count; ++i)
            ar << m_DeviceObjects[i]->_NtDeviceObject << m_DeviceObjects[i]->_StartTime;
        return;
    }

    BYTE listed = 0;
    ar >> m_NtDriverObject >> m_DriverName >> listed >> m_Flags >> m_StartTime >> m_UnloadTime;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_NtDriverObject = %I64x", m_NtDriverObject);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "m_DriverName = %s", m_DriverName.GetString());
    m_bListed = listed != 0;
    m_nStateImage = m_bListed ? CHECKSTATE_UNCHECKED : CHECKSTATE_UNCHECKABLE;
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDeviceObjectsInDriver = %d", static_cast<int>(count));
    auto* pDocument = dynamic_cast<CUSBLog*>(ar.m_pDocument);
    CAttachedDevices* pDevices = pDocument != nullptr ? pDocument->GetAttachedDevices() : nullptr;
    for (DWORD i = 0; i < count; ++i) {
        ULONG64 ntDeviceObject = 0;
        LONGLONG startTime = 0;
        ar >> ntDeviceObject >> startTime;
        CDeviceObject* pDevice = nullptr;
        if (pDevices != nullptr && pDevices->GetClassDeviceObjectAtTime(ntDeviceObject, startTime, pDevice))
            AddDeviceObject(pDevice);
        else
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "Could not find CDeviceObject for PDEVICE_OBJECT=0x%I64x",
                      ntDeviceObject);
    }
}

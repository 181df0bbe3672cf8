#include "app/devices/DeviceObject.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CDeviceObject, CObject, 1)

CDeviceObject::CDeviceObject(const DEVICE_NODE& node)
    : _NtDeviceObject(node.DeviceObject), _DeviceName(NodeText(node.DeviceName)), _StatusFlags(node.StatusFlags),
      _StackPosition(node.Position), _NtDriverObject(node.DriverObject),
      _StartTime(static_cast<LONGLONG>(node.StartTime)), _EndTime(static_cast<LONGLONG>(node.RemovalTime)),
      m_nStateImage(DevobjLoggable(node.StatusFlags) ? CHECKSTATE_UNCHECKED : CHECKSTATE_UNCHECKABLE) {}

CDeviceObject::~CDeviceObject() {
    // A driver lists exactly the device objects that name it; leaving its list keeps it from reaching a
    // deleted object.
    if (_Driver != nullptr)
        _Driver->RemoveDeviceObject(this);
}

UINT CDeviceObject::SelectionStateImage() const {
    if (!IsSelectable())
        return CHECKSTATE_UNCHECKABLE;
    return (_StatusFlags & DEVOBJ_CAPTURE_OFF) != 0 ? CHECKSTATE_UNCHECKED : CHECKSTATE_CHECKED;
}

void CDeviceObject::GetDisplayName(CString& rText, BOOL bWithAddress) const {
    rText = _DeviceName.IsEmpty() ? CString("noname") : _DeviceName;
    if (bWithAddress)
        rText.AppendFormat(" (0x%I64x)", _NtDeviceObject);
}

void CDeviceObject::RefreshDriversTabNode(IDriversTab& tab) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS_TAB, "--CDeviceObject::RefreshDriversTabNode");
    if (m_htiSelf == nullptr)
        return;
    if (!IsSelectable())
        m_nStateImage = CHECKSTATE_UNCHECKABLE;
    CString text;
    GetDisplayName(text, TRUE);
    tab.SetItemStateImage(m_htiSelf, m_nStateImage, text);
}

void CDeviceObject::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_NtDeviceObject = %I64x", _NtDeviceObject);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_DeviceName = %s", _DeviceName.GetString());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_NtDriverObject = %I64x", _NtDriverObject);
        ar << _NtDeviceObject << _DeviceName << _StatusFlags << _StackID << _StackPosition << _NtDriverObject
           << _StartTime << _EndTime;
        USHORT linkedStack = 0;
        if (_DevStack != nullptr)
            linkedStack = _DevStack->StackID;
        else
            TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_DeviceObject=0x%I64x, _DevStack==NULL, _StackID=%04d",
                      _NtDeviceObject, static_cast<int>(_StackID));
        ar << linkedStack;
        ar << static_cast<DWORD>(_Driver != nullptr ? 1 : 0);
        if (_Driver != nullptr)
            ar << _Driver->m_NtDriverObject;
        else if (IsLoggable())
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "CDriverObject* is NULL for a loggable CDeviceObject");
        return;
    }

    ar >> _NtDeviceObject >> _DeviceName >> _StatusFlags >> _StackID >> _StackPosition >> _NtDriverObject >>
        _StartTime >> _EndTime;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_NtDeviceObject = %I64x", _NtDeviceObject);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_DeviceName = %s", _DeviceName.GetString());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_NtDriverObject = %I64x", _NtDriverObject);
    USHORT linkedStack = 0;
    ar >> linkedStack;
    _DevStack = nullptr;
    if (linkedStack == 0) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "_StackID=0");
    } else {
        auto* pDocument = dynamic_cast<CUSBLog*>(ar.m_pDocument);
        CStackTree* pStacks = pDocument != nullptr ? pDocument->GetStackTree() : nullptr;
        if (pStacks == nullptr) {
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "CStackTree* is NULL!");
        } else {
            _DevStack = pStacks->FindStackById(linkedStack);
            if (_DevStack == nullptr)
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "CDeviceStack* is NULL!");
        }
    }
    DWORD hasDriver = 0;
    ar >> hasDriver;
    if (hasDriver == 1) {
        ULONG64 skipped = 0;
        ar >> skipped;
    } else if (IsLoggable()) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "CDriverObject* is NULL for a loggable CDeviceObject");
    }
    m_nStateImage = SelectionStateImage();
}

// CDeviceStack in capture files: the fields by schema, and the device objects by position as addresses that
// PostLoading turns back into objects.
#include <memory>
#include <utility>
#include <vector>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/TempObject.h"

namespace {

// Files before schema 7 knew no subclass, protocol or device handle and kept the class in 32 bits; BOS
// descriptors came with schema 11.
constexpr UINT kSchemaClassTriple = 7;
constexpr UINT kSchemaBos = 11;

DWORD CappedCount(INT_PTR count) {
    return count > static_cast<INT_PTR>(0xFFFFFFFF) ? 0xFFFFFFFF : static_cast<DWORD>(count);
}

} // namespace

void CDeviceStack::Serialize(CArchive& ar) {
    CString* texts[] = {&Description, &EnumName, &ClassName, &HardwareID, &DeviceID, &DriverKey};
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CDeviceStack::Serialize (storing)");
        ar << StackID;
        if (m_nSchema >= kSchemaClassTriple)
            ar << UsbClass << UsbSubClass << UsbProtocol;
        else
            ar << static_cast<DWORD>(UsbClass);
        ar << ParentStackID;
        for (USHORT id : ChildStackIDs)
            ar << id;
        for (CString* pText : texts)
            ar << *pText;
        ar.Write(&ClassGuid, sizeof ClassGuid);
        if (m_nSchema >= kSchemaClassTriple)
            ar << DeviceHandle;
        ar << Removed;
        if (m_nSchema >= kSchemaBos)
            ar << HasBosDescriptor;
        ar << ArrivalTime << RemovalTime;
        DWORD count = CappedCount(m_DevObjMap.GetCount());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevobjs = %u", count);
        ar << count;
        for (const auto* pPair = m_DevObjMap.PGetFirstAssoc(); pPair != nullptr && count > 0;
             pPair = m_DevObjMap.PGetNextAssoc(pPair), --count) {
            ar << pPair->key;
            if (pPair->value != nullptr && !m_bLoadingHolders) {
                auto* pDevice = static_cast<CDeviceObject*>(pPair->value);
                TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "order = %d, CDeviceObject* = %p",
                          static_cast<int>(pPair->key), pDevice);
                TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "order = %d, PDEVICE_OBJECT = %I64x",
                          static_cast<int>(pPair->key), pDevice->_NtDeviceObject);
                ar << pDevice->_NtDeviceObject;
            } else {
                TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE,
                          "** order = %d, CDeviceObject*==NULL, set PDEVICE_OBJECT = NULL",
                          static_cast<int>(pPair->key));
                ar << static_cast<ULONG64>(0);
            }
        }
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CDeviceStack::Serialize (loading)");
    ar >> StackID;
    if (m_nSchema >= kSchemaClassTriple) {
        ar >> UsbClass >> UsbSubClass >> UsbProtocol;
    } else {
        DWORD wideClass = 0;
        ar >> wideClass;
        UsbClass = static_cast<USHORT>(wideClass);
        UsbSubClass = 0;
        UsbProtocol = 0;
    }
    ar >> ParentStackID;
    for (USHORT& id : ChildStackIDs)
        ar >> id;
    for (CString* pText : texts)
        ar >> *pText;
    ar.EnsureRead(&ClassGuid, sizeof ClassGuid);
    DeviceHandle = 0;
    if (m_nSchema >= kSchemaClassTriple)
        ar >> DeviceHandle;
    ar >> Removed;
    HasBosDescriptor = 0;
    if (m_nSchema >= kSchemaBos)
        ar >> HasBosDescriptor;
    ar >> ArrivalTime >> RemovalTime;
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevobjs = %u", count);
    m_bLoadingHolders = true;
    for (DWORD i = 0; i < count; ++i) {
        USHORT position = 0;
        ULONG64 address = 0;
        ar >> position >> address;
        auto pHolder = std::make_unique<CTempObject>(address);
        CObject* pPrevious = nullptr;
        if (m_DevObjMap.Lookup(position, pPrevious))
            delete pPrevious; // a holder of this load: a position stored twice, the later address holds
        try {
            m_DevObjMap.SetAt(position, pHolder.get());
        } catch (...) {
            m_DevObjMap.RemoveKey(position);
            throw;
        }
        pHolder.release(); // the map's until PostLoading
    }
    m_iDeviceType = DT_NONE;
    m_deviceNode = nullptr;
}

void CDeviceStack::DeleteLoadingHolders() {
    if (!m_bLoadingHolders)
        return;
    // While the flag is set the map holds only this load's holders, which it owns.
    for (const auto* pPair = m_DevObjMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_DevObjMap.PGetNextAssoc(pPair))
        delete pPair->value;
    m_DevObjMap.RemoveAll();
    m_bLoadingHolders = false;
}

void CDeviceStack::PostLoading(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CDeviceStack::PostLoading");
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "StackID=%04u", static_cast<UINT>(StackID));
    if (!m_bLoadingHolders)
        return;
    CAttachedDevices* pDevices = pDocument != nullptr ? pDocument->GetAttachedDevices() : nullptr;
    // The holders leave the map first, so the map never mixes holders and objects.
    std::vector<std::pair<USHORT, std::unique_ptr<CTempObject>>> holders;
    holders.reserve(static_cast<size_t>(m_DevObjMap.GetCount()));
    for (const auto* pPair = m_DevObjMap.PGetFirstAssoc(); pPair != nullptr; pPair = m_DevObjMap.PGetNextAssoc(pPair))
        holders.emplace_back(pPair->key, static_cast<CTempObject*>(pPair->value));
    m_DevObjMap.RemoveAll();
    m_bLoadingHolders = false;
    for (const auto& [position, pHolder] : holders) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_SERIALIZE, "order = %d, CTempObject* = %p", static_cast<int>(position),
                  pHolder.get());
        ULONG64 address = pHolder->m_Value;
        CDeviceObject* pDevice = nullptr;
        if (pDevices != nullptr && pDevices->GetClassDeviceObjectWithStackID(address, StackID, pDevice)) {
            m_DevObjMap.SetAt(position, pDevice);
        } else {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_SERIALIZE,
                      "Failed to find CDeviceObject for PDEVICE_OBJECT=0x%I64x with StackID=%04u", address,
                      static_cast<UINT>(StackID));
        }
    }
}

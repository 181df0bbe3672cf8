// The device model against bytes it does not control: a stack list from the driver, or the device model's
// part of a capture file. Every input must end in a clean return or the framework's exceptions for bad
// input (not-supported for an entry of the wrong length, archive errors for a file): no crash, no read past
// the input, no leak, no pointer left to a freed object. Whatever was built is then used as the program
// uses it: lookups, capture selection, the view fillers, the removal walk, storing, and teardown in the
// document's order.
//
// Input: byte 0 chooses: even, the rest is a stack list (with some device objects known beforehand, so
// the update paths run); odd, the rest is a file image (stacks, device objects, driver objects in the
// file's order) at schema 6 + byte 0 / 2 % 7.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "afx.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "fuzz/NullDeviceViews.h"

namespace {

void Parse(CUSBLog& doc, const uint8_t* data, size_t size) {
    // Objects the list may name again, with the same StackID or another.
    for (USHORT id : {0, 1, 2}) {
        DEVICE_NODE node{};
        node.DeviceObject = 0x1000 * (id + 1u);
        node.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
        CDeviceObject* device = nullptr;
        if (doc.GetAttachedDevices()->AddDeviceObject(node, device))
            doc.GetAttachedDevices()->SetDevobjStack(device, node, nullptr);
    }
    // An exact-size copy, so a read past the list's length is caught.
    std::vector<uint8_t> list(data, data + size);
    try {
        doc.GetStackTree()->ParseDevstkNodes(list.data(), list.size(), doc.GetAttachedDevices());
    } catch (CNotSupportedException* e) {
        e->Delete();
    }
}

void Load(CUSBLog& doc, UINT schema, const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(data, data + size);
    CMemFile file(image.data(), static_cast<UINT>(image.size()));
    CArchive ar(&file, CArchive::load);
    ar.m_pDocument = &doc;
    doc.GetStackTree()->m_nSchema = schema;
    try {
        doc.GetStackTree()->Serialize(ar);
        doc.GetAttachedDevices()->Serialize(ar);
        doc.GetAttachedDrivers()->Serialize(ar);
        doc.GetAttachedDevices()->PostLoading(&doc);
        doc.GetStackTree()->PostLoading(&doc);
    } catch (CArchiveException* e) {
        e->Delete();
    }
    ar.Abort();
}

void Use(CUSBLog& doc) {
    CStackTree* stacks = doc.GetStackTree();
    CAttachedDevices* devices = doc.GetAttachedDevices();
    NullDeviceViews views;
    stacks->FillStacksTab(views, reinterpret_cast<HTREEITEM>(1));
    doc.GetAttachedDrivers()->FillDriversTab(views, reinterpret_cast<HTREEITEM>(1));
    for (UINT id = 0; id <= stacks->GetMaxStackID(); ++id) {
        CDeviceStack* stack = stacks->FindStackById(static_cast<USHORT>(id));
        if (stack == nullptr)
            continue;
        stack->SetCheckState(stack->GetCheckState() == CHECKSTATE_CHECKED ? 1 : 2);
        stack->FillStackGridList(views);
        stacks->IsParentRemoved(stack);
        stacks->FindStackByName(stack->DriverKey);
        stacks->UpdateStacksFromList(stack, 1000);
    }
    for (INT_PTR i = 0; i < devices->GetCount(); ++i) {
        CDeviceObject* device = devices->GetAt(i);
        CDeviceObject* found = nullptr;
        devices->GetPresentClassDeviceObject(device->_NtDeviceObject, found);
        devices->GetClassDeviceObjectAtTime(device->_NtDeviceObject, device->_StartTime, found);
        devices->GetClassDeviceObjectWithStackID(device->_NtDeviceObject, device->_StackID, found);
        CString name;
        device->GetDisplayName(name, TRUE);
    }
    BYTE* list = nullptr;
    DWORD length = 0;
    devices->CreateLogDevobjsList(list, length, false);
    // Storing what was built must work whatever it holds.
    CMemFile file(64);
    CArchive ar(&file, CArchive::store);
    stacks->Serialize(ar);
    devices->Serialize(ar);
    doc.GetAttachedDrivers()->Serialize(ar);
    ar.Close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    CUSBLog doc;
    if ((data[0] & 1) == 0)
        Parse(doc, data + 1, size - 1);
    else
        Load(doc, 6 + (data[0] / 2) % 7, data + 1, size - 1);
    Use(doc);
    return 0;
}

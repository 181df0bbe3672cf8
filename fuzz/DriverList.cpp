// The hooked-driver list against bytes it does not control, merged into a model that a stack list built:
// first as the first fill, then as an update with its sweep. Every input must end in a clean return or a
// raised truncation or kind failure (what the query shows the user): no crash, no read past the input, no
// leak, and no stack, driver or device object left pointing at an object the sweep deleted. The model is
// then used as the program uses it: the view fillers, the capture selection, storing, teardown.
//
// Input: u16 length of the stack list, u16 length of the first driver list, those two lists, and the rest
// as the update's list.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "afx.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/StackTree.h"
#include "fuzz/NullDeviceViews.h"

namespace {

// Exact-size copies, so that a read past a list's length is caught.
std::vector<uint8_t> Take(const uint8_t*& data, size_t& size, size_t length) {
    length = std::min(length, size);
    std::vector<uint8_t> part(data, data + length);
    data += length;
    size -= length;
    return part;
}

void MergeDrivers(CUSBLog& doc, const std::vector<uint8_t>& list, bool first) {
    CAttachedDrivers* drivers = doc.GetAttachedDrivers();
    try {
        if (first)
            drivers->GetDriversAndDevices(list.data(), list.size(), doc.GetAttachedDevices());
        else
            drivers->UpdateDriversAndDevices(list.data(), list.size(), doc.GetAttachedDevices());
    } catch (const nt::SehException& e) {
        if (!drivers->IsAppExceptionCode(static_cast<DWORD>(e.Code())))
            throw;
    }
}

void Use(CUSBLog& doc) {
    CStackTree* stacks = doc.GetStackTree();
    NullDeviceViews views;
    stacks->FillStacksTab(views, reinterpret_cast<HTREEITEM>(1));
    doc.GetAttachedDrivers()->FillDriversTab(views, reinterpret_cast<HTREEITEM>(1));
    for (UINT id = 0; id <= stacks->GetMaxStackID(); ++id)
        if (CDeviceStack* stack = stacks->FindStackById(static_cast<USHORT>(id)))
            stack->FillStackGridList(views);
    BYTE* list = nullptr;
    DWORD length = 0;
    doc.GetAttachedDevices()->CreateLogDevobjsList(list, length, false);
    CMemFile file(64);
    CArchive ar(&file, CArchive::store);
    stacks->Serialize(ar);
    doc.GetAttachedDevices()->Serialize(ar);
    doc.GetAttachedDrivers()->Serialize(ar);
    ar.Close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const size_t stackLength = data[0] | data[1] << 8;
    const size_t firstLength = data[2] | data[3] << 8;
    data += 4;
    size -= 4;
    const std::vector<uint8_t> stackList = Take(data, size, stackLength);
    const std::vector<uint8_t> firstList = Take(data, size, firstLength);
    const std::vector<uint8_t> updateList = Take(data, size, size);

    CUSBLog doc;
    try {
        doc.GetStackTree()->ParseDevstkNodes(stackList.data(), stackList.size(), doc.GetAttachedDevices());
    } catch (CNotSupportedException* e) {
        e->Delete();
    }
    MergeDrivers(doc, firstList, true);
    Use(doc);
    MergeDrivers(doc, updateList, false);
    Use(doc);
    return 0;
}

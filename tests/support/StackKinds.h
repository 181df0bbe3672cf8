// A capture document whose device model holds one device stack of each kind the record list tells apart
// (hub, HID, bulk-only and other mass storage, printer, vendor), for tests, benchmarks and fuzz targets that
// format records against a model. Header only: it needs nothing but the application library.
#pragma once

#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/StackTree.h"
#include "tests/app/devices/DeviceNodes.h"

namespace tdl::test {

// StackIDs of the model; kNoStack is in none.
enum StackKindId : USHORT {
    kHubStack = 1,
    kHidStack = 2,
    kBulkOnlyStack = 3,
    kCbiStack = 4,
    kPrinterStack = 5,
    kVendorStack = 6,
    kNoStack = 99,
};
// Device objects of the model, present from time 100 on: a named one on the bulk-only stack, an unnamed one
// on the HID stack.
constexpr ULONG64 kNamedDeviceObject = 0xA000;
constexpr ULONG64 kUnnamedDeviceObject = 0xB000;
constexpr LONGLONG kDeviceObjectStart = 100;

// Fills the document's stack tree and attached devices; false when the model cannot be built.
inline bool AddStacksOfEveryKind(CUSBLog& document) {
    const struct {
        USHORT id;
        USHORT cls;
        UCHAR subClass;
        UCHAR protocol;
        const char* description;
    } stacks[] = {
        {kHubStack, 9, 0, 0, "Generic USB Hub"},          {kHidStack, 3, 1, 1, "HID Keyboard Device"},
        {kBulkOnlyStack, 8, 6, 0x50, "USB Mass Storage"}, {kCbiStack, 8, 4, 0, "USB Floppy"},
        {kPrinterStack, 7, 1, 2, "USB Printing Support"}, {kVendorStack, 0xFF, 0, 0, "Vendor Device"},
    };
    devtest::NodeList list;
    for (const auto& s : stacks) {
        DEVSTK_NODE node = devtest::StackNode(s.id, 0, "", s.description);
        node.DeviceClass = s.cls;
        node.DeviceSubClass = s.subClass;
        node.DeviceProtocol = s.protocol;
        list.Add(node);
        if (s.id == kBulkOnlyStack)
            list.Add(devtest::DeviceNode({.address = kNamedDeviceObject,
                                          .stackId = kBulkOnlyStack,
                                          .start = kDeviceObjectStart,
                                          .name = "\\Device\\USBPDO-3"}));
        if (s.id == kHidStack)
            list.Add(devtest::DeviceNode(
                {.address = kUnnamedDeviceObject, .stackId = kHidStack, .start = kDeviceObjectStart}));
    }
    list.End();
    CStackTree* pTree = document.GetStackTree();
    return pTree && pTree->ParseDevstkNodes(list.bytes.data(), list.bytes.size(), document.GetAttachedDevices());
}

} // namespace tdl::test

// A capture document for decoder tests, fuzzing and benchmarks: one device stack of each URB class kind
// (hub, HID, mass storage with the bulk-only transport, printer, another class), StackIDs 1 to 5, each with
// a device object present since time 0 at kDeviceObjectBase + 0x100 * (StackID - 1); and a host controller's
// miniport driver object at kMiniportDriverObject.
#pragma once

#include <cstdio>
#include <memory>

#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"

namespace tdl::test {

class DecoderDocument {
public:
    static constexpr ULONG64 kDeviceObjectBase = 0xFFFFA80000001000;
    static constexpr USHORT kStacks = 5;
    static constexpr ULONG64 kMiniportDriverObject = 0xFFFFA80033330000;

    DecoderDocument() : m_document(std::make_unique<CUSBLog>()) {
        const struct {
            USHORT usbClass;
            UCHAR subClass;
            UCHAR protocol;
            const char* name;
        } kinds[kStacks] = {
            {9, 0, 0, "\\Device\\USBPDO-1"}, {3, 1, 2, "\\Device\\USBPDO-2"},    {8, 6, 0x50, "\\Device\\USBPDO-3"},
            {7, 1, 2, "\\Device\\USBPDO-4"}, {0xFF, 0, 0, "\\Device\\USBPDO-5"},
        };
        CStackTree* tree = m_document->GetStackTree();
        for (USHORT i = 0; i < kStacks; ++i) {
            auto* stack = new CDeviceStack;
            stack->StackID = static_cast<USHORT>(i + 1);
            stack->UsbClass = kinds[i].usbClass;
            stack->UsbSubClass = kinds[i].subClass;
            stack->UsbProtocol = kinds[i].protocol;
            tree->m_StackMap.SetAt(stack->StackID, stack);
            DEVICE_NODE node{};
            std::snprintf(node.DeviceName, sizeof node.DeviceName, "%s", kinds[i].name);
            node.DeviceObject = kDeviceObjectBase + 0x100 * i;
            node.StackID = stack->StackID;
            CDeviceObject* object = nullptr;
            m_document->GetAttachedDevices()->AddDeviceObject(node, object);
        }
        auto* driver = new CDriverObject;
        driver->m_NtDriverObject = kMiniportDriverObject;
        driver->m_DriverName = "\\Driver\\usbehci";
        if (!m_document->GetAttachedDrivers()->AddDriverObject(driver))
            delete driver;
    }

    CUSBLog* Get() const { return m_document.get(); }

private:
    std::unique_ptr<CUSBLog> m_document;
};

} // namespace tdl::test

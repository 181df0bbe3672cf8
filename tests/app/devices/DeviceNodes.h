// Node entries and node lists for the device-model tests, built as the driver lays them out.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "common/NodeEntries.h"
#include "windows.h"

namespace devtest {

struct DeviceFields {
    ULONG64 address = 0;
    ULONG flags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
    USHORT stackId = 0;
    USHORT position = 0;
    ULONG64 start = 0;
    ULONG64 end = 0;
    ULONG64 driver = 0;
    const char* name = "";
};

inline DEVICE_NODE DeviceNode(const DeviceFields& s) {
    DEVICE_NODE n{};
    n.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
    CopyNodeString(n.DeviceName, s.name, std::strlen(s.name));
    n.DeviceObject = s.address;
    n.StatusFlags = s.flags;
    n.StackID = s.stackId;
    n.Position = s.position;
    n.DriverObject = s.driver;
    n.StartTime = s.start;
    n.RemovalTime = s.end;
    return n;
}

inline DEVSTK_NODE StackNode(USHORT id, USHORT parent = 0, const char* driverKey = "", const char* description = "") {
    DEVSTK_NODE n{};
    n.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    n.StackID = id;
    n.ParentStackID = parent;
    CopyNodeString(n.DriverKeyName, driverKey, std::strlen(driverKey));
    CopyNodeString(n.DeviceDescription, description, std::strlen(description));
    return n;
}

inline DRIVER_NODE DriverNode(ULONG64 address, const char* name, ULONG flags = 0) {
    DRIVER_NODE n{};
    n.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
    CopyNodeString(n.DriverName, name, std::strlen(name));
    n.DriverObject = address;
    n.DriverFlags = flags;
    return n;
}

// A node list: entries appended as bytes, End() adds the end entry.
class NodeList {
public:
    template <class Node> NodeList& Add(const Node& node) {
        const auto* p = reinterpret_cast<const BYTE*>(&node);
        bytes.insert(bytes.end(), p, p + sizeof node);
        return *this;
    }
    NodeList& Raw(USHORT kind, USHORT length, size_t bodyBytes) {
        NODE_HEADER h{kind, length};
        const auto* p = reinterpret_cast<const BYTE*>(&h);
        bytes.insert(bytes.end(), p, p + sizeof h);
        bytes.insert(bytes.end(), bodyBytes, 0);
        return *this;
    }
    NodeList& End() { return Raw(NODE_KIND_END, NODE_END_SIZE, 0); }
    std::vector<BYTE> bytes;
};

} // namespace devtest

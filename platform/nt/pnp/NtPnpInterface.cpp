// Device interfaces: named links to a device's physical device object, by interface class.
#include <cstring>
#include <functional>
#include <optional>

#include "NtObjectNamespace.h"
#include "NtPnpInternal.h"
#include "NtPool.h"
#include "NtText.h"

namespace nt::pnp {
namespace {

constexpr ULONG kTagInterface = 0x62506e50; // "PnPb"

struct InterfaceRecord {
    GUID classGuid{};
    std::u16string link;          // "\??\USB#VID_045E&PID_0040#5&2c3c5a3b&0&2#{guid}[\reference]"
    std::u16string instancePath;  // of the device it belongs to
    PDEVICE_OBJECT pdo = nullptr; // null once the device is gone
    bool enabled = false;
};

std::mutex g_interfaceLock;
std::vector<InterfaceRecord> g_interfaces;

InterfaceRecord* FindRecord(std::u16string_view link) {
    for (auto& record : g_interfaces) {
        if (text::EqualsIgnoreCase(record.link, link)) {
            return &record;
        }
    }
    return nullptr;
}

// The registry's record of an interface, as SetupAPI reads it: "...\Control\DeviceClasses\{guid}\##?#...".
void RecordInRegistry(const InterfaceRecord& record, std::u16string_view reference, bool linked) {
    std::u16string name = record.link.substr(4); // after "\??\"
    if (size_t slash = name.find(u'\\'); slash != std::u16string::npos) {
        name.resize(slash);
    }
    reg::KeyRef key = reg::CreatePath(std::u16string(reg::kControlSet) + u"\\Control\\DeviceClasses\\" +
                                      reg::GuidString(record.classGuid) + u"\\##?#" + name);
    reg::SetString(key, u"DeviceInstance", record.instancePath);
    if (!key) {
        return;
    }
    registry::KeyRef sub;
    bool created = false;
    if (NT_SUCCESS(registry::CreateKey(key, u"#" + std::u16string(reference), false, u"", sub, created))) {
        reg::SetString(sub, u"SymbolicLink", u"\\\\?\\" + record.link.substr(4));
        registry::KeyRef control;
        if (NT_SUCCESS(registry::CreateKey(sub, u"Control", true, u"", control, created))) {
            reg::SetDword(control, u"Linked", linked ? 1 : 0);
        }
    }
}

std::u16string LowerGuidString(const GUID& guid) {
    std::u16string text = reg::GuidString(guid);
    for (auto& c : text) {
        c = text::Downcase(c);
    }
    return text;
}

} // namespace

void DisableInterfacesOf(PDEVICE_OBJECT pdo) {
    std::vector<DeviceChange> changes;
    {
        std::lock_guard guard(g_interfaceLock);
        for (auto& record : g_interfaces) {
            if (record.pdo != pdo) {
                continue;
            }
            if (record.enabled) {
                UNICODE_STRING link{static_cast<USHORT>(record.link.size() * sizeof(WCHAR)),
                                    static_cast<USHORT>(record.link.size() * sizeof(WCHAR)), record.link.data()};
                IoDeleteSymbolicLink(&link);
                record.enabled = false;
                changes.push_back({DeviceChange::Kind::InterfaceRemoval, record.classGuid, record.link});
            }
            record.pdo = nullptr;
        }
    }
    for (const auto& change : changes) {
        ReportDeviceChange(change);
    }
}

namespace {
std::mutex g_observerLock;
std::function<void(const DeviceChange&)> g_observer;
} // namespace

void SetDeviceChangeObserver(std::function<void(const DeviceChange&)> observer) {
    std::lock_guard guard(g_observerLock);
    g_observer = std::move(observer);
}

void ReportDeviceChange(const DeviceChange& change) {
    std::function<void(const DeviceChange&)> observer;
    {
        std::lock_guard guard(g_observerLock);
        observer = g_observer;
    }
    if (observer) {
        observer(change);
    }
}

void ResetInterfaces() {
    std::lock_guard guard(g_interfaceLock);
    g_interfaces.clear();
}

} // namespace nt::pnp

using namespace nt::pnp;

NTSTATUS IoRegisterDeviceInterface(PDEVICE_OBJECT PhysicalDeviceObject, const GUID* InterfaceClassGuid,
                                   PUNICODE_STRING ReferenceString, PUNICODE_STRING SymbolicLinkName) {
    PASSIVE_CODE();
    std::u16string instancePath;
    {
        std::lock_guard guard(NodeLock());
        DeviceNode* node = NodeOf(PhysicalDeviceObject);
        if (!node) {
            return STATUS_INVALID_DEVICE_REQUEST;
        }
        instancePath = node->instancePath;
    }
    std::u16string reference(nt::text::View(ReferenceString));
    std::u16string link = u"\\??\\" + instancePath;
    for (size_t i = 4; i < link.size(); ++i) {
        if (link[i] == u'\\') {
            link[i] = u'#';
        }
    }
    link += u"#" + LowerGuidString(*InterfaceClassGuid);
    if (!reference.empty()) {
        link += u"\\" + reference;
    }

    auto* buffer =
        static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, (link.size() + 1) * sizeof(WCHAR), kTagInterface));
    if (!buffer) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    std::memcpy(buffer, link.c_str(), (link.size() + 1) * sizeof(WCHAR));
    SymbolicLinkName->Buffer = buffer;
    SymbolicLinkName->Length = static_cast<USHORT>(link.size() * sizeof(WCHAR));
    SymbolicLinkName->MaximumLength = static_cast<USHORT>(SymbolicLinkName->Length + sizeof(WCHAR));

    std::lock_guard guard(g_interfaceLock);
    InterfaceRecord* record = FindRecord(link);
    if (!record) {
        g_interfaces.push_back({*InterfaceClassGuid, link, instancePath, PhysicalDeviceObject, false});
        record = &g_interfaces.back();
    }
    record->pdo = PhysicalDeviceObject;
    RecordInRegistry(*record, reference, record->enabled);
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(PUNICODE_STRING SymbolicLinkName, BOOLEAN Enable) {
    PASSIVE_CODE();
    std::optional<DeviceChange> change;
    NTSTATUS status = STATUS_SUCCESS;
    {
        std::lock_guard guard(g_interfaceLock);
        InterfaceRecord* record = FindRecord(nt::text::View(SymbolicLinkName));
        if (!record) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        UNICODE_STRING link{static_cast<USHORT>(record->link.size() * sizeof(WCHAR)),
                            static_cast<USHORT>(record->link.size() * sizeof(WCHAR)), record->link.data()};
        std::u16string reference;
        if (size_t slash = record->link.find(u'\\', 4); slash != std::u16string::npos) {
            reference = record->link.substr(slash + 1);
        }
        if (!Enable) {
            if (record->enabled) {
                IoDeleteSymbolicLink(&link);
                record->enabled = false;
                RecordInRegistry(*record, reference, false);
                change = DeviceChange{DeviceChange::Kind::InterfaceRemoval, record->classGuid, record->link};
            }
        } else if (record->enabled) {
            return STATUS_OBJECT_NAME_EXISTS;
        } else {
            auto target = record->pdo ? nt::ob::NameOf(record->pdo) : std::nullopt;
            if (!target) {
                return STATUS_INVALID_DEVICE_REQUEST; // the device is gone, or its PDO has no name to link to
            }
            UNICODE_STRING targetName{static_cast<USHORT>(target->size() * sizeof(WCHAR)),
                                      static_cast<USHORT>(target->size() * sizeof(WCHAR)), target->data()};
            status = IoCreateSymbolicLink(&link, &targetName);
            if (NT_SUCCESS(status)) {
                record->enabled = true;
                RecordInRegistry(*record, reference, true);
                change = DeviceChange{DeviceChange::Kind::InterfaceArrival, record->classGuid, record->link};
            }
        }
    }
    if (change) {
        ReportDeviceChange(*change);
    }
    return status;
}

NTSTATUS IoGetDeviceInterfaces(const GUID* InterfaceClassGuid, PDEVICE_OBJECT PhysicalDeviceObject, ULONG Flags,
                               PWSTR* SymbolicLinkList) {
    std::vector<std::u16string> links;
    {
        std::lock_guard guard(g_interfaceLock);
        for (const auto& record : g_interfaces) {
            if (record.classGuid == *InterfaceClassGuid &&
                (!PhysicalDeviceObject || record.pdo == PhysicalDeviceObject) &&
                (record.enabled || (Flags & DEVICE_INTERFACE_INCLUDE_NONACTIVE))) {
                links.push_back(record.link);
            }
        }
    }
    std::u16string list = reg::MultiSzBytes(links);
    if (links.empty()) {
        list.resize(1); // an empty list is one NUL
    }
    auto* buffer = static_cast<PWSTR>(ExAllocatePoolWithTag(PagedPool, list.size() * sizeof(WCHAR), kTagInterface));
    if (!buffer) {
        *SymbolicLinkList = nullptr;
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    std::memcpy(buffer, list.data(), list.size() * sizeof(WCHAR));
    *SymbolicLinkList = buffer;
    return STATUS_SUCCESS;
}

// Properties and registry keys of device nodes.
#include <cstring>

#include "NtObjectNamespace.h"
#include "NtPnpInternal.h"
#include "NtRegistry.h"
#include "NtText.h"

namespace nt::pnp {
namespace {

std::vector<UCHAR> Bytes(const void* data, size_t size) {
    auto* p = static_cast<const UCHAR*>(data);
    return std::vector<UCHAR>(p, p + size);
}

std::vector<UCHAR> StringBytes(const std::u16string& value) {
    std::u16string bytes = reg::SzBytes(value);
    return Bytes(bytes.data(), bytes.size() * sizeof(WCHAR));
}

std::vector<UCHAR> MultiStringBytes(const std::vector<std::u16string>& values) {
    std::u16string bytes = reg::MultiSzBytes(values);
    return Bytes(bytes.data(), bytes.size() * sizeof(WCHAR));
}

std::vector<UCHAR> UlongBytes(ULONG value) {
    return Bytes(&value, sizeof value);
}

// The property's bytes, or an error status. Called with NodeLock held.
NTSTATUS PropertyBytes(const DeviceNode& node, DEVICE_REGISTRY_PROPERTY property, std::vector<UCHAR>& bytes) {
    auto text = [&bytes](const std::u16string& value) {
        if (value.empty()) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        bytes = StringBytes(value);
        return STATUS_SUCCESS;
    };
    auto list = [&bytes](const std::vector<std::u16string>& values) {
        if (values.empty()) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        bytes = MultiStringBytes(values);
        return STATUS_SUCCESS;
    };
    auto number = [&bytes](bool known, ULONG value) {
        if (!known) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        bytes = UlongBytes(value);
        return STATUS_SUCCESS;
    };
    const DEVICE_CAPABILITIES& capabilities = node.capabilities;
    switch (property) {
    case DevicePropertyDeviceDescription: return text(node.description);
    case DevicePropertyHardwareID: return list(node.hardwareIds);
    case DevicePropertyCompatibleIDs: return list(node.compatibleIds);
    case DevicePropertyClassName: return text(node.className);
    case DevicePropertyClassGuid: return text(node.hasClass ? reg::GuidString(node.classGuid) : u"");
    case DevicePropertyDriverKeyName: return text(node.driverKey);
    case DevicePropertyManufacturer: return text(node.manufacturer);
    case DevicePropertyLocationInformation: return text(node.location);
    case DevicePropertyPhysicalDeviceObjectName: return text(ob::NameOf(node.pdo).value_or(u""));
    case DevicePropertyEnumeratorName: return text(node.deviceId.substr(0, node.deviceId.find(u'\\')));
    case DevicePropertyBusTypeGuid:
        if (!node.hasBusInformation) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        bytes = Bytes(&node.busInformation.BusTypeGuid, sizeof(GUID));
        return STATUS_SUCCESS;
    case DevicePropertyLegacyBusType:
        return number(node.hasBusInformation, static_cast<ULONG>(node.busInformation.LegacyBusType));
    case DevicePropertyBusNumber: return number(node.hasBusInformation, node.busInformation.BusNumber);
    case DevicePropertyAddress:
        return number(node.hasCapabilities && capabilities.Address != 0xFFFFFFFF, capabilities.Address);
    case DevicePropertyUINumber:
        return number(node.hasCapabilities && capabilities.UINumber != 0xFFFFFFFF, capabilities.UINumber);
    case DevicePropertyInstallState:
        return number(true, node.service.empty()              ? InstallStateNeedsReinstall
                            : node.state == NodeState::Failed ? InstallStateFailedInstall
                                                              : InstallStateInstalled);
    case DevicePropertyRemovalPolicy:
        return number(node.hasCapabilities,
                      capabilities.Removable ? RemovalPolicyExpectSurpriseRemoval : RemovalPolicyExpectNoRemoval);
    case DevicePropertyFriendlyName:
    case DevicePropertyBootConfiguration:
    case DevicePropertyBootConfigurationTranslated:
    case DevicePropertyResourceRequirements:
    case DevicePropertyAllocatedResources:
    case DevicePropertyContainerID: return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    return STATUS_INVALID_PARAMETER_2;
}

} // namespace

} // namespace nt::pnp

using namespace nt::pnp;

NTSTATUS IoGetDeviceProperty(PDEVICE_OBJECT DeviceObject, DEVICE_REGISTRY_PROPERTY DeviceProperty, ULONG BufferLength,
                             PVOID PropertyBuffer, PULONG ResultLength) {
    std::vector<UCHAR> bytes;
    std::u16string instancePath;
    NTSTATUS status;
    {
        std::lock_guard guard(NodeLock());
        DeviceNode* node = NodeOf(DeviceObject);
        if (!node) {
            return STATUS_INVALID_DEVICE_REQUEST;
        }
        instancePath = node->instancePath;
        status = PropertyBytes(*node, DeviceProperty, bytes);
    }
    if (DeviceProperty == DevicePropertyFriendlyName) {
        // Set by installers rather than by the device: read from the node's Enum key.
        auto name = reg::GetString(reg::OpenPath(reg::EnumKeyPath(instancePath)), u"FriendlyName");
        if (name && !name->empty()) {
            std::u16string value = reg::SzBytes(*name);
            auto* p = reinterpret_cast<const UCHAR*>(value.data());
            bytes.assign(p, p + value.size() * sizeof(WCHAR));
            status = STATUS_SUCCESS;
        }
    }
    if (!NT_SUCCESS(status)) {
        *ResultLength = 0;
        return status;
    }
    *ResultLength = static_cast<ULONG>(bytes.size());
    if (BufferLength < bytes.size()) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    std::memcpy(PropertyBuffer, bytes.data(), bytes.size());
    return STATUS_SUCCESS;
}

NTSTATUS IoOpenDeviceRegistryKey(PDEVICE_OBJECT DeviceObject, ULONG DevInstKeyType, ACCESS_MASK DesiredAccess,
                                 PHANDLE DevInstRegKey) {
    PASSIVE_CODE();
    std::u16string path;
    {
        std::lock_guard guard(NodeLock());
        DeviceNode* node = NodeOf(DeviceObject);
        if (!node) {
            return STATUS_INVALID_DEVICE_REQUEST;
        }
        switch (DevInstKeyType & ~PLUGPLAY_REGKEY_CURRENT_HWPROFILE) {
        case PLUGPLAY_REGKEY_DEVICE: path = reg::EnumKeyPath(node->instancePath) + u"\\Device Parameters"; break;
        case PLUGPLAY_REGKEY_DRIVER:
            if (node->driverKey.empty()) {
                return STATUS_INVALID_PARAMETER;
            }
            path = std::u16string(reg::kControlSet) + u"\\Control\\Class\\" + node->driverKey;
            break;
        default: return STATUS_INVALID_PARAMETER;
        }
    }
    if (!reg::CreatePath(path)) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    UNICODE_STRING name{static_cast<USHORT>(path.size() * sizeof(WCHAR)),
                        static_cast<USHORT>(path.size() * sizeof(WCHAR)), path.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    return ZwOpenKey(DevInstRegKey, DesiredAccess, &attributes);
}

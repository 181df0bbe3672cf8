// The root bus: the Plug and Play manager's own driver, "\Driver\PnpManager", whose physical device objects
// are the root-enumerated devices (system bus drivers and the like). Each PDO answers the Plug and Play
// queries from the description it was created with.
#include <cstring>
#include <new>

#include "NtIoInternal.h"
#include "NtPnpInternal.h"
#include "NtPool.h"

namespace nt::pnp {
namespace {

constexpr ULONG kTagRoot = 0x746f6f52; // "Root"

struct RootPdoExtension {
    RootDevice* device; // owned; freed when the PDO is deleted
    bool missing;
};

PDRIVER_OBJECT g_rootDriver = nullptr; // used on the manager's thread only

RootPdoExtension* ExtensionOf(PDEVICE_OBJECT pdo) {
    return static_cast<RootPdoExtension*>(pdo->DeviceExtension);
}

// A pool copy of a string (or a REG_MULTI_SZ list) for an IRP's Information: the manager frees it.
ULONG_PTR PoolText(const std::u16string& bytes) {
    auto* text = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, bytes.size() * sizeof(WCHAR), kTagRoot));
    if (text) {
        std::memcpy(text, bytes.data(), bytes.size() * sizeof(WCHAR));
    }
    return reinterpret_cast<ULONG_PTR>(text);
}

NTSTATUS AnswerText(PIRP irp, const std::u16string& bytes) {
    irp->IoStatus.Information = PoolText(bytes);
    return irp->IoStatus.Information ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

NTSTATUS RootPnp(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
    RootPdoExtension* extension = ExtensionOf(DeviceObject);
    const RootDevice& device = *extension->device;
    NTSTATUS status = Irp->IoStatus.Status;
    switch (location->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE: status = STATUS_SUCCESS; break;
    case IRP_MN_REMOVE_DEVICE:
        status = STATUS_SUCCESS;
        if (extension->missing) {
            Irp->IoStatus.Status = status;
            IoCompleteRequest(Irp, IO_NO_INCREMENT);
            delete extension->device;
            extension->device = nullptr;
            IoDeleteDevice(DeviceObject);
            return status;
        }
        break;
    case IRP_MN_QUERY_ID:
        switch (location->Parameters.QueryId.IdType) {
        case BusQueryDeviceID: status = AnswerText(Irp, reg::SzBytes(device.deviceId)); break;
        case BusQueryInstanceID: status = AnswerText(Irp, reg::SzBytes(device.instanceId)); break;
        case BusQueryHardwareIDs:
            status = AnswerText(Irp, reg::MultiSzBytes(device.hardwareIds.empty()
                                                           ? std::vector<std::u16string>{device.deviceId}
                                                           : device.hardwareIds));
            break;
        case BusQueryCompatibleIDs:
            if (!device.compatibleIds.empty()) {
                status = AnswerText(Irp, reg::MultiSzBytes(device.compatibleIds));
            }
            break;
        default: break;
        }
        break;
    case IRP_MN_QUERY_DEVICE_TEXT: {
        const std::u16string& text = location->Parameters.QueryDeviceText.DeviceTextType == DeviceTextDescription
                                         ? device.description
                                         : device.location;
        if (!text.empty()) {
            status = AnswerText(Irp, reg::SzBytes(text));
        }
        break;
    }
    case IRP_MN_QUERY_CAPABILITIES: {
        PDEVICE_CAPABILITIES capabilities = location->Parameters.DeviceCapabilities.Capabilities;
        capabilities->UniqueID = TRUE;
        capabilities->SilentInstall = TRUE;
        capabilities->DeviceState[PowerSystemWorking] = PowerDeviceD0;
        status = STATUS_SUCCESS;
        break;
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (location->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
            auto* relations =
                static_cast<PDEVICE_RELATIONS>(ExAllocatePoolWithTag(PagedPool, sizeof(DEVICE_RELATIONS), kTagRoot));
            if (!relations) {
                status = STATUS_INSUFFICIENT_RESOURCES;
                break;
            }
            relations->Count = 1;
            relations->Objects[0] = DeviceObject;
            ObReferenceObject(DeviceObject);
            Irp->IoStatus.Information = reinterpret_cast<ULONG_PTR>(relations);
            status = STATUS_SUCCESS;
        }
        break;
    default: break;
    }
    Irp->IoStatus.Status = status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS RootPower(PDEVICE_OBJECT, PIRP Irp) {
    PoStartNextPowerIrp(Irp);
    Irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS RootDriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    DriverObject->MajorFunction[IRP_MJ_PNP] = RootPnp;
    DriverObject->MajorFunction[IRP_MJ_POWER] = RootPower;
    return STATUS_SUCCESS;
}

} // namespace

NTSTATUS CreateRootPdo(const RootDevice& device, PDEVICE_OBJECT* pdo) {
    *pdo = nullptr;
    if (!g_rootDriver) {
        NTSTATUS status = io::LoadDriverObject(u"PnpManager", RootDriverEntry, &g_rootDriver);
        if (!NT_SUCCESS(status)) {
            return status;
        }
    }
    PDEVICE_OBJECT created = nullptr;
    NTSTATUS status = IoCreateDevice(g_rootDriver, sizeof(RootPdoExtension), nullptr, FILE_DEVICE_CONTROLLER,
                                     FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &created);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    ExtensionOf(created)->device = new RootDevice(device);
    ExtensionOf(created)->missing = false;
    created->Flags &= ~DO_DEVICE_INITIALIZING;
    *pdo = created;
    return STATUS_SUCCESS;
}

const RootDevice* RootDeviceOf(PDEVICE_OBJECT pdo) {
    return g_rootDriver && pdo->DriverObject == g_rootDriver ? ExtensionOf(pdo)->device : nullptr;
}

void MarkRootPdoMissing(PDEVICE_OBJECT pdo) {
    if (pdo->DriverObject == g_rootDriver) {
        ExtensionOf(pdo)->missing = true;
    }
}

void UnloadRootDriver() {
    if (g_rootDriver && !g_rootDriver->DeviceObject) {
        io::UnloadDriverObject(g_rootDriver);
        g_rootDriver = nullptr;
    }
}

} // namespace nt::pnp

// Driver objects: creation by the loader, the default dispatch routine, client extensions, and unload.
#include <cstring>
#include <mutex>
#include <new>

#include "NtIoInternal.h"
#include "NtObjectNamespace.h"
#include "NtPool.h"
#include "NtRtlString.h"

namespace nt::io {
namespace {

// A client's extension: this header, then the zeroed bytes the client asked for.
struct alignas(16) ClientExtension {
    ClientExtension* next;
    PVOID key;
};

struct DriverPrivate {
    std::u16string name;        // "\Driver\<service>"
    std::u16string serviceName; // "<service>"
    // Newest first. Readers (IoGetDriverObjectExtension, on every hooked request) walk it without a lock:
    // entries are only ever added at the head, and freed with the driver object.
    std::atomic<ClientExtension*> extensions{nullptr};
    std::mutex addLock;
    bool unloaded = false;
};

struct DriverBlock {
    DRIVER_OBJECT object;
    DRIVER_EXTENSION extension;
    DriverPrivate priv;
};

DriverBlock* BlockOf(PDRIVER_OBJECT driver) {
    return reinterpret_cast<DriverBlock*>(driver);
}

UNICODE_STRING g_hardwareDatabase = RTL_CONSTANT_STRING(u"\\REGISTRY\\MACHINE\\HARDWARE\\DESCRIPTION\\SYSTEM");

UNICODE_STRING CountedString(std::u16string& text) {
    UNICODE_STRING s;
    s.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    s.MaximumLength = static_cast<USHORT>(s.Length + sizeof(WCHAR));
    s.Buffer = text.data();
    return s;
}

// What a driver's unset dispatch entries point to.
NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP Irp) {
    Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

void DestroyDriver(ObjectHeader* header) {
    auto* block = static_cast<DriverBlock*>(BodyOf(header));
    ClientExtension* extension = block->priv.extensions.load();
    while (extension) {
        ClientExtension* next = extension->next;
        ExFreePoolWithTag(extension, kTagDriverExtension);
        extension = next;
    }
    block->~DriverBlock();
    header->magic = 0;
    ExFreePoolWithTag(header, kTagDriver);
}

} // namespace

NTSTATUS LoadDriverObject(std::u16string_view serviceName, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver) {
    PASSIVE_CODE();
    *driver = nullptr;
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(ObjectHeader) + sizeof(DriverBlock), kTagDriver);
    if (!memory) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* header = new (memory) ObjectHeader{kObjectMagic, ObjectType::Driver, {1}, DestroyDriver};
    auto* block = static_cast<DriverBlock*>(BodyOf(header));
    std::memset(static_cast<void*>(block), 0, offsetof(DriverBlock, priv));
    new (&block->priv) DriverPrivate();
    block->priv.serviceName = serviceName;
    block->priv.name = u"\\Driver\\" + block->priv.serviceName;

    PDRIVER_OBJECT object = &block->object;
    object->Type = IO_TYPE_DRIVER;
    object->Size = sizeof(DRIVER_OBJECT);
    object->DriverExtension = &block->extension;
    object->DriverName = CountedString(block->priv.name);
    object->HardwareDatabase = &g_hardwareDatabase;
    object->DriverInit = entry;
    for (auto& routine : object->MajorFunction) {
        routine = InvalidDeviceRequest;
    }
    block->extension.DriverObject = object;
    block->extension.ServiceKeyName = CountedString(block->priv.serviceName);

    NTSTATUS status = ob::InsertObject(block->priv.name, ob::Kind::Driver, object);
    if (!NT_SUCCESS(status)) {
        ObDereferenceObject(object);
        return status;
    }
    std::u16string path = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + block->priv.serviceName;
    UNICODE_STRING registryPath = CountedString(path);
    status = entry(object, &registryPath);
    if (!NT_SUCCESS(status)) {
        // A failed entry is not unloaded: its DriverUnload never runs.
        block->priv.unloaded = true;
        ob::RemoveObject(object);
        ObDereferenceObject(object);
        return status;
    }
    for (PDEVICE_OBJECT device = object->DeviceObject; device; device = device->NextDevice) {
        device->Flags &= ~DO_DEVICE_INITIALIZING;
    }
    *driver = object;
    return status;
}

void UnloadDriverObject(PDRIVER_OBJECT driver) {
    PASSIVE_CODE();
    DriverBlock* block = BlockOf(driver);
    if (block->priv.unloaded) {
        return;
    }
    block->priv.unloaded = true;
    driver->Flags |= DRVO_UNLOAD_INVOKED;
    if (driver->DriverUnload) {
        driver->DriverUnload(driver);
    }
    ob::RemoveObject(driver);
    ObDereferenceObject(driver);
}

std::u16string ServiceNameOf(PDRIVER_OBJECT driver) {
    return BlockOf(driver)->priv.serviceName;
}

} // namespace nt::io

using namespace nt::io;

NTSTATUS IoAllocateDriverObjectExtension(PDRIVER_OBJECT DriverObject, PVOID ClientIdentificationAddress,
                                         ULONG DriverObjectExtensionSize, PVOID* DriverObjectExtension) {
    *DriverObjectExtension = nullptr;
    DriverPrivate& priv = BlockOf(DriverObject)->priv;
    std::lock_guard guard(priv.addLock);
    for (ClientExtension* e = priv.extensions.load(std::memory_order_acquire); e; e = e->next) {
        if (e->key == ClientIdentificationAddress) {
            return STATUS_OBJECT_NAME_COLLISION;
        }
    }
    SIZE_T size = sizeof(ClientExtension) + DriverObjectExtensionSize;
    auto* extension = static_cast<ClientExtension*>(ExAllocatePoolWithTag(NonPagedPool, size, kTagDriverExtension));
    if (!extension) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    std::memset(static_cast<void*>(extension), 0, size);
    extension->key = ClientIdentificationAddress;
    extension->next = priv.extensions.load(std::memory_order_relaxed);
    priv.extensions.store(extension, std::memory_order_release);
    *DriverObjectExtension = extension + 1;
    return STATUS_SUCCESS;
}

PVOID IoGetDriverObjectExtension(PDRIVER_OBJECT DriverObject, PVOID ClientIdentificationAddress) {
    for (ClientExtension* e = BlockOf(DriverObject)->priv.extensions.load(std::memory_order_acquire); e; e = e->next) {
        if (e->key == ClientIdentificationAddress) {
            return e + 1;
        }
    }
    return nullptr;
}

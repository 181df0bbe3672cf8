// Capture of Plug and Play requests and the tree upkeep that rides on them (CapturePnp.h).
//
// Locks: none of its own. Records take the capture log's lock alone; the tree's calls (bus relations, IDs,
// start, removal) take the tree's locks in their order (DeviceStackTree.h) and are made with no lock held. What the
// tree learns on completion needs PASSIVE_LEVEL and is skipped at a higher IRQL; the hub bus interface's
// table work runs at any IRQL.
#include "driver/capture/CapturePnp.h"

#include <cstring>

#include "common/FourCC.h"
#include "common/RecordTags.h"
#include "driver/capture/AddressCheck.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"
#include "driver/capture/CaptureIoctlRecord.h"
#include "driver/core/Pool.h"
#include "driver/hook/HubBusInterfaceHook.h"
#include "driver/log/MemlogRing.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "hubbusif.h"

namespace {

const RECORD_KIND RecordKindPnp = {
    LogTag::KindPnp, FilterFamily::Pnp, &CAPTURE_SETTINGS::CapturePnp, nullptr, TRUE, TRUE};

// The records of START_DEVICE and REMOVE_DEVICE need the node with its capture on, but not a hooked driver:
// the request reached this driver, so its driver is hooked whatever the node says.
BOOLEAN Recorded(const DEVOBJ_NODE* node) {
    return node != nullptr && !(DeviceNodeFlags(node) & DEVOBJ_CAPTURE_OFF) && CaptureLogActive();
}

// A copy of the first string of a Plug and Play answer (a NUL-terminated ID, or the first of a
// multi-string), read character by character as far as the memory lets; double NUL-terminated. Null when
// there is none or no memory.
PWCHAR CopyFirstString(const WCHAR* text) {
    if (text == nullptr) {
        return nullptr;
    }
    auto* copy = static_cast<PWCHAR>(DriverAllocate((PNP_ID_MAX_CHARS + 2) * sizeof(WCHAR)));
    if (copy == nullptr) {
        return nullptr;
    }
    // Read by address: the answer need not be aligned.
    const auto* bytes = reinterpret_cast<const UCHAR*>(text);
    ULONG length = 0;
    WCHAR c;
    while (length < PNP_ID_MAX_CHARS && CaptureReadChecked(bytes + length * sizeof(WCHAR), &c, sizeof c) &&
           c != UNICODE_NULL) {
        copy[length++] = c;
    }
    if (length == 0) {
        DriverFree(copy);
        return nullptr;
    }
    return copy; // zeroed by the allocation: the terminators are in place
}

VOID LearnIds(PDEVOBJ_NODE node, BUS_QUERY_ID_TYPE type, const WCHAR* answer) {
    PDEVICE_STACK stack = DeviceNodeOwningStack(node);
    if (stack == nullptr || (type != BusQueryDeviceID && type != BusQueryCompatibleIDs)) {
        return;
    }
    PWCHAR first = CopyFirstString(answer);
    if (first == nullptr) {
        return;
    }
    if (type == BusQueryDeviceID) {
        StackTreeSetDeviceId(stack, first);
    } else {
        StackTreeSetCompatibleIds(stack, first);
    }
    DriverFree(first);
}

// TRUE when `child` can be handed to the tree as a device object: aligned, valid memory for the whole object,
// and marked as one.
BOOLEAN LooksLikeDeviceObject(PDEVICE_OBJECT child) {
    return (reinterpret_cast<ULONG_PTR>(child) & (alignof(DEVICE_OBJECT) - 1)) == 0 &&
           AddressRangeIsValid(child, sizeof(DEVICE_OBJECT)) && child->Type == IO_TYPE_DEVICE;
}

// The children of a bus-relations report, up to where the report's memory ends; only device objects are
// handed to the tree.
VOID LearnChildren(PDEVICE_OBJECT parent, const VOID* report) {
    // Read by address: the report need not be aligned.
    const auto* bytes = static_cast<const UCHAR*>(report);
    ULONG count;
    if (!CaptureReadChecked(bytes + offsetof(DEVICE_RELATIONS, Count), &count, sizeof count)) {
        return;
    }
    count = count < PNP_RELATIONS_MAX ? count : PNP_RELATIONS_MAX;
    auto* children = static_cast<PDEVICE_OBJECT*>(DriverAllocate((count + 1) * sizeof(PDEVICE_OBJECT)));
    if (children == nullptr) {
        return;
    }
    ULONG valid = 0;
    for (ULONG i = 0; i < count; ++i) {
        PDEVICE_OBJECT child;
        if (!CaptureReadChecked(bytes + offsetof(DEVICE_RELATIONS, Objects) + i * sizeof child, &child, sizeof child)) {
            break; // the report ends here, whatever its count says
        }
        if (LooksLikeDeviceObject(child)) {
            children[valid++] = child;
        }
    }
    StackTreeBusRelations(parent, valid, children);
    DriverFree(children);
}

VOID PnpDispatch(PCAPTURE_CONTEXT Capture) {
    const IO_STACK_LOCATION* location = Capture->StackLocation;
    switch (location->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        UCHAR flags = COMPLETION_LEARN;
        if (!Capture->OwnRequest && Recorded(Capture->Node) && CaptureKindRequest(Capture, &RecordKindPnp)) {
            flags |= COMPLETION_RECORD;
        }
        CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, flags);
        break;
    }
    case IRP_MN_REMOVE_DEVICE:
        if (!Capture->OwnRequest && Recorded(Capture->Node)) {
            CaptureKindRequest(Capture, &RecordKindPnp);
        }
        // The device object goes now: what its driver sends while it tears the device down is no longer
        // recorded under it.
        if (Capture->Node != nullptr) {
            DeviceNodeSetFlags(Capture->Node, DEVOBJ_REMOVING);
        }
        StackTreeDeviceRemoved(Capture->DeviceObject);
        break;
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (location->Parameters.QueryDeviceRelations.Type == BusRelations) {
            CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, COMPLETION_LEARN);
        } else if (location->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
            MemlogWrite(FourCC("TgtR"), reinterpret_cast<ULONG64>(Capture->DeviceObject),
                        reinterpret_cast<ULONG64>(Capture->Irp));
        }
        break;
    case IRP_MN_QUERY_INTERFACE:
        if (IsHubBusInterfaceType(location->Parameters.QueryInterface.InterfaceType)) {
            CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, COMPLETION_LEARN);
        }
        break;
    case IRP_MN_QUERY_ID:
        if (location->Parameters.QueryId.IdType == BusQueryDeviceID ||
            location->Parameters.QueryId.IdType == BusQueryCompatibleIDs) {
            CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, COMPLETION_LEARN);
        }
        break;
    }
}

VOID PnpComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT Context) {
    const IO_STACK_LOCATION& saved = Context->Saved;
    const NTSTATUS status = Irp->IoStatus.Status;
    if ((Context->Flags & COMPLETION_RECORD) && !Context->OwnRequest && Recorded(Context->Node)) {
        CaptureKindCompletion(Context, Irp, &RecordKindPnp);
    }
    if (!(Context->Flags & COMPLETION_LEARN) || !NT_SUCCESS(status)) {
        return;
    }
    if (saved.MinorFunction == IRP_MN_QUERY_INTERFACE) {
        HubBusInterfaceQueried(&saved, status); // table work only: any IRQL
        return;
    }
    if (KeGetCurrentIrql() != PASSIVE_LEVEL) {
        MemlogWrite3(FourCC("PnpD"), reinterpret_cast<ULONG64>(Context->DeviceObject), saved.MinorFunction,
                     KeGetCurrentIrql());
        return;
    }
    switch (saved.MinorFunction) {
    case IRP_MN_START_DEVICE:
        DeviceNodeClearFlags(Context->Node, DEVOBJ_REMOVING);
        // Marked, hooked and removed are not forced: the walk decides them, and the excluded device stays unmarked.
        StackTreeDeviceStarted(Context->DeviceObject);
        break;
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (const auto* relations = reinterpret_cast<const VOID*>(Irp->IoStatus.Information)) {
            LearnChildren(Context->DeviceObject, relations);
        }
        break;
    case IRP_MN_QUERY_ID:
        LearnIds(Context->Node, saved.Parameters.QueryId.IdType,
                 reinterpret_cast<const WCHAR*>(Irp->IoStatus.Information));
        break;
    }
}

} // namespace

const CAPTURE_FAMILY CaptureFamilyPnp = {nullptr, PnpDispatch, nullptr, PnpComplete};

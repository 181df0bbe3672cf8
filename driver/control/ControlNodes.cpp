// Control codes of the device-stack tree: the device-stack node lists (DEVSTK_NODES and its _EX form), the
// application's per-device capture selection (SET_DEVOBJ_FLAGS), and the tree refresh (DEVSTK_REFRESH).
//
// Locks: the tree's, through the tree's routines (DeviceStackTree.h, NodeList.h); the capture log's for the
// sequence reset.
#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "driver/control/ControlHandlers.h"
#include "driver/log/Log.h"
#include "driver/nodes/NodeList.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

NTSTATUS DevstkNodes(PCONTROL_REQUEST request, NODE_LIST_KIND kind) {
    if (request->Length == TINDALOFT_SIZE_QUERY_LENGTH) {
        tdl::StoreLe<ULONG>(request->Buffer, NodeListDevstkSize(kind));
        request->Information = TINDALOFT_SIZE_QUERY_LENGTH;
        return STATUS_SUCCESS;
    }
    ULONG written = 0;
    const NTSTATUS status = NodeListDevstkWrite(kind, request->Buffer, request->Length, &written);
    request->Information = written;
    return status;
}

// Entries of a SET_DEVOBJ_FLAGS request before its end entry: each of kind 2 and wholly inside the input,
// and the end entry wholly inside too. 0 entries is a valid request; -1 a malformed one.
LONG DevobjFlagsEntryCount(const UCHAR* input, ULONG length) {
    LONG count = 0;
    for (size_t offset = 0;; offset += SET_DEVOBJ_FLAGS_STRIDE) {
        NODE_HEADER header;
        if (!tdl::LoadAt(input, length, offset, header)) {
            return -1;
        }
        if (header.Kind == NODE_KIND_END) {
            return count;
        }
        // The whole entry must lie inside the input, not its start only: every entry is read whole.
        if (header.Kind != NODE_KIND_DEVICE || length - offset < DEVICE_NODE_SIZE) {
            return -1;
        }
        ++count;
    }
}

// Applies one entry's capture-off bit to the node of its device object, and saves it for a boot capture.
VOID DevobjFlagsApply(const DEVICE_NODE& entry) {
    PDEVOBJ_NODE node = DeviceNodeFindAny(reinterpret_cast<PDEVICE_OBJECT>(static_cast<ULONG_PTR>(entry.DeviceObject)));
    if (node == nullptr) {
        return;
    }
    if (DeviceNodeOwningStack(node) != nullptr) {
        DeviceNodeSetCaptureOff(node, (entry.StatusFlags & DEVOBJ_CAPTURE_OFF) != 0);
        if ((DeviceNodeFlags(node) & (DEVOBJ_REMOVED | DEVOBJ_REMOVING)) == 0) {
            DeviceNodeSaveCaptureState(node);
        }
    }
    DeviceNodeRelease(node);
}

} // namespace

NTSTATUS ControlDevstkNodes(PCONTROL_REQUEST Request) {
    return DevstkNodes(Request, NodeListAllStacks);
}

NTSTATUS ControlDevstkNodesEx(PCONTROL_REQUEST Request) {
    return DevstkNodes(Request, NodeListPresentStacks);
}

NTSTATUS ControlSetDevobjFlags(PCONTROL_REQUEST Request) {
    const auto* input = static_cast<const UCHAR*>(Request->Buffer);
    const LONG count = DevobjFlagsEntryCount(input, Request->Length);
    if (count < 0) {
        return STATUS_UNSUCCESSFUL;
    }
    for (LONG i = 0; i < count; ++i) {
        DEVICE_NODE entry;
        RtlCopyMemory(&entry, input + static_cast<SIZE_T>(i) * SET_DEVOBJ_FLAGS_STRIDE, sizeof entry);
        DevobjFlagsApply(entry);
    }
    return STATUS_SUCCESS;
}

NTSTATUS ControlDevstkRefresh(PCONTROL_REQUEST Request) {
    (void)Request;
    RefreshStackTree();
    // A capture running since boot keeps its numbering; the first refresh only ends its boot status.
    if (g_Driver.BootCapture) {
        g_Driver.BootCapture = FALSE;
    } else {
        LogResetSequence(g_Driver.CaptureLog);
    }
    return STATUS_SUCCESS;
}
